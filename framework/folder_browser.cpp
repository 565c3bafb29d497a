#include "folder_browser.h"

#include <objbase.h>

// The structure as the Windows 4.0 shell reads it.
static_assert(sizeof(BROWSEINFOA) == 32, "the Windows 4.0 size of BROWSEINFOA");

bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* folder) {
    HRESULT com = ::CoInitialize(nullptr);
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = folder;
    info.lpszTitle = title;
    info.ulFlags = flags;
    LPITEMIDLIST items = ::SHBrowseForFolderA(&info);
    bool chosen = items != nullptr && TakeFolderPath(items, folder);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return chosen;
}

bool TakeFolderPath(LPITEMIDLIST items, char* folder) {
    bool converted = ::SHGetPathFromIDListA(items, folder) != FALSE;
    // The list belongs to the shell's allocator, which only later Windows versions document
    // to be the task allocator.
    IMalloc* shellAllocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&shellAllocator))) {
        shellAllocator->Free(items);
        shellAllocator->Release();
    }
    if (!converted)
        folder[0] = '\0';
    return converted;
}
