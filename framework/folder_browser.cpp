#include "folder_browser.h"

#include <objbase.h>
#include <shlobj.h>

bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* folder) {
    HRESULT com = ::CoInitialize(nullptr);
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = folder;
    info.lpszTitle = title;
    info.ulFlags = flags;
    LPITEMIDLIST items = ::SHBrowseForFolderA(&info);
    bool chosen = false;
    if (items != nullptr) {
        chosen = ::SHGetPathFromIDListA(items, folder) != FALSE;
        ::CoTaskMemFree(items);
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return chosen;
}
