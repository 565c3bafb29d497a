#include "gui_test_support.h"

#include "scratch_registry.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

int ScriptedPickers::Confirm(const char* text, UINT style) {
    ++confirmCalls;
    confirmText = text;
    confirmStyle = style;
    return confirmAnswer;
}

INT_PTR ScriptedPickers::ChooseFiles(FileOpenDialog& dialog) {
    ++filesCalls;
    filesFlags = dialog.m_ofn.Flags;
    filesBufferSize = dialog.m_ofn.nMaxFile;
    filesFilterIndex = dialog.m_ofn.nFilterIndex;
    filesInitialDir = dialog.m_ofn.lpstrInitialDir ? dialog.m_ofn.lpstrInitialDir : "";
    filesFilter.clear();
    for (const char* p = dialog.m_ofn.lpstrFilter; p && (p[0] || p[1]); ++p)
        filesFilter += p[0] ? p[0] : '|';
    if (filesResult == IDOK && filesChosen.size() <= dialog.m_ofn.nMaxFile)
        std::copy(filesChosen.begin(), filesChosen.end(), dialog.m_ofn.lpstrFile);
    return filesResult;
}

bool ScriptedPickers::ChooseFolder(HWND owner, const char* title, UINT flags, char* out) {
    ++folderCalls;
    folderOwner = owner;
    folderTitle = title;
    folderFlags = flags;
    if (!folderChosen)
        return false;
    lstrcpynA(out, folder.c_str(), MAX_PATH);
    return true;
}

void ScriptedPickers::Warn(const char* text, UINT style) {
    ++warnCalls;
    warnText = text;
    warnStyle = style;
}

void WipeEffects() {
    test_support::WipeKey(kEffectsRoot);
}

void WipeSettings() {
    test_support::WipeKey(kSettingsKey);
}

void AddEffect(const std::string& effect) {
    test_support::CreateKey(EffectKeyPath(effect));
}

void AddPreset(const std::string& effect, const std::string& preset, DWORD value) {
    const std::string path = PresetKeyPath(effect, preset);
    test_support::SetDwordValue(path, "Level", value);
    test_support::SetStringValue(path, "Note", "preset " + preset);
}

std::vector<std::string> RegistrySubkeys(const std::string& path) {
    std::vector<std::string> names = test_support::Subkeys(path);
    std::sort(names.begin(), names.end());
    return names;
}

bool PresetExists(const std::string& effect, const std::string& preset) {
    auto names = RegistrySubkeys(EffectKeyPath(effect));
    return std::find(names.begin(), names.end(), preset) != names.end();
}

bool ReadSetting(const std::string& name, DWORD& value) {
    return test_support::GetDword(kSettingsKey, name, value);
}

void WriteSetting(const std::string& name, DWORD value) {
    test_support::SetDwordValue(kSettingsKey, name, value);
}

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    m_path = test_support::ScratchFolder("trellisan_ui_" + std::to_string(::GetCurrentProcessId()) +
                                         "_" + std::to_string(++counter));
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> ScratchFolder::Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((m_path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void ScratchFolder::Write(const std::string& name, const std::string& text) const {
    test_support::WriteFileBytes(m_path + "\\" + name, text);
}

std::string ScratchFolder::Read(const std::string& name) const {
    return test_support::ReadFileBytes(m_path + "\\" + name);
}

namespace {

// The window AnswerModal waits for; a timer procedure has no context of its own.
struct PendingModal {
    const char* title;
    int answer;
    ModalSeen seen;
};
PendingModal* g_pendingModal = nullptr;

void CALLBACK AnswerPendingModal(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = ::FindWindowA(nullptr, g_pendingModal->title);
    if (window == nullptr)
        return;
    ::KillTimer(nullptr, timer);
    ModalSeen& seen = g_pendingModal->seen;
    seen.found = true;
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char text[300] = {0};
        ::GetWindowTextA(child, text, sizeof text);
        seen.texts.push_back(text);
        if (::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0)
            seen.picture = true;
    }
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(g_pendingModal->answer, BN_CLICKED), 0);
}

} // namespace

ModalSeen AnswerModal(const char* title, int answer, const std::function<void()>& action) {
    PendingModal pending = {title, answer, {}};
    g_pendingModal = &pending;
    const UINT kPollMilliseconds = 20;
    UINT_PTR timer = ::SetTimer(nullptr, 0, kPollMilliseconds, AnswerPendingModal);
    action();
    ::KillTimer(nullptr, timer);
    g_pendingModal = nullptr;
    return pending.seen;
}

std::vector<int> SelectedIndexes(HWND list) {
    std::vector<int> indexes(256);
    int count = static_cast<int>(
        ::SendMessageA(list, LB_GETSELITEMS, 256, reinterpret_cast<LPARAM>(indexes.data())));
    indexes.resize(count > 0 ? count : 0);
    return indexes;
}

void MainDialogTest::SetUp() {
    test_support::FailSetupInGoogleTest();
    WipeEffects();
    WipeSettings();
}

void MainDialogTest::TearDown() {
    Destroy();
    WipeEffects();
    WipeSettings();
}

void MainDialogTest::Destroy() {
    // The window goes first, while the dialog object is whole, as it does when the program's
    // modal run ends; then the object.
    if (m_dialog && m_dialog->m_hWnd)
        ::DestroyWindow(m_dialog->m_hWnd);
    Pump();
    m_dialog.reset();
}

void MainDialogTest::Open() {
    Destroy();
    m_dialog = std::make_unique<TestDialog>();
    m_dialog->SetPickers(&m_pickers);
    ASSERT_TRUE(m_dialog->Create());
    Pump();
}

void MainDialogTest::Close() {
    if (m_dialog && m_dialog->m_hWnd)
        Click(IDCANCEL);
    Pump();
}

void MainDialogTest::Click(int id) {
    ::SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(id)));
}

void MainDialogTest::SelectEffect(const std::string& name) {
    HWND list = Item(IDC_EFFECT_LIST);
    LRESULT index =
        ::SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(index, LB_ERR) << name;
    ::SendMessageA(list, LB_SETCURSEL, index, 0);
    ::SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDC_EFFECT_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
}

void MainDialogTest::SelectPresets(const std::vector<std::string>& names) {
    HWND list = Item(IDC_PRESET_LIST);
    ::SendMessageA(list, LB_SETSEL, FALSE, -1);
    for (const std::string& name : names) {
        LRESULT index =
            ::SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
        ASSERT_NE(index, LB_ERR) << name;
        ::SendMessageA(list, LB_SETSEL, TRUE, index);
    }
    ::SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
}

void MainDialogTest::Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (m_dialog && m_dialog->m_hWnd && ::IsDialogMessageA(m_dialog->m_hWnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}
