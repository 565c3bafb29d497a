// Shared helpers of the Trellisan GUI tests: a scratch preset store in the real registry, a
// scratch folder, the main dialog created modelessly with answers of the test's own in place
// of the modal pickers, and small readers of its windows.
#pragma once

#include "effect_preset_dialog.h"
#include "preset_pickers.h"
#include "registry_key.h"
#include "window_readers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Answers that a test sets beforehand; every question is recorded.
class ScriptedPickers : public PresetPickers {
public:
    int Confirm(const char* text, UINT style) override;
    INT_PTR ChooseFiles(FileOpenDialog& dialog) override;
    bool ChooseFolder(HWND owner, const char* title, UINT flags, char* folder) override;
    void Warn(const char* text, UINT style) override;

    int confirmAnswer = IDYES;
    int confirmCalls = 0;
    std::string confirmText;
    UINT confirmStyle = 0;

    INT_PTR filesResult = IDOK;
    std::string filesChosen; // the buffer as the system fills it, NULs included
    int filesCalls = 0;
    DWORD filesFlags = 0;
    DWORD filesBufferSize = 0;
    DWORD filesFilterIndex = 99;
    std::string filesInitialDir;
    std::string filesFilter; // NULs shown as '|'

    bool folderChosen = true;
    std::string folder;
    int folderCalls = 0;
    std::string folderTitle;
    UINT folderFlags = 0;
    HWND folderOwner = nullptr;

    int warnCalls = 0;
    std::string warnText; // the last one
    UINT warnStyle = 0;
};

// Registry helpers on the effects root and the settings key below HKEY_CURRENT_USER.
void WipeEffects();
void WipeSettings();
void AddPreset(const std::string& effect, const std::string& preset, DWORD value = 1);
void AddEffect(const std::string& effect);
bool PresetExists(const std::string& effect, const std::string& preset);
std::vector<std::string> RegistrySubkeys(const std::string& path);
bool ReadSetting(const std::string& name, DWORD& value);
void WriteSetting(const std::string& name, DWORD value);

// A fresh folder below the temporary directory, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return m_path; }
    std::vector<std::string> Files() const; // names, sorted
    void Write(const std::string& name, const std::string& text) const;
    std::string Read(const std::string& name) const;

private:
    std::string m_path;
};

using TestDialog = EffectPresetDialog;

// What a test saw of a modal window that AnswerModal answered.
struct ModalSeen {
    bool found = false;
    std::vector<std::string> texts; // the child windows' texts, in child order
    bool picture = false;           // a child shows a bitmap

    // Whether a child's text holds the given text.
    bool Shows(const std::string& text) const {
        for (const std::string& shown : texts)
            if (shown.find(text) != std::string::npos)
                return true;
        return false;
    }
};

// Runs action, which shows a modal window with the given title and waits for it; a timer
// finds that window, records what it shows and presses the button answer in it. When no such
// window appears, found stays false.
ModalSeen AnswerModal(const char* title, int answer, const std::function<void()>& action);

std::vector<int> SelectedIndexes(HWND list);

class MainDialogTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    void Open();
    // Ends the dialog with the Close button, as the user would.
    void Close();
    // Destroys the dialog's window, if still open, and then the dialog object.
    void Destroy();
    HWND Item(int id) const { return ::GetDlgItem(m_dialog->m_hWnd, id); }
    HWND Handle() const { return m_dialog->m_hWnd; }
    void Click(int id);
    void SelectEffect(const std::string& name);
    void SelectPresets(const std::vector<std::string>& names);
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    std::vector<std::string> Effects() const { return ListItems(Item(IDC_EFFECT_LIST)); }
    std::vector<std::string> Presets() const { return ListItems(Item(IDC_PRESET_LIST)); }
    void Pump();

    ScriptedPickers m_pickers;
    std::unique_ptr<TestDialog> m_dialog;
};
