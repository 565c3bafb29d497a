// The main dialog on its real template, against the real registry and real files: start-up,
// the selection rule of the buttons, Delete, Load, Save To and Backup All.
#include "double_byte.h"
#include "gui_test_support.h"
#include "scratch_registry.h"

#include "application.h"

#include <regex>

namespace {

using Names = std::vector<std::string>;

// The room Load gives the file dialog for the chosen names: enough for a very large selection.
constexpr DWORD kLoadNameChars = 260000;

class CommandsTest : public MainDialogTest {};

TEST_F(CommandsTest, StartsWithTheEffectsSortedAndOnlyLoadAndBackupEnabled) {
    for (const char* effect : {"zeta", "Alpha", "beta", "Reverb"})
        AddPreset(effect, "One");
    Open();
    EXPECT_EQ(Effects(), (Names{"Alpha", "beta", "Reverb", "zeta"}));
    EXPECT_EQ(::SendMessageA(Item(IDC_EFFECT_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_TRUE(Presets().empty());
    EXPECT_TRUE(Enabled(IDC_LOAD));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));
    EXPECT_TRUE(Enabled(IDC_BACKUP_ALL));
    EXPECT_TRUE(Enabled(IDC_ABOUT));
    EXPECT_TRUE(Enabled(IDCANCEL));
    char title[64] = {0};
    ::GetWindowTextA(Handle(), title, sizeof title);
    EXPECT_STREQ(title, "Effects Trellisan");
    EXPECT_NE(::SendMessageA(Handle(), WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(CommandsTest, AMissingEffectsRootGivesAnEmptyListAndIsCreated) {
    Open();
    EXPECT_TRUE(Effects().empty());
    EXPECT_TRUE(Enabled(IDC_LOAD));
    EXPECT_TRUE(Enabled(IDC_BACKUP_ALL));
    EXPECT_TRUE(test_support::KeyExists(kEffectsRoot));
}

TEST_F(CommandsTest, SelectingEffectsAndPresetsDrivesTheButtons) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "cathedral");
    AddPreset("Reverb", "Booth");
    AddPreset("Echo", "Slap");
    Open();

    SelectEffect("Reverb");
    EXPECT_EQ(Presets(), (Names{"Booth", "cathedral", "Hall"}));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));

    SelectPresets({"Hall"});
    EXPECT_TRUE(Enabled(IDC_SAVE_TO));
    EXPECT_TRUE(Enabled(IDC_DELETE));
    SelectPresets({"Hall", "Booth"});
    EXPECT_TRUE(Enabled(IDC_SAVE_TO));
    SelectPresets({});
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));

    // Another effect refills the list and disables both again.
    SelectPresets({"Hall"});
    SelectEffect("Echo");
    EXPECT_EQ(Presets(), (Names{"Slap"}));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));
}

TEST_F(CommandsTest, DeleteAsksFirstAndNoChangesNothing) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "Room");
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall"});
    m_pickers.confirmAnswer = IDNO;
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.confirmCalls, 1);
    EXPECT_EQ(m_pickers.confirmText, "Warning: This action will delete ALL selected presets.\n"
                                     "Are you sure you want to continue?");
    EXPECT_EQ(m_pickers.confirmStyle, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Presets(), (Names{"Hall", "Room"}));
    EXPECT_EQ(SelectedIndexes(Item(IDC_PRESET_LIST)), (std::vector<int>{0}));
    EXPECT_TRUE(Enabled(IDC_DELETE));
    EXPECT_TRUE(PresetExists("Reverb", "Hall"));
}

TEST_F(CommandsTest, DeleteRemovesEverySelectedPresetFromListAndStore) {
    // Nested keys below a preset go with it.
    for (const char* preset : {"A", "B", "C", "D", "E"})
        AddPreset("Reverb", preset);
    test_support::SetDwordValue(PresetKeyPath("Reverb", "C") + "\\Bands\\Low", "Gain", 3);
    Open();
    SelectEffect("Reverb");
    // Scattered selection: removing shifts the later entries, which must not go astray.
    SelectPresets({"A", "C", "D"});
    ::SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_DELETE)), TRUE);
    ASSERT_EQ(Item(IDC_DELETE), ::GetFocus());
    Click(IDC_DELETE);
    EXPECT_EQ(Presets(), (Names{"B", "E"}));
    EXPECT_TRUE(SelectedIndexes(Item(IDC_PRESET_LIST)).empty());
    EXPECT_EQ(RegistrySubkeys(EffectKeyPath("Reverb")), (Names{"B", "E"}));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));
    // The disabled button gave the focus and the default border on to the next control.
    EXPECT_EQ(::GetNextDlgTabItem(Handle(), Item(IDC_DELETE), FALSE), ::GetFocus());
    EXPECT_TRUE(::IsWindowEnabled(::GetFocus()));
    EXPECT_EQ(0, ::SendMessageA(Item(IDC_DELETE), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(Effects(), (Names{"Reverb"}));
}

TEST_F(CommandsTest, SaveToAndDeleteDoNothingWithoutASelectedEffect) {
    AddPreset("Reverb", "Hall");
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall"});
    ::SendMessageA(Item(IDC_EFFECT_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Click(IDC_SAVE_TO);
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.folderCalls, 0);
    EXPECT_EQ(m_pickers.confirmCalls, 0);
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_EQ(Presets(), (Names{"Hall"}));
    EXPECT_TRUE(PresetExists("Reverb", "Hall"));
}

TEST_F(CommandsTest, SaveToWritesOneFileForEachSelectedPreset) {
    AddPreset("Reverb", "Hall", 7);
    AddPreset("Reverb", "Room");
    AddPreset("Reverb", "Plate");
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall", "Plate"});
    Click(IDC_SAVE_TO);

    EXPECT_EQ(m_pickers.folderCalls, 1);
    EXPECT_EQ(m_pickers.folderTitle, "Select Folder to contain Preset Files...");
    EXPECT_EQ(m_pickers.folderFlags,
              static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN));
    EXPECT_EQ(m_pickers.folderOwner, Handle());
    EXPECT_EQ(folder.Files(), (Names{"Reverb - Hall.kvp", "Reverb - Plate.kvp"}));
    EXPECT_EQ(folder.Read("Reverb - Hall.kvp").rfind("KELVIDROMEPRESET2.0", 0), 0u);
    // The selection is gone but the buttons keep their state.
    EXPECT_TRUE(SelectedIndexes(Item(IDC_PRESET_LIST)).empty());
    EXPECT_TRUE(Enabled(IDC_SAVE_TO));
    EXPECT_TRUE(Enabled(IDC_DELETE));

    // A second click asks for a folder again and writes nothing.
    Click(IDC_SAVE_TO);
    EXPECT_EQ(m_pickers.folderCalls, 2);
    EXPECT_EQ(folder.Files().size(), 2u);
    // Delete in the same state asks, deletes nothing and disables both.
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.confirmCalls, 1);
    EXPECT_EQ(Presets(), (Names{"Hall", "Plate", "Room"}));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));
}

TEST_F(CommandsTest, SaveToKeepsAnExistingFileAndWritesAStampedOne) {
    AddPreset("Reverb", "Hall");
    ScratchFolder folder;
    folder.Write("Reverb - Hall.kvp", "mine\n");
    m_pickers.folder = folder.path();
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall"});
    Click(IDC_SAVE_TO);
    Names files = folder.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(folder.Read("Reverb - Hall.kvp"), "mine\n");
    const std::regex stamped(R"(Reverb - Hall - \d\d-\d\d-\d\d \d\d-\d\d\.kvp)");
    EXPECT_TRUE(std::regex_match(files[0], stamped) || std::regex_match(files[1], stamped))
        << files[0] << " / " << files[1];
}

TEST_F(CommandsTest, CancelledPickersChangeNothing) {
    AddPreset("Reverb", "Hall");
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    m_pickers.folderChosen = false;
    m_pickers.filesResult = IDCANCEL;
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall"});
    Click(IDC_SAVE_TO);
    Click(IDC_BACKUP_ALL);
    Click(IDC_LOAD);
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_EQ(Presets(), (Names{"Hall"}));
    EXPECT_EQ(SelectedIndexes(Item(IDC_PRESET_LIST)), (std::vector<int>{0}));
    EXPECT_EQ(::SendMessageA(Item(IDC_EFFECT_LIST), LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(Enabled(IDC_SAVE_TO));
}

TEST_F(CommandsTest, LoadImportsEveryChosenFileAndRefreshesTheEffects) {
    AddPreset("Reverb", "Hall", 7);
    AddPreset("Echo", "Slap", 9);
    ScratchFolder folder;
    {
        class Writer : public PresetStore {
        } writer;
        writer.ExportPreset("Reverb", "Hall", (folder.path() + "\\one.kvp").c_str());
        writer.ExportPreset("Echo", "Slap", (folder.path() + "\\two.kvp").c_str());
    }
    WipeEffects();
    AddPreset("Chorus", "Wide");
    Open();
    SelectEffect("Chorus");
    SelectPresets({"Wide"});

    m_pickers.filesChosen = folder.path() + std::string("\0one.kvp\0two.kvp\0\0", 18);
    Click(IDC_LOAD);
    EXPECT_EQ(m_pickers.filesFlags, static_cast<DWORD>(OFN_EXPLORER | OFN_ALLOWMULTISELECT |
                                                       OFN_ENABLEHOOK | OFN_HIDEREADONLY));
    EXPECT_EQ(m_pickers.filesBufferSize, kLoadNameChars);
    EXPECT_EQ(m_pickers.filesFilterIndex, 0u);
    EXPECT_EQ(m_pickers.filesInitialDir, "c:\\");
    EXPECT_EQ(m_pickers.filesFilter, "Sound Preset Files (*.kvp)|*.kvp|All Files (*.*)|*.*");

    EXPECT_EQ(Effects(), (Names{"Chorus", "Echo", "Reverb"}));
    EXPECT_EQ(::SendMessageA(Item(IDC_EFFECT_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_TRUE(Presets().empty());
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));
    EXPECT_TRUE(PresetExists("Reverb", "Hall"));
    EXPECT_TRUE(PresetExists("Echo", "Slap"));

    // A single chosen file is one full path. Behind the dialog's back Hall's value changed and
    // an effect was added: the file's value back and the new effect listed come from this
    // second Load alone, which adds nothing twice.
    test_support::SetDwordValue(PresetKeyPath("Reverb", "Hall"), "Level", 99);
    AddPreset("Delay", "Tap");
    SelectEffect("Echo");
    m_pickers.filesChosen = folder.path() + std::string("\\one.kvp\0\0", 10);
    Click(IDC_LOAD);
    EXPECT_EQ(Effects(), (Names{"Chorus", "Delay", "Echo", "Reverb"}));
    EXPECT_EQ(::SendMessageA(Item(IDC_EFFECT_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
    DWORD level = 0;
    EXPECT_TRUE(test_support::GetDword(PresetKeyPath("Reverb", "Hall"), "Level", level));
    EXPECT_EQ(level, 7u);
    EXPECT_EQ(RegistrySubkeys(EffectKeyPath("Reverb")), (Names{"Hall"}));
}

TEST_F(CommandsTest, BackupAllWritesEveryPresetOfEveryEffect) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "Room");
    AddPreset("Echo", "Slap");
    AddEffect("Empty");
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    Open();
    Click(IDC_BACKUP_ALL);
    EXPECT_EQ(folder.Files(), (Names{"Echo - Slap.kvp", "Reverb - Hall.kvp", "Reverb - Room.kvp"}));
    // The last effect stays selected with its presets listed and none selected.
    EXPECT_EQ(::SendMessageA(Item(IDC_EFFECT_LIST), LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Presets(), (Names{"Hall", "Room"}));
    EXPECT_FALSE(Enabled(IDC_SAVE_TO));
    EXPECT_FALSE(Enabled(IDC_DELETE));

    // A second backup into the same folder keeps the first files and adds stamped ones.
    Click(IDC_BACKUP_ALL);
    EXPECT_EQ(folder.Files().size(), 6u);
    EXPECT_EQ(folder.Read("Echo - Slap.kvp").rfind("KELVIDROMEPRESET2.0", 0), 0u);
}

TEST_F(CommandsTest, BackupAllOfAnEmptyStoreWritesNothing) {
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    Open();
    Click(IDC_BACKUP_ALL);
    EXPECT_EQ(m_pickers.folderCalls, 1);
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_TRUE(Effects().empty());
}

// Under a double-byte code page: Load of several files from a folder whose name ends in a trail
// byte 0x5C, and Backup All of presets whose names hold trail bytes 0x5C and 0x7C.
TEST_F(CommandsTest, DoubleByteFolderAndPresetNames) {
    double_byte::SystemCodePage codePage;
    DOUBLE_BYTE_ONLY(codePage);
    const double_byte::Texts& t = codePage.texts();
    for (const char* preset : {t.backslashTrail, t.otherBackslashTrail, t.pipeTrail})
        AddPreset("Fx", preset);
    ScratchFolder folder;
    const std::string chosen = folder.path() + "\\" + t.backslashTrail;
    ASSERT_TRUE(::CreateDirectoryA(chosen.c_str(), nullptr));
    {
        class Writer : public PresetStore {
        } writer;
        writer.ExportPreset("Fx", t.backslashTrail, (chosen + "\\one.kvp").c_str());
        writer.ExportPreset("Fx", t.pipeTrail, (chosen + "\\two.kvp").c_str());
    }
    m_pickers.folder = folder.path();
    Open();
    Click(IDC_BACKUP_ALL);
    Names expected;
    for (const char* preset : {t.backslashTrail, t.otherBackslashTrail, t.pipeTrail})
        expected.push_back(std::string("Fx - ") + preset + ".kvp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Files(), expected);

    WipeEffects();
    m_pickers.filesChosen = chosen + std::string("\0one.kvp\0two.kvp\0\0", 18);
    Click(IDC_LOAD);
    EXPECT_TRUE(PresetExists("Fx", t.backslashTrail));
    EXPECT_TRUE(PresetExists("Fx", t.pipeTrail));
    EXPECT_FALSE(PresetExists("Fx", t.otherBackslashTrail));
}

// After a command that could not do everything, one box names each file and preset it left
// undone, with the reason; a command that did everything shows nothing.
constexpr UINT kWarning = MB_OK | MB_ICONWARNING;

TEST_F(CommandsTest, LoadNamesTheFilesItCouldNotReadAndIsQuietOtherwise) {
    AddPreset("Reverb", "Hall", 7);
    ScratchFolder folder;
    {
        class Writer : public PresetStore {
        } writer;
        writer.ExportPreset("Reverb", "Hall", (folder.path() + "\\good.kvp").c_str());
    }
    folder.Write("notes.txt", "shopping list\r\n");
    WipeEffects();
    Open();
    m_pickers.filesChosen = folder.path() + std::string("\0good.kvp\0notes.txt\0gone.kvp\0\0", 30);
    Click(IDC_LOAD);
    EXPECT_TRUE(PresetExists("Reverb", "Hall"));
    EXPECT_EQ(Effects(), (Names{"Reverb"}));
    EXPECT_EQ(m_pickers.warnCalls, 1);
    EXPECT_EQ(m_pickers.warnStyle, kWarning);
    EXPECT_EQ(m_pickers.warnText, "Not everything was loaded:\n\n" + folder.path() +
                                      "\\notes.txt: not a preset file\n" + folder.path() +
                                      "\\gone.kvp: cannot read the file");

    m_pickers.filesChosen = folder.path() + std::string("\\good.kvp\0\0", 11);
    Click(IDC_LOAD);
    EXPECT_EQ(m_pickers.warnCalls, 1);
}

// A folder where a preset's file should go: the file cannot be written, as in a folder that
// refuses it.
void FolderInTheWay(const ScratchFolder& folder, const std::string& name) {
    EXPECT_TRUE(::CreateDirectoryA((folder.path() + "\\" + name).c_str(), nullptr));
}

TEST_F(CommandsTest, SaveToNamesThePresetsItCouldNotWriteAndIsQuietOtherwise) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "Room");
    ScratchFolder folder;
    FolderInTheWay(folder, "Reverb - Room.kvp");
    m_pickers.folder = folder.path();
    Open();
    SelectEffect("Reverb");
    SelectPresets({"Hall", "Room"});
    Click(IDC_SAVE_TO);
    EXPECT_EQ(folder.Files(), (Names{"Reverb - Hall.kvp"}));
    EXPECT_EQ(m_pickers.warnCalls, 1);
    EXPECT_EQ(m_pickers.warnStyle, kWarning);
    EXPECT_EQ(m_pickers.warnText, "Not everything was saved:\n\n" + folder.path() +
                                      "\\Reverb - Room.kvp: cannot write the file");

    SelectPresets({"Hall"});
    Click(IDC_SAVE_TO);
    EXPECT_EQ(folder.Files().size(), 2u);
    EXPECT_EQ(m_pickers.warnCalls, 1);
}

// Twelve presets that cannot be written: ten are named, "and 2 more" counts the rest.
TEST_F(CommandsTest, BackupAllNamesWhatItCouldNotWriteUpToTenAndCountsTheRest) {
    AddPreset("Echo", "Slap");
    ScratchFolder folder;
    m_pickers.folder = folder.path();
    Open();
    Click(IDC_BACKUP_ALL);
    EXPECT_EQ(folder.Files(), (Names{"Echo - Slap.kvp"}));
    EXPECT_EQ(m_pickers.warnCalls, 0);

    Destroy();
    for (char last = 'a'; last < 'a' + 12; ++last) {
        AddPreset("Reverb", std::string("p") + last);
        FolderInTheWay(folder, std::string("Reverb - p") + last + ".kvp");
    }
    Open();
    Click(IDC_BACKUP_ALL);
    EXPECT_EQ(m_pickers.warnCalls, 1);
    EXPECT_EQ(m_pickers.warnStyle, kWarning);
    const std::string& text = m_pickers.warnText;
    EXPECT_EQ(0u, text.rfind("Not everything was backed up:\n\n" + folder.path() +
                                 "\\Reverb - pa.kvp: cannot write the file\n",
                             0))
        << text;
    EXPECT_NE(std::string::npos, text.find("\\Reverb - pj.kvp: cannot write the file\nand 2 more"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("pk")) << text;
}

// A preset that another program deleted meanwhile leaves the list and is named; one that
// cannot be deleted (a subkey whose name this code page cannot show: the system lists it as
// one that does not exist) stays in the list and in the store, and is named too.
TEST_F(CommandsTest, DeleteNamesThePresetsItDidNotDeleteAndKeepsThoseLeftInTheList) {
    for (const char* preset : {"A", "B", "C", "D"})
        AddPreset("Reverb", preset);
    HKEY c = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExA(HKEY_CURRENT_USER, PresetKeyPath("Reverb", "C").c_str(), 0,
                              KEY_ALL_ACCESS, &c));
    HKEY foreign = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(c, L"\xD55C\xAE00", 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &foreign, nullptr));
    ::RegCloseKey(foreign);
    ::RegCloseKey(c);
    Open();
    SelectEffect("Reverb");
    SelectPresets({"A"});
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.warnCalls, 0);
    EXPECT_EQ(Presets(), (Names{"B", "C", "D"}));

    SelectPresets({"B", "C", "D"});
    test_support::WipeKey(PresetKeyPath("Reverb", "B"));
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.warnCalls, 1);
    EXPECT_EQ(m_pickers.warnStyle, kWarning);
    EXPECT_EQ(m_pickers.warnText, "Not everything was deleted:\n\nReverb\\B: no such preset\n"
                                  "Reverb\\C: could not be deleted completely");
    EXPECT_EQ(Presets(), (Names{"C"}));
    EXPECT_TRUE(SelectedIndexes(Item(IDC_PRESET_LIST)).empty());
    EXPECT_FALSE(Enabled(IDC_DELETE));
    EXPECT_EQ(RegistrySubkeys(EffectKeyPath("Reverb")), (Names{"C"}));
}

// Under a double-byte code page: a preset after one whose name is longer than 259 bytes is
// listed, and both are deleted.
TEST_F(CommandsTest, DoubleByteNamesLongerThan259BytesAreListedAndDeleted) {
    double_byte::SystemCodePage codePage;
    DOUBLE_BYTE_ONLY(codePage);
    std::string longName;
    for (int i = 0; i < 200; ++i)
        longName += codePage.texts().plain;
    for (const std::string& preset : {std::string("A"), longName, std::string("Z")})
        AddPreset("Fx", preset);
    Open();
    SelectEffect("Fx");
    EXPECT_EQ(Presets().size(), 3u);
    SelectPresets({"A", longName});
    Click(IDC_DELETE);
    EXPECT_EQ(m_pickers.warnCalls, 0);
    EXPECT_EQ(Presets(), (Names{"Z"}));
    EXPECT_EQ(RegistrySubkeys(EffectKeyPath("Fx")), (Names{"Z"}));
}

// The caption of the system's confirmation box: the application's name, which without an
// application object is the program file's name without its extension.
constexpr const char* kBoxCaption = "preset_ui_gui_tests";

// The system's own confirmation box, answered with Yes.
TEST_F(MainDialogTest, TheRealConfirmationBoxAsksWithTheProgramsName) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "Room");
    Open();
    SystemPickers system;
    m_dialog->SetPickers(&system);
    SelectEffect("Reverb");
    SelectPresets({"Room"});
    const ModalSeen box = AnswerModal(kBoxCaption, IDYES, [this] { Click(IDC_DELETE); });
    EXPECT_TRUE(box.found);
    EXPECT_TRUE(box.Shows("Are you sure you want to continue?"));
    EXPECT_EQ(Presets(), (Names{"Hall"}));
    EXPECT_FALSE(PresetExists("Reverb", "Room"));
}

// A confirmation box that cannot be shown is no answer: its owner, the application's main
// window, is a window that no longer exists, so the system's box fails, and nothing is deleted.
// Should a box appear all the same, it is answered with Yes.
TEST_F(MainDialogTest, AConfirmationBoxThatCannotBeShownDeletesNothing) {
    AddPreset("Reverb", "Hall");
    AddPreset("Reverb", "Room");
    Open();
    SystemPickers system;
    m_dialog->SetPickers(&system);
    Application app(kBoxCaption);
    Window gone;
    gone.m_hWnd = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    nullptr, nullptr);
    ::DestroyWindow(gone.m_hWnd);
    app.m_pMainWnd = &gone;
    SelectEffect("Reverb");
    SelectPresets({"Room"});
    int answer = IDYES;
    const ModalSeen box = AnswerModal(kBoxCaption, IDYES, [&] {
        answer = system.Confirm(EffectPresetDialog::kDeleteWarning,
                                EffectPresetDialog::kDeleteWarningStyle);
        Click(IDC_DELETE);
    });
    // Neither Yes nor No came back (Wine gives -1).
    EXPECT_NE(answer, IDYES);
    EXPECT_NE(answer, IDNO);
    EXPECT_FALSE(box.found);
    EXPECT_EQ(Presets(), (Names{"Hall", "Room"}));
    EXPECT_TRUE(PresetExists("Reverb", "Room"));
}

} // namespace
