// Preset file import, versions 1.0 and 2.0, and export-delete-import round trips.
#include "scratch_registry.h"
#include "test_store.h"

#include <cstring>
#include <random>
#include <set>
#include <string>

using namespace test_support;

namespace {

const std::string kRoot = kEffectsRoot;
const std::string kWarm = PresetKeyPath("Reverb", "Warm");

class ImportTest : public ScratchRegistry {
protected:
    // Imports the lines as a file written in text mode on this platform.
    void Import(const std::vector<std::string>& lines) {
        const std::string path = ScratchFolder("import") + "/in.kvp";
        WriteFileBytes(path, TextLines(lines));
        store.ImportPresetFile(path.c_str());
        EXPECT_EQ(nullptr, store.m_presetFile);
    }
    std::string ValueText(const std::string& key, const std::string& name) {
        StoredValue value;
        if (!GetRaw(key, name, value))
            return "missing";
        if (value.type == REG_DWORD && value.data.size() == 4) {
            DWORD number;
            std::memcpy(&number, value.data.data(), 4);
            return "dword " + std::to_string(number);
        }
        if (value.type == REG_SZ)
            return "string " + value.data;
        return "other";
    }
    static std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }
    TestStore store;
};

TEST_F(ImportTest, Version2SectionsAndValues) {
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Mix - 40", "%Title - Big hall", "[Taps]",
            "Count - 3", "[Left]", "Gain - 1", "[..]", "[Right]", "Gain - 2", "[..]", "[..]",
            "Tail - 9"});
    EXPECT_EQ("dword 40", ValueText(kWarm, "Mix"));
    EXPECT_EQ("string " + Sz("Big hall"), ValueText(kWarm, "Title"));
    EXPECT_EQ("dword 3", ValueText(kWarm + "\\Taps", "Count"));
    EXPECT_EQ("dword 1", ValueText(kWarm + "\\Taps\\Left", "Gain"));
    EXPECT_EQ("dword 2", ValueText(kWarm + "\\Taps\\Right", "Gain"));
    EXPECT_EQ("dword 9", ValueText(kWarm, "Tail"));
}

// A value given again, after a subkey, under another case or through another spelling of its
// key's path, ends as the file last gives it, whatever it was given in between.
TEST_F(ImportTest, AValueGivenAgainEndsAsTheFileLastGivesIt) {
    Import({"KELVIDROMEPRESET2.0",
            "Reverb",
            "Warm",
            "A - 1",
            "%S - one",
            "[Sub]",
            "x - 1",
            "[..]",
            "A - 2",
            "%S - one",
            "[Sub]",
            "x - 2",
            "[..]",
            "A - 1",
            "%S - one",
            "Case - 1",
            "CASE - 2",
            "Case - 1",
            "\xe9 - 1",
            "\xc9 - 2",
            "\xe9 - 1",
            "B - 6",
            "[]",
            "B - 5",
            "[..]",
            "B - 6",
            "[Sub]",
            "[Deeper]",
            "y - 1",
            "[..]",
            "x - 3",
            "[..]",
            "[Sub]",
            "x - 2",
            "[..]"});
    EXPECT_EQ("dword 1", ValueText(kWarm, "A"));
    EXPECT_EQ("string " + Sz("one"), ValueText(kWarm, "S"));
    EXPECT_EQ("dword 2", ValueText(kWarm + "\\Sub", "x"));
    EXPECT_EQ("dword 1", ValueText(kWarm + "\\Sub\\Deeper", "y"));
    EXPECT_EQ("dword 1", ValueText(kWarm, "Case"));
    EXPECT_EQ("dword 1", ValueText(kWarm, "\xe9"));
    EXPECT_EQ("dword 6", ValueText(kWarm, "B"));
}

// More values in one key than an import keeps in mind: those past that are set every time,
// and the last line of each still wins.
TEST_F(ImportTest, AKeyOfThousandsOfValuesGivenThreeTimesEndsAsTheLastTime) {
    std::vector<std::string> lines = {"KELVIDROMEPRESET2.0", "Reverb", "Warm"};
    for (int round = 0; round < 3; ++round) {
        for (int v = 0; v < 3000; ++v)
            lines.push_back("n" + std::to_string(v) + " - " + std::to_string(v + round % 2));
        lines.insert(lines.end(), {"[S]", "x - 1", "[..]"});
    }
    Import(lines);
    for (int v : {0, 1500, 2999})
        EXPECT_EQ("dword " + std::to_string(v), ValueText(kWarm, "n" + std::to_string(v)));
}

TEST_F(ImportTest, ValueLineSplitQuirksThatFilesRelyOn) {
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Mix-40", "", "%Count - 12", "Neg - -1",
            "Max - 4294967295", "Wrap - 4294967296", "  Spaced -   17x", "Name-with - 5",
            "nohyphen", "%Str - a-b % c", "% - dflt"});
    EXPECT_EQ("dword 0", ValueText(kWarm, "Mi"));
    EXPECT_EQ("string " + Sz("dflt"), ValueText(kWarm, "")); // the empty line's 0 replaced
    EXPECT_EQ("string " + Sz("12"), ValueText(kWarm, "Count"));
    EXPECT_EQ("dword 4294967295", ValueText(kWarm, "Neg"));
    EXPECT_EQ("dword 4294967295", ValueText(kWarm, "Max"));
    EXPECT_EQ("dword 0", ValueText(kWarm, "Wrap"));
    EXPECT_EQ("dword 17", ValueText(kWarm, "  Spaced"));
    EXPECT_EQ("dword 0", ValueText(kWarm, "Nam")); // cut at the name's own hyphen
    EXPECT_EQ("string " + Sz("a-b % c"), ValueText(kWarm, "Str"));
    // "nohyphen" stores its number (0) under the empty name, which "% - dflt" then replaced.
    EXPECT_EQ(9u, TakeSnapshot(kWarm)[kWarm].size());
}

TEST_F(ImportTest, EmptyBodyLineSetsTheDefaultValueToZero) {
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", ""});
    EXPECT_EQ("dword 0", ValueText(kWarm, ""));
}

TEST_F(ImportTest, Version2ReturnAtThePresetKeyIsIgnored) {
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "[..]", "[..]", "Up - 1", "[A]", "[..]",
            "[..]", "Still - 2"});
    EXPECT_EQ("dword 1", ValueText(kWarm, "Up"));
    EXPECT_EQ("dword 2", ValueText(kWarm, "Still"));
    const Snapshot all = TakeSnapshot("Software\\Vantor");
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(kWarm, all.begin()->first);
}

TEST_F(ImportTest, BracketsAnywhereMakeASectionLine) {
    Import(
        {"KELVIDROMEPRESET2.0", "Reverb", "Warm", "%Note - a [b]", "Set - 1", "[x]y]", "In - 2"});
    // "%Note - a [b]" became the section "%Note - a b".
    EXPECT_EQ("dword 1", ValueText(kWarm + "\\%Note - a b", "Set"));
    EXPECT_EQ("dword 2", ValueText(kWarm + "\\%Note - a b\\xy", "In"));
}

TEST_F(ImportTest, Version1SectionsAreNeverNested) {
    Import({"KELVIDROMEPRESET1.0", "Equalizer", "Voice", "Bands - 3", "%Pct - 4", "[Main]",
            "Gain - 12", "[Tail]", "Gain - 5"});
    const std::string key = kRoot + "\\Equalizer\\Voice";
    EXPECT_EQ("dword 3", ValueText(key, "Bands"));
    EXPECT_EQ("dword 4", ValueText(key, "%Pct")); // no string values in version 1.0
    EXPECT_EQ("dword 12", ValueText(key + "\\Main", "Gain"));
    EXPECT_EQ("dword 5", ValueText(key + "\\Tail", "Gain"));
    EXPECT_FALSE(KeyExists(key + "\\Main\\Tail"));
}

TEST_F(ImportTest, FilesThatStoreNothing) {
    const std::vector<std::vector<std::string>> files = {
        {},
        {"KELVIDROMEPRESET2.0"},
        {"KELVIDROMEPRESET2.0", "Reverb"},
        {"KELVIDROMEPRESET1.0", "Reverb", "Warm"},
        {"KELVIDROMEPRESET3.0", "Reverb", "Warm", "Mix - 1"},
        {"kelvidromepreset2.0", "Reverb", "Warm", "Mix - 1"},
        {"KELVIDROMEPRESET2.0", "Reverb", "Warm", "[Empty]", "[..]"},
    };
    for (const auto& lines : files) {
        Import(lines);
        EXPECT_TRUE(TakeSnapshot("Software\\Vantor").empty()) << lines.size() << " lines";
        EXPECT_FALSE(KeyExists(kWarm + "\\Empty"));
    }
    // Without an effect or a preset name the values would land in a key above any preset:
    // such a file is reported and stores nothing.
    const std::string path = ScratchFolder("import") + "/unnamed.kvp";
    for (const auto& names : {std::vector<std::string>{"", "Warm"}, {"Reverb", ""}, {"", ""}}) {
        WriteFileBytes(path,
                       TextLines({kMagicVersion2, names[0], names[1], "Mix - 1", "[S]", "In - 2"}));
        EXPECT_EQ(StoreReport::FileState::kNoPresetName, store.ImportPresetFile(path.c_str()).file);
        EXPECT_TRUE(TakeSnapshot("Software\\Vantor").empty()) << names[0] << "\\" << names[1];
        WriteFileBytes(path, TextLines({kMagicVersion1, names[0], names[1], "Mix - 1"}));
        EXPECT_EQ(StoreReport::FileState::kNoPresetName, store.ImportPresetFile(path.c_str()).file);
        EXPECT_TRUE(TakeSnapshot("Software\\Vantor").empty()) << names[0] << "\\" << names[1];
    }
    store.ImportPresetFile((ScratchFolder("import") + "/missing.kvp").c_str());
    EXPECT_EQ(nullptr, store.m_presetFile);
    EXPECT_TRUE(TakeSnapshot("Software\\Vantor").empty());
}

TEST_F(ImportTest, MagicLineMayCarryMoreTextAndVersion1WinsOverVersion2) {
    Import({"KELVIDROMEPRESET2.0 written by hand", "Reverb", "Warm", "%S - v2"});
    EXPECT_EQ("string " + Sz("v2"), ValueText(kWarm, "S"));
    Import({"KELVIDROMEPRESET1.0", "Reverb", "Warm", "%S - 1"});
    EXPECT_EQ("dword 1", ValueText(kWarm, "%S"));
}

TEST_F(ImportTest, ImportAddsButNeverRemoves) {
    SetDwordValue(kWarm, "Old", 1);
    SetDwordValue(kWarm + "\\Keep", "K", 2);
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Old - 5", "New - 6"});
    const Snapshot once = TakeSnapshot(kRoot);
    Import({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Old - 5", "New - 6"});
    EXPECT_EQ(once, TakeSnapshot(kRoot));
    EXPECT_EQ("dword 5", ValueText(kWarm, "Old"));
    EXPECT_EQ("dword 2", ValueText(kWarm + "\\Keep", "K"));
}

TEST_F(ImportTest, ReadersAnswerWhetherTheFirstLineIsTheirs) {
    const std::string path = ScratchFolder("import") + "/reader.kvp";
    WriteFileBytes(path, TextLines({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "A - 1"}));
    store.m_presetFile = std::fopen(path.c_str(), "r");
    ASSERT_NE(nullptr, store.m_presetFile);
    EXPECT_FALSE(store.ReadVersion1());
    EXPECT_TRUE(TakeSnapshot("Software\\Vantor").empty());
    std::rewind(store.m_presetFile);
    EXPECT_TRUE(store.ReadVersion2());
    std::fclose(store.m_presetFile);
    store.m_presetFile = nullptr;
    EXPECT_EQ("dword 1", ValueText(kWarm, "A"));
}

// Random preset trees whose names and strings hold blanks, percent signs and bytes above
// 127, with DWORDs 0 and 4294967295 among the values, survive export, delete and import.
class RoundTripTest : public ImportTest {
protected:
    std::string RandomText(std::mt19937& rng, size_t maxLength, bool hyphenAllowed) {
        static const std::string kAlphabet = std::string("abcXYZ 09%_.,") + "\xe9\xdc\xdf\xf1";
        std::uniform_int_distribution<size_t> length(1, maxLength);
        std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
        std::string text;
        for (size_t n = length(rng); text.size() < n;)
            text += kAlphabet[pick(rng)];
        if (hyphenAllowed && rng() % 3 == 0)
            text += "-x";
        return text;
    }
    void Fill(std::mt19937& rng, const std::string& path, int depth, int& counter) {
        const int values = static_cast<int>(rng() % 5);
        for (int i = 0; i < values; ++i) {
            // A unique leading letter keeps names distinct without regard to case.
            std::string name = "v" + std::to_string(counter++) + RandomText(rng, 12, false);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            switch (rng() % 4) {
            case 0:
                SetDwordValue(path, name, rng() % 2 ? 0u : 4294967295u);
                break;
            case 1:
                SetDwordValue(path, name, static_cast<DWORD>(rng()));
                break;
            default:
                SetStringValue(path, name, RandomText(rng, 40, true));
            }
        }
        if (depth == 3)
            return;
        const int subkeys = static_cast<int>(rng() % 4);
        for (int i = 0; i < subkeys; ++i)
            Fill(rng, path + "\\k" + std::to_string(counter++) + RandomText(rng, 10, true),
                 depth + 1, counter);
    }
};

TEST_F(RoundTripTest, ExportDeleteImportRestoresEveryKeyThatHoldsValues) {
    const std::string folder = ScratchFolder("roundtrip");
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        const std::string preset = "P " + std::to_string(seed) + " %s \xe9";
        const std::string key = kRoot + "\\FX %d \xdc\\" + preset;
        int counter = 0;
        SetDwordValue(key, "anchor", seed);
        Fill(rng, key, 0, counter);
        const Snapshot before = TakeSnapshot(kRoot);
        const std::string path = folder + "/" + std::to_string(seed) + ".kvp";
        store.ExportPreset("FX %d \xdc", preset.c_str(), path.c_str());
        store.DeletePreset("FX %d \xdc", preset.c_str());
        ASSERT_FALSE(KeyExists(key)) << "seed " << seed;
        store.ImportPresetFile(path.c_str());
        EXPECT_EQ(before, TakeSnapshot(kRoot)) << "seed " << seed;
        WipeKey(kRoot);
    }
}

} // namespace

namespace {

// Values and subkeys whose lines a reader would take for something else. The export leaves out
// what would move the reader to another key, writes the rest as it is, and reports both;
// import then restores everything else exactly.
TEST_F(ImportTest, ExportReportsWhatAPresetFileCannotHoldAndImportKeepsTheRest) {
    SetDwordValue(kWarm, "X", 1);
    SetDwordValue(kWarm, "Mix", 40);
    SetStringValue(kWarm, "Break", "first\nX - 7");
    SetStringValue(kWarm, "Bracket", "a [b]");
    SetStringValue(kWarm, "Pre-delay", "5");
    SetDwordValue(kWarm, "%Pct", 4);
    SetDwordValue(kWarm + "\\..", "Mix", 99);
    SetDwordValue(kWarm + "\\..\\Deeper", "Mix", 98);
    SetDwordValue(kWarm + "\\a[1]", "In", 2);
    SetDwordValue(kWarm + "\\Tail", "T", 3);
    const std::string path = ScratchFolder("import") + "/problems.kvp";
    const StoreReport exported = store.ExportPreset("Reverb", "Warm", path.c_str());
    EXPECT_EQ(StoreReport::FileState::kDone, exported.file);
    // In the registry's order of values, which differs between registries.
    std::set<std::string> problems;
    for (const StoreReport::KeyProblem& entry : exported.problems)
        problems.insert(entry.key + ": " + entry.problem);
    const std::set<std::string> expected = {
        {kWarm + ": value \"Break\" holds a line break and is left out"},
        {kWarm + ": value \"Bracket\" holds a \"[\" and is left out"},
        {kWarm +
         ": value \"Pre-delay\" has a hyphen in its name and reads back under another name"},
        {kWarm + ": value \"%Pct\" is a DWORD whose name starts with \"%\" and reads back as a "
                 "string"},
        {kWarm + "\\..: reads back as another key and is left out"},
        {kWarm + "\\a[1]: holds brackets and reads back without them"},
    };
    EXPECT_EQ(expected, problems);
    const std::string text = ReadFileBytes(path);
    EXPECT_EQ(std::string::npos, text.find("first"));
    EXPECT_EQ(std::string::npos, text.find("[..]" + std::string(kEol) + "Mix - 99"));

    store.DeletePreset("Reverb", "Warm");
    EXPECT_TRUE(store.ImportPresetFile(path.c_str()).Complete());
    EXPECT_EQ("dword 1", ValueText(kWarm, "X"));
    EXPECT_EQ("dword 40", ValueText(kWarm, "Mix"));
    EXPECT_EQ("missing", ValueText(kWarm, "Break"));
    EXPECT_EQ("missing", ValueText(kWarm, "Bracket"));
    EXPECT_EQ("dword 2", ValueText(kWarm + "\\a1", "In"));
    EXPECT_EQ("dword 3", ValueText(kWarm + "\\Tail", "T"));
    EXPECT_FALSE(KeyExists(kWarm + "\\.."));
}

// A string may hold a 0x1A byte, which ends a text-mode stream: the import reads past it.
TEST_F(ImportTest, StringWithByte1AComesBackWhole) {
    const std::string text = std::string("before\x1a") + "after";
    SetStringValue(kWarm, "Ctrl Z", text);
    SetDwordValue(kWarm, "Later", 8);
    const std::string path = ScratchFolder("import") + "/ctrlz.kvp";
    EXPECT_TRUE(store.ExportPreset("Reverb", "Warm", path.c_str()).Complete());
    store.DeletePreset("Reverb", "Warm");
    EXPECT_TRUE(store.ImportPresetFile(path.c_str()).Complete());
    EXPECT_EQ("string " + Sz(text), ValueText(kWarm, "Ctrl Z"));
    EXPECT_EQ("dword 8", ValueText(kWarm, "Later"));
}

TEST_F(ImportTest, ImportReportsTheFileAndEveryKeyItCouldNotStoreInto) {
    const std::string folder = ScratchFolder("import");
    EXPECT_EQ(StoreReport::FileState::kCannotOpen,
              store.ImportPresetFile((folder + "/missing.kvp").c_str()).file);
    WriteFileBytes(folder + "/notes.txt", TextLines({"shopping list"}));
    EXPECT_EQ(StoreReport::FileState::kNotPresetFile,
              store.ImportPresetFile((folder + "/notes.txt").c_str()).file);

    // A preset name longer than a key name may be: its key can be neither opened nor created.
    const std::string preset(300, 'p');
    WriteFileBytes(folder + "/long.kvp", TextLines({"KELVIDROMEPRESET2.0", "Reverb", preset,
                                                    "A - 1", "B - 2", "[S]", "C - 3"}));
    const StoreReport report = store.ImportPresetFile((folder + "/long.kvp").c_str());
    EXPECT_EQ(StoreReport::FileState::kDone, report.file);
    const std::string key = kRoot + "\\Reverb\\" + preset;
    EXPECT_EQ((std::vector<StoreReport::KeyProblem>{{key, "cannot be stored"},
                                                    {key + "\\S", "cannot be stored"}}),
              report.problems);
}

} // namespace
