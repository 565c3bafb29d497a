// presetctl run as its own process under Wine against the real registry: output, error
// lines, exit statuses and files.
#include "double_byte.h"
#include "scratch_registry.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

using namespace test_support;

namespace {

struct Result {
    DWORD status;
    std::string out;
    std::string err;
};

class PresetctlTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        const std::vector<std::string> args = ::testing::internal::GetArgvs();
        ASSERT_GE(args.size(), 3u) << "usage: presetctl_tests PRESETCTL EXAMPLES";
        tool = WindowsPath(args[1]);
        examples = WindowsPath(args[2]);
        folder = ScratchFolder("presetctl");
    }

    // Runs presetctl with each argument quoted.
    Result Run(const std::vector<std::string>& args) {
        std::string line;
        for (const std::string& arg : args)
            line += " \"" + arg + "\"";
        return RunLine(line);
    }

    // Runs presetctl with ARGUMENTS as a user would type them after the program's name, in
    // the current folder (or in FOLDER when one is given).
    Result RunLine(const std::string& arguments, const std::string& currentFolder = "") {
        const std::string outPath = folder + "\\stdout.txt";
        const std::string errPath = folder + "\\stderr.txt";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        std::string line = "\"" + tool + "\"" + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        Result result = {9999, "", ""};
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                           currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup,
                           &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            GetExitCodeProcess(process.hProcess, &result.status);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        CloseHandle(out);
        CloseHandle(err);
        result.out = ReadFileBytes(outPath);
        result.err = ReadFileBytes(errPath);
        return result;
    }

    std::string Example(const char* name) { return examples + "\\" + name; }

    void ImportExamples() {
        const Result r =
            Run({"import", Example("Reverb - Small Room.kvp"), Example("Echo - Slapback.kvp"),
                 Example("Equalizer - Speech Presence.kvp")});
        ASSERT_EQ(0u, r.status) << r.err;
        ASSERT_EQ("", r.err);
    }

    std::string tool;
    std::string examples;
    std::string folder;
};

TEST_F(PresetctlTest, HelpAndCommandLineErrors) {
    const Result help = Run({"--help"});
    EXPECT_EQ(0u, help.status);
    for (const char* command : {"list", "export", "save", "backup", "import", "delete"})
        EXPECT_NE(std::string::npos, help.out.find("  " + std::string(command) + " ")) << command;
    EXPECT_NE(std::string::npos,
              help.out.find("Only the FILE arguments of import take the wildcards"));
    EXPECT_EQ(2u, Run({}).status);
    const Result unknown = Run({"frobnicate"});
    EXPECT_EQ(2u, unknown.status);
    EXPECT_EQ("presetctl: frobnicate: unknown command (see presetctl --help)\r\n", unknown.err);
    EXPECT_EQ(2u, Run({"export", "Reverb"}).status);
    EXPECT_EQ(2u, Run({"list", "a", "b"}).status);
}

TEST_F(PresetctlTest, ImportedExamplesListSortedAndExportByteForByte) {
    ImportExamples();
    const Result effects = Run({"list"});
    EXPECT_EQ(0u, effects.status);
    EXPECT_EQ("Echo\r\nEqualizer\r\nReverb\r\n", effects.out);
    const Result presets = Run({"list", "reverb"});
    EXPECT_EQ("Small Room\r\n", presets.out);

    const std::string file = folder + "\\exported.kvp";
    const Result exported = Run({"export", "Reverb", "Small Room", file});
    EXPECT_EQ(0u, exported.status) << exported.err;
    EXPECT_EQ(ReadFileBytes(Example("Reverb - Small Room.kvp")), ReadFileBytes(file));

    // The version 1.0 example landed in the sections it names.
    StoredValue gain;
    ASSERT_TRUE(
        GetRaw(std::string(kEffectsRoot) + "\\Equalizer\\Speech Presence\\Low", "Gain", gain));
    EXPECT_EQ(Dword(4294967292u), gain.data);
}

TEST_F(PresetctlTest, ListComesInTheOrderOfTheDialogsSortedListBox) {
    // Blanks, hyphens, punctuation and letters above 127 are where a sorted list box and a
    // byte order part ways.
    for (const char* name :
         {"\xc9"
          "cho",
          "Flanger", "co-op", "coda", "_x", "a b", "ab-", "a-c", "~t", "10", "9", "Zeta", "e"})
        CreateKey(std::string(kEffectsRoot) + "\\" + name);
    HWND list = CreateWindowExA(0, "LISTBOX", "", LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, list);
    for (const std::string& name : Subkeys(kEffectsRoot))
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    std::string expected;
    char text[260];
    for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        expected += std::string(text) + "\r\n";
    }
    DestroyWindow(list);
    const Result listed = Run({"list"});
    EXPECT_EQ(0u, listed.status) << listed.err;
    EXPECT_EQ(expected, listed.out);
}

TEST_F(PresetctlTest, ImportExpandsWildcardsAsCmdLeavesThem) {
    const Result r = RunLine(" import \"" + examples + "\"\\*.kvp");
    ASSERT_EQ(0u, r.status) << r.err;
    EXPECT_EQ("Echo\r\nEqualizer\r\nReverb\r\n", Run({"list"}).out);
}

TEST_F(PresetctlTest, EffectAndPresetNamesAreNeverWildcards) {
    const std::string effect = std::string(kEffectsRoot) + "\\W";
    for (const char* preset : {"H*", "H?", "Hxfile"})
        CreateKey(effect + "\\" + preset);
    // Files in the current folder that the names would match as wildcards.
    WriteFileBytes(folder + "\\Hxfile", "x");
    WriteFileBytes(folder + "\\Hy", "y");

    const Result deleted = RunLine(" delete W \"H*\"", folder);
    EXPECT_EQ(0u, deleted.status) << deleted.err;
    std::vector<std::string> left = Subkeys(effect);
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"H?", "Hxfile"}), left);

    const Result exported = RunLine(" export W H? out.kvp", folder);
    EXPECT_EQ(0u, exported.status) << exported.err;
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "W", "H?"}), ReadFileBytes(folder + "\\out.kvp"));
    EXPECT_EQ("H?\r\nHxfile\r\n", RunLine(" list W", folder).out);
    const Result noEffect = RunLine(" list W*", folder);
    EXPECT_EQ(1u, noEffect.status);
    EXPECT_EQ("presetctl: W*: no such effect\r\n", noEffect.err);

    // A file pattern that matches nothing is reported as it was given.
    const Result none = RunLine(" import *.none", folder);
    EXPECT_EQ(1u, none.status);
    EXPECT_EQ("presetctl: *.none: cannot read the file\r\n", none.err);
}

TEST_F(PresetctlTest, SaveAndBackupKeepEveryFileInTheFolder) {
    // Names a preset file may carry: path separators, "..", and what Windows refuses in names.
    const std::string file = folder + "\\odd.kvp";
    const std::string bytes = TextLines({"KELVIDROMEPRESET2.0", "../../x", "a:b*c|d", "Mix - 40"});
    WriteFileBytes(file, bytes);
    const std::string plainFile = folder + "\\plain.kvp";
    const std::string plainBytes = TextLines({"KELVIDROMEPRESET2.0", "../../x", "plain", "M - 4"});
    WriteFileBytes(plainFile, plainBytes);
    ASSERT_EQ(0u, Run({"import", file, plainFile}).status);
    const std::string inner = folder + "\\one\\two";
    CreateDirectoryA((folder + "\\one").c_str(), nullptr);
    CreateDirectoryA(inner.c_str(), nullptr);

    const Result saved = Run({"save", inner, "../../x", "plain", "a:b*c|d"});
    EXPECT_EQ(0u, saved.status) << saved.err;
    EXPECT_EQ(inner + "\\.._.._x - plain.kvp\r\n" + inner + "\\.._.._x - a_b_c_d.kvp\r\n",
              saved.out);
    EXPECT_EQ(bytes, ReadFileBytes(inner + "\\.._.._x - a_b_c_d.kvp"));
    EXPECT_EQ(plainBytes, ReadFileBytes(inner + "\\.._.._x - plain.kvp"));
    const Result all = Run({"backup", inner});
    EXPECT_EQ(0u, all.status) << all.err;
    EXPECT_EQ(inner + "\\.._.._x - a_b_c_d - ", all.out.substr(0, inner.size() + 21));
    EXPECT_EQ(bytes, ReadFileBytes(all.out.substr(0, all.out.find('\r'))));

    // Nothing landed outside the chosen folder.
    auto names = [](const std::string& path) {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ((std::vector<std::string>{"odd.kvp", "one", "plain.kvp", "stderr.txt", "stdout.txt"}),
              names(folder));
    EXPECT_EQ(std::vector<std::string>{"two"}, names(folder + "\\one"));
    EXPECT_EQ(4u, names(inner).size());
}

// Presets whose file names coincide, through replaced characters or through the " - " that
// joins effect and preset, each get a file of their own, in one run and in the next; the
// files restore every preset.
TEST_F(PresetctlTest, BackupGivesPresetsWhoseFileNamesCoincideFilesOfTheirOwn) {
    const std::string root = kEffectsRoot;
    const char* const keys[] = {"E\\a:b", "E\\a*b", "E\\a?b", "Echo - A\\B", "Echo\\A - B"};
    for (DWORD who = 0; who < 5; ++who)
        SetDwordValue(root + "\\" + keys[who], "Who", who);
    const Snapshot before = TakeSnapshot(root);
    const std::string backup = ScratchFolder("presetctl_backup");
    std::vector<std::string> written;
    for (int run = 0; run < 2; ++run) {
        const Result all = Run({"backup", backup});
        EXPECT_EQ(0u, all.status) << all.err;
        for (size_t start = 0, end; (end = all.out.find("\r\n", start)) != std::string::npos;
             start = end + 2)
            written.push_back(all.out.substr(start, end - start));
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(10u, written.size());
    EXPECT_EQ(written.end(), std::unique(written.begin(), written.end()));
    WipeKey(root);
    const Result restored = Run({"import", backup + "\\*.kvp"});
    EXPECT_EQ(0u, restored.status) << restored.err;
    EXPECT_EQ(before, TakeSnapshot(root));
}

// What a file holds but the older checks lost: values longer than the export's old buffer,
// a last line that holds only an end-of-file mark, a file that names no preset.
TEST_F(PresetctlTest, LongValuesEndOfFileMarksAndUnnamedFiles) {
    const std::string key = PresetKeyPath("LongFx", "P1");
    SetStringValue(key, "A", std::string(300, 'a'));
    SetDwordValue(key, "B", 7);
    const Result exported = Run({"export", "LongFx", "P1", folder + "\\long.kvp"});
    EXPECT_EQ(0u, exported.status) << exported.err;
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "LongFx", "P1", "%A - " + std::string(300, 'a'),
                         "B - 7"}),
              ReadFileBytes(folder + "\\long.kvp"));

    const std::string eof = folder + "\\eof.kvp";
    WriteFileBytes(eof, TextLines({"KELVIDROMEPRESET2.0", "Zfx", "Zp", "% - keep me", "Mix - 40"}) +
                            "\x1a");
    const Result marked = Run({"import", eof});
    EXPECT_EQ(0u, marked.status) << marked.err;
    StoredValue value;
    EXPECT_TRUE(GetRaw(PresetKeyPath("Zfx", "Zp"), "", value));
    EXPECT_EQ((StoredValue{REG_SZ, std::string("keep me", 8)}), value);

    const Snapshot before = TakeSnapshot(kEffectsRoot);
    const std::string unnamed = folder + "\\unnamed.kvp";
    WriteFileBytes(unnamed, TextLines({"KELVIDROMEPRESET2.0", "Zfx", "", "Mix - 1"}));
    const Result refused = Run({"import", unnamed, eof});
    EXPECT_EQ(1u, refused.status);
    EXPECT_EQ("presetctl: " + unnamed + ": names no effect or no preset; nothing stored\r\n",
              refused.err);
    EXPECT_EQ(before, TakeSnapshot(kEffectsRoot));
}

// The reading end of a pipe that takes the first bytes and goes away.
struct PipeReader {
    HANDLE pipe;
    DWORD got;
};

DWORD WINAPI ReadAndGoAway(LPVOID context) {
    PipeReader& reader = *static_cast<PipeReader*>(context);
    ::ConnectNamedPipe(reader.pipe, nullptr);
    char bytes[64];
    ::ReadFile(reader.pipe, bytes, sizeof bytes, &reader.got, nullptr);
    ::CloseHandle(reader.pipe);
    return 0;
}

// A write that fails part-way, as on a disk that fills up during a backup.
TEST_F(PresetctlTest, AWriteThatFailsPartWayIsReported) {
    for (int i = 0; i < 400; ++i)
        SetStringValue(PresetKeyPath("Big", "P"), "v" + std::to_string(i), std::string(1000, 'x'));
    const std::string pipe =
        "\\\\.\\pipe\\presetctl_test_" + std::to_string(::GetCurrentProcessId());
    PipeReader reader = {::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_INBOUND,
                                            PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr),
                         0};
    ASSERT_NE(INVALID_HANDLE_VALUE, reader.pipe);
    HANDLE thread = ::CreateThread(nullptr, 0, ReadAndGoAway, &reader, 0, nullptr);
    const Result r = Run({"export", "Big", "P", pipe});
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    EXPECT_EQ(64u, reader.got); // the file was open and written to
    EXPECT_EQ(1u, r.status);
    EXPECT_EQ("presetctl: " + pipe + ": cannot write the file\r\n", r.err);
}

// Wine's registry takes key paths of at most 260 characters in its ANSI calls: what lies
// deeper can be neither stored nor read, and presetctl says so.
TEST_F(PresetctlTest, WhatWasNotStoredOrWrittenWholeIsReported) {
    const std::string effect(200, 'e');
    const std::string file = folder + "\\long.kvp";
    WriteFileBytes(file, TextLines({"KELVIDROMEPRESET2.0", effect, std::string(30, 'p'), "A - 1"}));
    const Result imported = Run({"import", file});
    EXPECT_EQ(1u, imported.status);
    EXPECT_EQ("presetctl: " + file + ": " + kEffectsRoot + "\\" + effect + "\\" +
                  std::string(30, 'p') + ": cannot be stored\r\n",
              imported.err);

    // The same preset, created from the effects root so that no path in the call passes 260
    // characters: it exists, but its own path cannot be opened.
    HKEY preset = CreateChain(kEffectsRoot, effect + "\\" + std::string(30, 'p'), 1);
    const DWORD one = 1;
    RegSetValueExA(preset, "A", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegCloseKey(preset);
    const Result exported = Run({"export", effect, std::string(30, 'p'), folder + "\\x.kvp"});
    EXPECT_EQ(1u, exported.status);
    EXPECT_EQ("presetctl: " + folder + "\\x.kvp: " + kEffectsRoot + "\\" + effect + "\\" +
                  std::string(30, 'p') + ": cannot be opened\r\n",
              exported.err);
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", effect, std::string(30, 'p')}),
              ReadFileBytes(folder + "\\x.kvp"));
    const Result backup = Run({"backup", ScratchFolder("presetctl_backup")});
    EXPECT_EQ(1u, backup.status);
    EXPECT_NE(std::string::npos, backup.err.find(": cannot be opened\r\n"));
}

TEST_F(PresetctlTest, EveryFailureIsReportedAndTheRestStillRuns) {
    WriteFileBytes(folder + "\\notes.txt", "shopping list\r\n");
    const Result imported = Run({"import", folder + "\\missing.kvp", folder + "\\notes.txt",
                                 Example("Echo - Slapback.kvp")});
    EXPECT_EQ(1u, imported.status);
    EXPECT_EQ("presetctl: " + folder + "\\missing.kvp: cannot read the file\r\npresetctl: " +
                  folder + "\\notes.txt: not a preset file\r\n",
              imported.err);
    EXPECT_TRUE(KeyExists(std::string(kEffectsRoot) + "\\Echo\\Slapback"));

    const Result missingEffect = Run({"export", "Chorus", "Wide", folder + "\\x.kvp"});
    EXPECT_EQ(1u, missingEffect.status);
    EXPECT_EQ("presetctl: Chorus: no such effect\r\n", missingEffect.err);
    EXPECT_FALSE(KeyExists(std::string(kEffectsRoot) + "\\Chorus"));

    const Result unwritable = Run({"export", "Echo", "Slapback", folder + "\\no folder\\x.kvp"});
    EXPECT_EQ(1u, unwritable.status);
    EXPECT_NE(std::string::npos, unwritable.err.find("cannot write the file"));
    // A file that exists but that another program holds without sharing.
    const std::string held = folder + "\\held.kvp";
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const Result busy = Run({"export", "Echo", "Slapback", held});
    CloseHandle(holder);
    EXPECT_EQ(1u, busy.status);
    EXPECT_EQ("presetctl: " + held + ": cannot write the file\r\n", busy.err);

    CreateKey(std::string(kEffectsRoot) + "\\Echo\\Long Tail");
    const Result deleted = Run({"delete", "Echo", "Nothing", "slapback", ""});
    EXPECT_EQ(1u, deleted.status);
    EXPECT_EQ("presetctl: Echo\\Nothing: no such preset\r\npresetctl: Echo\\: no such preset\r\n",
              deleted.err);
    EXPECT_EQ(std::vector<std::string>{"Long Tail"}, Subkeys(std::string(kEffectsRoot) + "\\Echo"));
    EXPECT_FALSE(KeyExists(std::string(kEffectsRoot) + "\\Echo\\Nothing"));
}

TEST_F(PresetctlTest, SaveAndBackupNameFilesLikeTheDialog) {
    ImportExamples();
    const Result first = Run({"save", folder, "Echo", "Slapback"});
    EXPECT_EQ(0u, first.status) << first.err;
    EXPECT_EQ(folder + "\\Echo - Slapback.kvp\r\n", first.out);
    EXPECT_EQ(ReadFileBytes(Example("Echo - Slapback.kvp")),
              ReadFileBytes(folder + "\\Echo - Slapback.kvp"));
    const Result second = Run({"save", folder, "Echo", "Slapback"});
    EXPECT_EQ(0u, second.status);
    EXPECT_EQ(folder + "\\Echo - Slapback - ", second.out.substr(0, folder.size() + 19));
    EXPECT_EQ(std::string::npos, second.out.find("Slapback.kvp"));

    const std::string backup = ScratchFolder("presetctl_backup");
    const Result all = Run({"backup", backup});
    EXPECT_EQ(0u, all.status) << all.err;
    EXPECT_EQ(backup + "\\Echo - Slapback.kvp\r\n" + backup +
                  "\\Equalizer - Speech Presence.kvp\r\n" + backup +
                  "\\Reverb - Small Room.kvp\r\n",
              all.out);
    EXPECT_EQ(ReadFileBytes(Example("Reverb - Small Room.kvp")),
              ReadFileBytes(backup + "\\Reverb - Small Room.kvp"));

    const Result nowhere = Run({"backup", backup + "\\missing"});
    EXPECT_EQ(1u, nowhere.status);
    EXPECT_EQ(3u, static_cast<size_t>(std::count(nowhere.err.begin(), nowhere.err.end(), '\n')));
}

// A folder typed with its last separator gets no second one.
TEST_F(PresetctlTest, AFolderEndingInASeparatorGetsNoSecondOne) {
    ImportExamples();
    // Unquoted: a "\\" before a closing quote would make the quote part of the argument.
    const Result saved = RunLine(" save " + folder + "\\ Echo Slapback");
    EXPECT_EQ(0u, saved.status) << saved.err;
    EXPECT_EQ(folder + "\\Echo - Slapback.kvp\r\n", saved.out);
}

// Under a double-byte code page (the run's own prefixes for 932 and 950): names and texts whose
// trail bytes have the value of "\", "[", "|" or a letter.
class DoubleBytePresetctlTest : public PresetctlTest {
protected:
    void SetUp() override {
        PresetctlTest::SetUp();
        if (codePage.Active())
            t = &codePage.texts();
    }
    double_byte::SystemCodePage codePage;
    const double_byte::Texts* t = nullptr;
};

// A preset with a subkey whose name ends in a trail byte 0x5C and a later sibling, values on
// both sides of them, a value and a subkey with a trail byte "[": exported whole, deleted, and
// imported back the same.
TEST_F(DoubleBytePresetctlTest, PresetExportsWholeAndComesBackAfterDelete) {
    DOUBLE_BYTE_ONLY(codePage);
    const std::string fx = std::string("Fx") + t->pipeTrail;
    const std::string preset = std::string("P") + t->backslashTrail;
    const std::string key = PresetKeyPath(fx, preset);
    SetDwordValue(key, "Mix", 40);
    SetStringValue(key, std::string("Title") + t->bracketTrail, std::string("a") + t->bracketTrail);
    SetDwordValue(key + "\\" + t->backslashTrail, "Inner", 1);
    SetDwordValue(key + "\\" + t->backslashTrail + "\\" + t->otherBackslashTrail, "Deep", 2);
    SetDwordValue(key + "\\" + t->plain, "Later", 3);
    SetStringValue(key + "\\" + t->bracketTrail, "Chorus", t->bracketTrail);
    const Snapshot before = TakeSnapshot(kEffectsRoot);
    ASSERT_EQ(5u, before.size());

    const std::string file = folder + "\\p.kvp";
    const Result exported = Run({"export", fx, preset, file});
    EXPECT_EQ(0u, exported.status) << exported.err;
    const Result deleted = Run({"delete", fx, preset});
    EXPECT_EQ(0u, deleted.status) << deleted.err;
    EXPECT_FALSE(KeyExists(key));
    const Result imported = Run({"import", file});
    EXPECT_EQ(0u, imported.status) << imported.err;
    EXPECT_EQ(before, TakeSnapshot(kEffectsRoot));
}

// Names that differ only in a trail byte's letter are two presets; backup names keep their
// characters; wildcards take double-byte characters whole.
TEST_F(DoubleBytePresetctlTest, NamesFileNamesAndWildcards) {
    DOUBLE_BYTE_ONLY(codePage);
    const std::string fx = "Fx";
    for (const char* preset :
         {t->upperTrail, t->lowerTrail, t->backslashTrail, t->otherBackslashTrail, t->pipeTrail})
        SetDwordValue(PresetKeyPath(fx, preset), "Mix", 40);
    const Result deleted = Run({"delete", fx, t->lowerTrail});
    EXPECT_EQ(0u, deleted.status) << deleted.err;
    EXPECT_TRUE(KeyExists(PresetKeyPath(fx, t->upperTrail)));
    EXPECT_FALSE(KeyExists(PresetKeyPath(fx, t->lowerTrail)));

    const std::string backup = ScratchFolder("presetctl_double_byte");
    const Result all = Run({"backup", backup});
    EXPECT_EQ(0u, all.status) << all.err;
    for (const char* preset : {t->backslashTrail, t->otherBackslashTrail, t->pipeTrail}) {
        const std::string name = backup + "\\Fx - " + preset + ".kvp";
        EXPECT_NE(std::string::npos, all.out.find(name + "\r\n")) << all.out;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((name + ".x").c_str()));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name.c_str())) << name;
    }

    // "<char>*.kvp" and "?.kvp" in a folder whose name ends in a trail byte 0x5C.
    const std::string files = backup + "\\" + t->backslashTrail;
    ASSERT_TRUE(CreateDirectoryA(files.c_str(), nullptr));
    for (const char* preset : {t->backslashTrail, t->otherBackslashTrail})
        WriteFileBytes(files + "\\" + preset + ".kvp",
                       TextLines({"KELVIDROMEPRESET2.0", "Wild", preset, "Mix - 1"}));
    WriteFileBytes(files + "\\" + t->backslashTrail + " more.kvp",
                   TextLines({"KELVIDROMEPRESET2.0", "Wild", "more", "Mix - 1"}));
    const Result star = RunLine(" import \"" + files + "\\" + t->backslashTrail + "*.kvp\"");
    EXPECT_EQ(0u, star.status) << star.err;
    std::vector<std::string> wild = Subkeys(EffectKeyPath("Wild"));
    std::sort(wild.begin(), wild.end());
    EXPECT_EQ((std::vector<std::string>{"more", t->backslashTrail}), wild);
    const Result one = RunLine(" import \"" + files + "\\?.kvp\"");
    EXPECT_EQ(0u, one.status) << one.err;
    EXPECT_EQ(3u, Subkeys(EffectKeyPath("Wild")).size());
}

// Keys made under another code page (Hangul names, which 932 and 950 cannot show) beside a
// subkey that ends in a trail byte 0x5C: the export ends, reports what it cannot open or tell
// apart, and writes the rest. An import of a file of sections without end ends with a report.
TEST_F(DoubleBytePresetctlTest, KeysOfAnotherCodePageAndEndlessFilesEnd) {
    DOUBLE_BYTE_ONLY(codePage);
    const std::string key = PresetKeyPath("Fx", "P");
    SetDwordValue(key, "Mix", 40);
    SetDwordValue(key + "\\" + t->backslashTrail, "Inner", 1);
    HKEY preset = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_ALL_ACCESS, &preset));
    for (const wchar_t* name : {L"\xD55C", L"\xAE00", L"\xD55C\\\xAE00"}) {
        HKEY created = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(preset, name, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &created, nullptr));
        const DWORD one = 1;
        RegSetValueExW(created, L"Mix", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        RegCloseKey(created);
    }
    RegCloseKey(preset);
    const std::vector<std::string> subkeys = Subkeys(key);

    const std::string file = folder + "\\p.kvp";
    const Result exported = Run({"export", "Fx", "P", file});
    EXPECT_EQ(1u, exported.status);
    EXPECT_NE(std::string::npos, exported.err.find(": cannot be opened\r\n")) << exported.err;
    EXPECT_NE(std::string::npos, exported.err.find("has the name of an earlier subkey"))
        << exported.err;
    const std::string text = ReadFileBytes(file);
    EXPECT_LT(text.size(), 400u) << text;
    EXPECT_NE(std::string::npos,
              text.find(std::string("[") + t->backslashTrail + "]\r\nInner - 1"));
    EXPECT_EQ(subkeys, Subkeys(key)); // nothing created

    std::string lines = TextLines({"KELVIDROMEPRESET2.0", "Fx", "Deep"});
    for (int level = 0; level < 20000; ++level)
        lines += std::string("[") + t->backslashTrail + "]\r\nMix - 40\r\n";
    WriteFileBytes(file, lines);
    const Result imported = Run({"import", file});
    EXPECT_EQ(1u, imported.status);
    EXPECT_NE(std::string::npos, imported.err.find("more than 200 levels")) << imported.err;
    EXPECT_LT(imported.err.size(), 200000u);
}

// A file written under code page 1252 whose preset name "Caf\xE9" ends in what is a lead
// byte here: nothing is stored anywhere, and presetctl says why. In a file whose names are
// whole, a section so named leaves its values out, and the values after it land in the keys
// the file puts them in.
TEST_F(DoubleBytePresetctlTest, AFileFromAnotherCodePageNeverScattersAPreset) {
    DOUBLE_BYTE_ONLY(codePage);
    const std::string file = folder + "\\cafe.kvp";
    WriteFileBytes(file,
                   TextLines({"KELVIDROMEPRESET2.0", "Fx", "Caf\xE9", "Top - 1", "[Sub]",
                              "Inner - 2", "[..]", "After - 3", "[Other]", "Deep - 4", "[..]"}));
    const Result refused = Run({"import", file});
    EXPECT_EQ(1u, refused.status);
    EXPECT_EQ("presetctl: " + file +
                  ": names an effect or preset that this code page cannot show; nothing stored\r\n",
              refused.err);
    EXPECT_TRUE(TakeSnapshot(kEffectsRoot).empty());
    EXPECT_TRUE(Subkeys(kEffectsRoot).empty());

    WriteFileBytes(
        file, TextLines({"KELVIDROMEPRESET2.0", "Fx", "P", "Top - 1", "[Caf\xE9 x]", "Lost - 2",
                         "[..]", "After - 3", "[Other]", "Deep - 4", "[..]", "Caf\xE9 - 5"}));
    const Result imported = Run({"import", file});
    EXPECT_EQ(1u, imported.status);
    const std::string key = PresetKeyPath("Fx", "P");
    EXPECT_EQ("presetctl: " + file + ": " + key +
                  ": has a section whose name this code page cannot show; its values are left "
                  "out\r\npresetctl: " +
                  file + ": " + key +
                  ": value \"Caf\xE9\" has a name this code page cannot show and is left "
                  "out\r\n",
              imported.err);
    EXPECT_EQ((Snapshot{{key, {{"Top", {REG_DWORD, Dword(1)}}, {"After", {REG_DWORD, Dword(3)}}}},
                        {key + "\\Other", {{"Deep", {REG_DWORD, Dword(4)}}}}}),
              TakeSnapshot(kEffectsRoot));
}

// Names of 150 double-byte characters, 300 bytes: a preset after such a name is listed, backed
// up and deleted; a preset with such a subkey is exported and deleted whole. A line longer
// than 1999 bytes whose 1999th byte is a lead byte before a trail byte "[" is read whole.
TEST_F(DoubleBytePresetctlTest, NamesLongerThan259BytesAndLinesLongerThan1999Bytes) {
    DOUBLE_BYTE_ONLY(codePage);
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += t->plain;
    for (const std::string& preset : {std::string("A"), longName, std::string("Z")})
        SetDwordValue(PresetKeyPath("Fx", preset), "Mix", 1);
    SetDwordValue(PresetKeyPath("Fx", "A") + "\\" + longName, "Inner", 2);
    SetDwordValue(PresetKeyPath("Fx", "A") + "\\Later", "After", 3);
    const Snapshot before = TakeSnapshot(PresetKeyPath("Fx", "A"));

    const Result listed = Run({"list", "Fx"});
    EXPECT_EQ(0u, listed.status) << listed.err;
    EXPECT_EQ("A\r\nZ\r\n" + longName + "\r\n", listed.out);
    const std::string backup = ScratchFolder("presetctl_long");
    const Result all = Run({"backup", backup});
    EXPECT_EQ(0u, all.status) << all.err;
    EXPECT_EQ(3, std::count(all.out.begin(), all.out.end(), '\n')) << all.out;
    const std::string file = backup + "\\Fx - A.kvp";
    EXPECT_NE(std::string::npos, ReadFileBytes(file).find("[" + longName + "]\r\nInner - 2"));
    const Result deleted = Run({"delete", "Fx", "A", longName});
    EXPECT_EQ(0u, deleted.status) << deleted.err;
    EXPECT_EQ(std::vector<std::string>{"Z"}, Subkeys(EffectKeyPath("Fx")));
    const Result restored = Run({"import", file});
    EXPECT_EQ(0u, restored.status) << restored.err;
    EXPECT_EQ(before, TakeSnapshot(PresetKeyPath("Fx", "A")));

    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += t->bracketTrail;
    const std::string lines = folder + "\\long.kvp";
    WriteFileBytes(lines,
                   TextLines({"KELVIDROMEPRESET2.0", "Fx", "L", "%Sx - " + text, "After - 1"}));
    const Result read = Run({"import", lines});
    EXPECT_EQ(0u, read.status) << read.err;
    const std::string key = PresetKeyPath("Fx", "L");
    EXPECT_EQ((Snapshot{{key,
                         {{"Sx", {REG_SZ, text + std::string(1, '\0')}},
                          {"After", {REG_DWORD, Dword(1)}}}}}),
              TakeSnapshot(key));
    EXPECT_EQ(std::vector<std::string>{}, Subkeys(key));
}

} // namespace
