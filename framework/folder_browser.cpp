#include "folder_browser.h"

#include <objbase.h>

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
    ::CoTaskMemFree(items);
    if (!converted)
        folder[0] = '\0';
    return converted;
}
