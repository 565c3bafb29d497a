/* A stand-in for the common-dialog library, put in a folder beside a copy of Trellisan.exe:
 * it writes the structure size that GetOpenFileNameA is handed into lStructSize.txt beside
 * itself and cancels, as a Windows 4.0 library would refuse any size but its own. It exports
 * only what Trellisan.exe imports from the library. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <string.h>

static HMODULE g_self;

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        g_self = self;
    return TRUE;
}

/* The first member of OPENFILENAMEA is its size. */
BOOL WINAPI ProbeGetOpenFileNameA(const DWORD* structure) {
    char path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(g_self, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    if (n == 0 || n >= MAX_PATH || slash == NULL)
        return FALSE;
    strcpy(slash + 1, "lStructSize.txt");
    FILE* record = fopen(path, "w");
    if (record != NULL) {
        fprintf(record, "%lu", (unsigned long)*structure);
        fclose(record);
    }
    return FALSE;
}
