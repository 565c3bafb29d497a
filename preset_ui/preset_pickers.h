// The modal windows of the preset commands: the confirmation box, the file-open dialog, the
// folder browser and the box that says what a command could not do. The program uses the
// system's; tests put answers of their own in place.
#pragma once

#include "file_open_dialog.h"

#include <windows.h>

class PresetPickers {
public:
    virtual ~PresetPickers() = default;
    // IDYES or IDNO; anything else when the box could not be shown.
    virtual int Confirm(const char* text, UINT style) = 0;
    // Runs the prepared dialog; IDOK when files were chosen into its name buffer.
    virtual INT_PTR ChooseFiles(FileOpenDialog& dialog) = 0;
    // Writes the chosen folder's path (room for MAX_PATH characters); false on cancel.
    virtual bool ChooseFolder(HWND owner, const char* title, UINT flags, char* folder) = 0;
    // Shows what a command could not do, with an OK button and the warning icon.
    virtual void Warn(const char* text, UINT style) = 0;
};

class SystemPickers : public PresetPickers {
public:
    int Confirm(const char* text, UINT style) override;
    INT_PTR ChooseFiles(FileOpenDialog& dialog) override;
    bool ChooseFolder(HWND owner, const char* title, UINT flags, char* folder) override;
    void Warn(const char* text, UINT style) override;
};
