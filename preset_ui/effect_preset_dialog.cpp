#include "effect_preset_dialog.h"

#include "about_dialog.h"
#include "main_dialog_layout.h"
#include "registry_key.h"
#include "wait_cursor.h"

#include <string>
#include <vector>

BEGIN_MESSAGE_TABLE(EffectPresetDialog)
ON_MESSAGE_HANDLER(WM_PAINT, EffectPresetDialog, OnPaint)
ON_MESSAGE_HANDLER(WM_QUERYDRAGICON, EffectPresetDialog, OnQueryDragIcon)
ON_NOTIFY_HANDLER(BN_CLICKED, IDC_ABOUT, EffectPresetDialog, OnAbout)
ON_NOTIFY_HANDLER(LBN_SELCHANGE, IDC_EFFECT_LIST, EffectPresetDialog, OnSelchangeEffectList)
ON_NOTIFY_HANDLER(LBN_SELCHANGE, IDC_PRESET_LIST, EffectPresetDialog, OnSelchangePresetList)
ON_NOTIFY_HANDLER(BN_CLICKED, IDC_DELETE, EffectPresetDialog, OnDelete)
ON_NOTIFY_HANDLER(BN_CLICKED, IDC_LOAD, EffectPresetDialog, OnLoad)
ON_NOTIFY_HANDLER(BN_CLICKED, IDC_SAVE_TO, EffectPresetDialog, OnSaveTo)
ON_NOTIFY_HANDLER(BN_CLICKED, IDC_BACKUP_ALL, EffectPresetDialog, OnBackupAll)
END_MESSAGE_TABLE(EffectPresetDialog, ResizableDialog)

namespace {

SystemPickers g_systemPickers;

} // namespace

void EffectPresetDialog::ListKeyInto(const std::string& path, ListBox* list,
                                     ProblemList& passedOver) {
    RegistryKey key;
    key.Open(path.c_str());
    std::vector<std::string> why;
    ListSubkeys(
        key.m_hKey, [list](const char* name) { list->AddString(name); }, &why);
    key.Close();
    passedOver = ProblemList();
    for (const std::string& problem : why)
        passedOver.Add(path, problem);
}

void EffectPresetDialog::ShowProblems(const ProblemList& problems, const char* heading) {
    if (!problems.Empty())
        m_pPickers->Warn(problems.Text(heading).c_str(), kProblemStyle);
}

EffectPresetDialog::EffectPresetDialog(Window* parent)
    : ResizableDialog(IDD_EFFECT_PRESET_DIALOG, parent), m_pPickers(&g_systemPickers) {
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_ICON));
}

// The icon is a shared resource icon and is not destroyed.
EffectPresetDialog::~EffectPresetDialog() = default;

BOOL EffectPresetDialog::OnInitDialog() {
    using namespace main_dialog;
    SetMinTrackSize(kMinTrackWidth, kMinTrackHeight);
    SetReferenceSize(kReferenceWidth, kReferenceHeight);
    // Only the label is erased beneath and redrawn when moved; the others paint themselves.
    AddControl(IDC_LOAD, kUpperButtonAnchors, &m_loadButton, kLayoutPaintsItself);
    AddControl(IDC_SAVE_TO, kUpperButtonAnchors, &m_saveToButton, kLayoutPaintsItself);
    AddControl(IDC_DELETE, kUpperButtonAnchors, &m_deleteButton, kLayoutPaintsItself);
    AddControl(IDC_BACKUP_ALL, kUpperButtonAnchors, &m_backupAllButton, kLayoutPaintsItself);
    AddControl(IDC_ABOUT, kLowerButtonAnchors, &m_aboutButton, kLayoutPaintsItself);
    AddControl(IDCANCEL, kLowerButtonAnchors, &m_closeButton, kLayoutPaintsItself);
    AddControl(IDC_EFFECT_LIST, kEffectListAnchors, &m_effectList, kLayoutPaintsItself);
    AddControl(IDC_PRESET_LIST, kPresetListAnchors, &m_presetList, kLayoutPaintsItself);
    AddControl(IDC_PRESET_LABEL, kPresetLabelAnchors, &m_presetLabel, kLayoutRedrawWhenMoved);

    ResizableDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // The list members themselves, attached above; should a registration have failed, the
    // member is attached here so that every handler still reaches its list.
    m_pEffectList = dynamic_cast<ListBox*>(GetDlgItem(IDC_EFFECT_LIST));
    if (m_pEffectList == nullptr && m_effectList.SubclassDlgItem(IDC_EFFECT_LIST, this))
        m_pEffectList = &m_effectList;
    m_pPresetList = dynamic_cast<ListBox*>(GetDlgItem(IDC_PRESET_LIST));
    if (m_pPresetList == nullptr && m_presetList.SubclassDlgItem(IDC_PRESET_LIST, this))
        m_pPresetList = &m_presetList;
    for (auto [id, button] : {std::pair<int, Button*>{IDC_LOAD, &m_loadButton},
                              {IDC_SAVE_TO, &m_saveToButton},
                              {IDC_DELETE, &m_deleteButton},
                              {IDC_BACKUP_ALL, &m_backupAllButton}})
        if (button->m_hWnd == nullptr)
            button->SubclassDlgItem(id, this);

    FillEffectList();

    m_loadButton.EnableWindow(TRUE);
    m_saveToButton.EnableWindow(FALSE);
    m_deleteButton.EnableWindow(FALSE);
    m_backupAllButton.EnableWindow(TRUE);
    return TRUE;
}

void EffectPresetDialog::FillEffectList() {
    ListKeyInto(kEffectsRoot, m_pEffectList, m_effectListProblems);
}

LRESULT EffectPresetDialog::OnPaint(WPARAM, LPARAM) {
    if (!::IsIconic(m_hWnd))
        return Default();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT EffectPresetDialog::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(m_hIcon);
}

void EffectPresetDialog::OnAbout() {
    AboutDialog about;
    about.DoModal();
}

void EffectPresetDialog::OnSelchangeEffectList() {
    int selected = m_pEffectList->GetCurSel();
    if (selected == LB_ERR)
        return;
    std::string effect = m_pEffectList->GetText(selected);
    m_pPresetList->ResetContent();
    ListKeyInto(EffectKeyPath(effect), m_pPresetList, m_presetListProblems);
    OnSelchangePresetList();
}

void EffectPresetDialog::OnSelchangePresetList() {
    HWND focus = ::GetFocus();
    BOOL any = m_pPresetList->GetSelCount() >= 1;
    m_saveToButton.EnableWindow(any);
    m_deleteButton.EnableWindow(any);
    PassFocusOn(focus);
}

void EffectPresetDialog::PassFocusOn(HWND focus) {
    if (focus == nullptr || !::IsChild(m_hWnd, focus) || ::IsWindowEnabled(focus))
        return;
    HWND next = ::GetNextDlgTabItem(m_hWnd, focus, FALSE);
    if (next != nullptr)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
}

void EffectPresetDialog::OnDelete() {
    int selected = m_pEffectList->GetCurSel();
    if (selected == LB_ERR)
        return; // no effect, so no preset could be named
    // Only Yes deletes: No, and the no-answer of a box that could not be shown, leave all.
    if (m_pPickers->Confirm(kDeleteWarning, kDeleteWarningStyle) != IDYES)
        return;
    std::string effect = m_pEffectList->GetText(selected);
    ProblemList problems;
    int index = 0;
    while (m_pPresetList->GetSelItems(1, &index) == 1) {
        std::string preset = m_pPresetList->GetText(index);
        m_pPresetList->SetSel(index, FALSE);
        // A preset that is still in the store stays in the list.
        const DeleteResult result = RemovePreset(effect.c_str(), preset.c_str());
        if (result != DeleteResult::kNotDeleted)
            m_pPresetList->DeleteString(index);
        if (const char* problem = DeleteProblem(result))
            problems.Add(effect + "\\" + preset, problem);
    }
    OnSelchangePresetList();
    ShowProblems(problems, kNotDeleted);
}

void EffectPresetDialog::OnLoad() {
    std::vector<char> names(kLoadBufferChars, '\0');
    char initialDir[MAX_PATH] = "c:\\";
    FileOpenDialog dialog(nullptr, nullptr, kLoadFlags, kPresetFilter, nullptr);
    dialog.m_ofn.lpstrFile = names.data();
    dialog.m_ofn.nMaxFile = kLoadBufferChars;
    dialog.m_ofn.nFilterIndex = 0;
    dialog.m_ofn.lpstrInitialDir = initialDir;
    if (m_pPickers->ChooseFiles(dialog) != IDOK)
        return;

    ProblemList problems;
    for (const char* pos = dialog.GetStartPosition(); pos != nullptr;) {
        std::string path = dialog.GetNextPathName(pos);
        if (!path.empty())
            problems.AddFile(path, ImportPresetFile(path.c_str()), false);
    }

    m_pEffectList->ResetContent();
    FillEffectList();
    m_pPresetList->ResetContent();
    OnSelchangePresetList();
    problems.Append(m_effectListProblems);
    ShowProblems(problems, kNotLoaded);
}

void EffectPresetDialog::OnSaveTo() {
    int selected = m_pEffectList->GetCurSel();
    if (selected == LB_ERR)
        return; // no effect, so no preset could be named
    std::string effect = m_pEffectList->GetText(selected);
    char folder[MAX_PATH] = {0};
    if (!m_pPickers->ChooseFolder(m_hWnd, kFolderTitle, kFolderFlags, folder))
        return;
    folder[MAX_PATH - 1] = '\0';
    ProblemList problems;
    int index = 0;
    while (m_pPresetList->GetSelItems(1, &index) == 1) {
        std::string preset = m_pPresetList->GetText(index);
        std::string path = OutputName(folder, effect.c_str(), preset.c_str());
        problems.AddFile(path, ExportPreset(effect.c_str(), preset.c_str(), path.c_str()), true);
        m_pPresetList->SetSel(index, FALSE);
    }
    ShowProblems(problems, kNotSaved);
}

void EffectPresetDialog::OnBackupAll() {
    char folder[MAX_PATH] = {0};
    if (!m_pPickers->ChooseFolder(m_hWnd, kFolderTitle, kFolderFlags, folder))
        return;
    folder[MAX_PATH - 1] = '\0';
    // Effects and presets that the lists passed over are not backed up: they are named too.
    ProblemList problems;
    problems.Append(m_effectListProblems);
    BeginWaitCursor();
    for (int i = 0; i < m_pEffectList->GetCount(); ++i) {
        std::string effect = m_pEffectList->GetText(i);
        m_pEffectList->SetCurSel(i);
        OnSelchangeEffectList();
        problems.Append(m_presetListProblems);
        for (int j = 0; j < m_pPresetList->GetCount(); ++j) {
            std::string preset = m_pPresetList->GetText(j);
            std::string path = OutputName(folder, effect.c_str(), preset.c_str());
            problems.AddFile(path, ExportPreset(effect.c_str(), preset.c_str(), path.c_str()),
                             true);
        }
    }
    EndWaitCursor();
    ShowProblems(problems, kNotBackedUp);
}
