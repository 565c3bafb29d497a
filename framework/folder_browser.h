// The shell's folder browser.
#pragma once

#include <windows.h>

// Shows the browser; on a choice writes the folder's file-system path into folder (room for
// MAX_PATH characters) and returns true. Returns false when the user cancels or the choice
// has no file-system path.
bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* folder);
