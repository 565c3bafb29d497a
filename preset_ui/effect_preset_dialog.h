// The main window of Trellisan: the effects of the store, the presets of the selected effect,
// and the Load, Save To, Backup All and Delete commands.
#pragma once

#include "preset_pickers.h"
#include "preset_store.h"
#include "problem_list.h"
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
    // The box after a command that could not do everything, and its first lines.
    static constexpr UINT kProblemStyle = MB_OK | MB_ICONWARNING;
    static constexpr const char* kNotLoaded = "Not everything was loaded:";
    static constexpr const char* kNotSaved = "Not everything was saved:";
    static constexpr const char* kNotBackedUp = "Not everything was backed up:";
    static constexpr const char* kNotDeleted = "Not everything was deleted:";

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
    // Adds the names of the key's subkeys to the list box; what the listing passed over is
    // kept in passedOver as lines of a report.
    void ListKeyInto(const std::string& path, ListBox* list, ProblemList& passedOver);
    // Shows the problems, when there are any, in one box after the command.
    void ShowProblems(const ProblemList& problems, const char* heading);
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
    // What the last fill of each list passed over: a Backup All or Load reports it.
    ProblemList m_effectListProblems;
    ProblemList m_presetListProblems;
};
