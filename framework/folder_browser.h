// The shell's folder browser.
#pragma once

#include <windows.h>
#include <shlobj.h>

// Shows the browser; on a choice writes the folder's file-system path into folder (room for
// MAX_PATH characters) and returns true. Returns false when the user cancels or the choice
// has no file-system path.
bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* folder);

// Converts the browser's item list to a file-system path in folder (room for MAX_PATH
// characters) and frees the list. False when the item has no file-system path: the folder
// text is then not a path and must not be used as one.
bool TakeFolderPath(LPITEMIDLIST items, char* folder);
