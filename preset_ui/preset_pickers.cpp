#include "preset_pickers.h"

#include "folder_browser.h"
#include "message_box.h"

int SystemPickers::Confirm(const char* text, UINT style) {
    return AppMessageBox(text, style);
}

INT_PTR SystemPickers::ChooseFiles(FileOpenDialog& dialog) {
    return dialog.DoModal();
}

bool SystemPickers::ChooseFolder(HWND owner, const char* title, UINT flags, char* folder) {
    return BrowseForFolder(owner, title, flags, folder);
}

void SystemPickers::Warn(const char* text, UINT style) {
    AppMessageBox(text, style);
}
