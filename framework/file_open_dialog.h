// The system's file-open dialog: a filter given as "text|pattern|...||", the caller's own
// name buffer, and the walk over the chosen paths.
#pragma once

#include "selected_paths.h"

#include <windows.h>

#include <string>

class FileOpenDialog {
public:
    FileOpenDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                   const char* filter, HWND parent = nullptr);

    // IDOK when the user confirmed, IDCANCEL when the dialog was cancelled or failed.
    INT_PTR DoModal();

    const char* GetStartPosition() const;
    std::string GetNextPathName(const char*& pos) const;

    OPENFILENAMEA m_ofn;

private:
    std::string m_filter;
    std::string m_defaultExtension;
    char m_fileName[MAX_PATH];
};
