// The main window of Trellisan: the effects of the store, the presets of the selected effect,
// and the Load, Save To, Backup All and Delete commands.
#pragma once

#include "preset_pickers.h"
#include "preset_store.h"
#include "resizable_dialog.h"
#include "resource.h"

#include <shlobj.h>

class EffectPresetDialog : public ResizableDialog, public PresetStore {
public:
    explicit EffectPresetDialog(Window* parent = nullptr);
    ~EffectPresetDialog() override;

    // Replaces the modal questions (the dialog keeps using the system's otherwise). The
    // object must outlive the dialog.
    void SetPickers(PresetPickers* pickers) { m_pPickers = pickers; }

    // The confirmation text of Delete.
    static constexpr const char* kDeleteWarning =
        "Warning: This action will delete ALL selected presets.\n"
        "Are you sure you want to continue?";
    static constexpr UINT kDeleteWarningStyle = MB_YESNO | MB_ICONQUESTION;
    static constexpr const char* kFolderTitle = "Select Folder to contain Preset Files...";
    // Only folders of the file system, and none below the network domain.
    static constexpr UINT kFolderFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    static constexpr const char* kPresetFilter =
        "Sound Preset Files (*.kvp)|*.kvp|All Files (*.*)|*.*||";
    // The explorer-style dialog with several files to choose, a hook that leaves every message
    // to the dialog, and no read-only box.
    static constexpr DWORD kLoadFlags =
        OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
    // Room for the names of a very large selection.
    static constexpr DWORD kLoadBufferChars = 260000;

protected:
    BOOL OnInitDialog() override;

    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    void OnAbout();
    void OnSelchangeEffectList();
    void OnSelchangePresetList();
    void OnDelete();
    void OnLoad();
    void OnSaveTo();
    void OnBackupAll();

    DECLARE_MESSAGE_TABLE()

private:
    void FillEffectList();
    // When the control that held the focus (focus) is disabled now, the focus moves on to the
    // next enabled control in the tab order, as the dialog manager moves it, so that the
    // keyboard still reaches the dialog.
    void PassFocusOn(HWND focus);

    HICON m_hIcon;
    ListBox* m_pEffectList = nullptr;
    ListBox* m_pPresetList = nullptr;
    Button m_loadButton;
    Button m_saveToButton;
    Button m_deleteButton;
    Button m_backupAllButton;
    Button m_closeButton;
    Button m_aboutButton;
    ListBox m_effectList;
    ListBox m_presetList;
    Static m_presetLabel;
    PresetPickers* m_pPickers;
};
