#include "call_counter.h"

#include <cstring>

namespace call_counter {

double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

namespace {

bool g_counting = true;

// One wrapper a function: the system's entry, its counter and a forwarding function that
// times the call.
#define COUNTED(registry, result, convention, name, params, args)                                  \
    result(convention* real_##name) params = nullptr;                                              \
    Counter counter_##name = {#name, registry, 0, 0};                                              \
    result convention counted_##name params {                                                      \
        if (!g_counting)                                                                           \
            return real_##name args;                                                               \
        const double start = Now();                                                                \
        result answer = real_##name args;                                                          \
        counter_##name.ms += Now() - start;                                                        \
        ++counter_##name.calls;                                                                    \
        return answer;                                                                             \
    }

COUNTED(true, LONG, WINAPI, RegOpenKeyExA, (HKEY k, LPCSTR s, DWORD o, REGSAM a, PHKEY r),
        (k, s, o, a, r))
COUNTED(true, LONG, WINAPI, RegCreateKeyExA,
        (HKEY k, LPCSTR s, DWORD z, LPSTR c, DWORD o, REGSAM a, LPSECURITY_ATTRIBUTES sa, PHKEY r,
         LPDWORD d),
        (k, s, z, c, o, a, sa, r, d))
COUNTED(true, LONG, WINAPI, RegCloseKey, (HKEY k), (k))
COUNTED(true, LONG, WINAPI, RegEnumKeyExA,
        (HKEY k, DWORD i, LPSTR n, LPDWORD nl, LPDWORD z, LPSTR c, LPDWORD cl, PFILETIME t),
        (k, i, n, nl, z, c, cl, t))
COUNTED(true, LONG, WINAPI, RegEnumValueA,
        (HKEY k, DWORD i, LPSTR n, LPDWORD nl, LPDWORD z, LPDWORD t, LPBYTE d, LPDWORD dl),
        (k, i, n, nl, z, t, d, dl))
COUNTED(true, LONG, WINAPI, RegSetValueExA,
        (HKEY k, LPCSTR n, DWORD z, DWORD t, const BYTE* d, DWORD dl), (k, n, z, t, d, dl))
COUNTED(true, LONG, WINAPI, RegQueryValueExA,
        (HKEY k, LPCSTR n, LPDWORD z, LPDWORD t, LPBYTE d, LPDWORD dl), (k, n, z, t, d, dl))
COUNTED(true, LONG, WINAPI, RegDeleteKeyA, (HKEY k, LPCSTR n), (k, n))
COUNTED(false, FILE*, __cdecl, fopen, (const char* p, const char* m), (p, m))
COUNTED(false, int, __cdecl, fclose, (FILE * f), (f))
COUNTED(false, int, __cdecl, fputs, (const char* s, FILE* f), (s, f))
COUNTED(false, int, __cdecl, fputc, (int c, FILE* f), (c, f))
COUNTED(false, int, __cdecl, ferror, (FILE * f), (f))
COUNTED(false, int, __cdecl, getc, (FILE * f), (f))
COUNTED(false, size_t, __cdecl, fread, (void* b, size_t s, size_t n, FILE* f), (b, s, n, f))
COUNTED(false, int, __cdecl, ungetc, (int c, FILE* f), (c, f))
#undef COUNTED

struct Slot {
    const char* dll;
    const char* name;
    void* wrapper;
    void** real;
    Counter* counter;
};

#define SLOT(dll, name)                                                                            \
    {                                                                                              \
        dll, #name, reinterpret_cast<void*>(&counted_##name),                                      \
            reinterpret_cast<void**>(&real_##name), &counter_##name                                \
    }
const Slot kSlots[] = {
    SLOT("advapi32.dll", RegOpenKeyExA),
    SLOT("advapi32.dll", RegCreateKeyExA),
    SLOT("advapi32.dll", RegCloseKey),
    SLOT("advapi32.dll", RegEnumKeyExA),
    SLOT("advapi32.dll", RegEnumValueA),
    SLOT("advapi32.dll", RegSetValueExA),
    SLOT("advapi32.dll", RegQueryValueExA),
    SLOT("advapi32.dll", RegDeleteKeyA),
    SLOT("msvcrt.dll", fopen),
    SLOT("msvcrt.dll", fclose),
    SLOT("msvcrt.dll", fputs),
    SLOT("msvcrt.dll", fputc),
    SLOT("msvcrt.dll", ferror),
    SLOT("msvcrt.dll", getc),
    SLOT("msvcrt.dll", fread),
    SLOT("msvcrt.dll", ungetc),
};
#undef SLOT

Counter g_counters[sizeof kSlots / sizeof kSlots[0] + 1];

// The import slot of dll!name in this program, or null.
ULONG_PTR* FindSlot(const char* dll, const char* name) {
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
                return &slots->u1.Function;
        }
    }
    return nullptr;
}

} // namespace

bool Install() {
    bool all = true;
    for (const Slot& slot : kSlots) {
        ULONG_PTR* entry = FindSlot(slot.dll, slot.name);
        if (entry == nullptr) {
            // Not imported: the program never calls it; forward to the system's own.
            *slot.real = reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(slot.dll), slot.name));
            all = all && *slot.real != nullptr;
            continue;
        }
        DWORD protection = 0;
        VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
        *slot.real = reinterpret_cast<void*>(*entry);
        *entry = reinterpret_cast<ULONG_PTR>(slot.wrapper);
        VirtualProtect(entry, sizeof *entry, protection, &protection);
    }
    return all;
}

void Count(bool counting) {
    g_counting = counting;
}

double CountingCost() {
    constexpr int kTimes = 10000;
    const double start = Now();
    for (int i = 0; i < kTimes; ++i) {
        Now();
        Now();
    }
    return (Now() - start) * 1000.0 / kTimes;
}

void Reset() {
    for (const Slot& slot : kSlots) {
        slot.counter->calls = 0;
        slot.counter->ms = 0;
    }
}

const Counter* Counters() {
    size_t i = 0;
    for (const Slot& slot : kSlots)
        g_counters[i++] = *slot.counter;
    g_counters[i] = Counter{nullptr, false, 0, 0};
    return g_counters;
}

} // namespace call_counter
