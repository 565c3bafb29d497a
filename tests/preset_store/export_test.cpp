// Preset file export, on the real registry under Wine and on the in-process one natively.
#include "scratch_registry.h"
#include "test_store.h"

#include <cstdio>
#include <ctime>
#include <string>

using namespace test_support;

namespace {

const std::string kWarm = PresetKeyPath("Reverb", "Warm");
// The longest value name and string that the export's buffers once held, and one more.
constexpr size_t kLongest = kNameBufferChars - 1;
constexpr size_t kTooLong = kNameBufferChars;
// The longest line the import reads whole, without its line end.
constexpr size_t kLongestLine = preset_file::kLineBufferBytes - 2;
#ifdef _WIN32
constexpr size_t kWineMaxKeyPath = 260;
#endif

class ExportTest : public ScratchRegistry {
protected:
    std::string Export(const char* effect, const char* preset) {
        const std::string path = ScratchFolder("export") + "/out.kvp";
        report = store.ExportPreset(effect, preset, path.c_str());
        EXPECT_EQ(StoreReport::FileState::kDone, report.file);
        EXPECT_EQ(nullptr, store.m_presetFile);
        return ReadFileBytes(path);
    }
    // The report's problems as "key: problem" lines, keys below the preset Reverb\Warm.
    std::vector<std::string> Problems() const {
        std::vector<std::string> lines;
        for (const StoreReport::KeyProblem& entry : report.problems)
            lines.push_back((entry.key.compare(0, kWarm.size(), kWarm) == 0
                                 ? entry.key.substr(kWarm.size())
                                 : entry.key) +
                            ": " + entry.problem);
        return lines;
    }
    TestStore store;
    StoreReport report;
};

TEST_F(ExportTest, WritesTheWarmReverbExampleByteForByte) {
    SetDwordValue(kWarm, "Mix", 40);
    SetStringValue(kWarm, "Title", "Big hall");
    SetDwordValue(kWarm + "\\Taps", "Count", 3);
    CreateKey(kWarm + "\\Filter");

    // Subkeys are listed in the registry's order, which is Filter before Taps here; the
    // example lists Taps first, so only the order of the two blocks differs.
    const std::string text = Export("Reverb", "Warm");
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Mix - 40", "%Title - Big hall",
                         "[Filter]", "[..]", "Mix - 40", "%Title - Big hall", "[Taps]", "Count - 3",
                         "[..]", "Mix - 40", "%Title - Big hall"}),
              text);
    EXPECT_TRUE(report.Complete());
}

TEST_F(ExportTest, MissingOrEmptyPresetGivesTheHeaderOnlyAndCreatesTheKey) {
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "Echo", "New"}), Export("Echo", "New"));
    EXPECT_TRUE(KeyExists(std::string(kEffectsRoot) + "\\Echo\\New"));
    EXPECT_TRUE(report.Complete());
}

TEST_F(ExportTest, ValueKindsAndLimits) {
    SetDwordValue(kWarm, "Zero", 0);
    SetDwordValue(kWarm, "Max", 4294967295u);
    SetDwordValue(kWarm, "", 7);
    SetStringValue(kWarm, "", "default");
    SetRaw(kWarm, "Blob", REG_BINARY, "\x01\x02");
    SetRaw(kWarm, "Expand", REG_EXPAND_SZ, std::string("%PATH%\0", 7));
    SetRaw(kWarm, "Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
    SetStringValue(kWarm, "Long", std::string(kLongest, 'L'));
    SetStringValue(kWarm, "After", "still listed");
    SetRaw(kWarm, "Short", REG_DWORD, "\x05"); // only the stored byte counts
    const std::string text = Export("Reverb", "Warm");
    // Two values of the empty name cannot coexist: the string replaced the DWORD.
    EXPECT_NE(std::string::npos, text.find(std::string(kEol) + "Zero - 0" + kEol));
    EXPECT_NE(std::string::npos, text.find(std::string(kEol) + "Max - 4294967295" + kEol));
    EXPECT_NE(std::string::npos, text.find(std::string(kEol) + "% - default" + kEol));
    EXPECT_NE(std::string::npos, text.find("%Long - " + std::string(kLongest, 'L') + kEol));
    EXPECT_NE(std::string::npos, text.find("%After - still listed"));
    EXPECT_NE(std::string::npos, text.find(std::string(kEol) + "Short - 5" + kEol));
    EXPECT_EQ(std::string::npos, text.find("Blob"));
    EXPECT_EQ(std::string::npos, text.find("Expand"));
    EXPECT_EQ(std::string::npos, text.find("PATH"));
    EXPECT_EQ(std::string::npos, text.find("Multi"));
    EXPECT_EQ(std::string::npos, text.find("two"));
    const std::string leftOut = "has a type that a preset file cannot hold and is left out";
    EXPECT_EQ(
        (std::vector<std::string>{": value \"Blob\" " + leftOut, ": value \"Expand\" " + leftOut,
                                  ": value \"Multi\" " + leftOut}),
        Problems());
}

// Every value whose line the import takes back whole is written, however long; one that does
// not fit is left out alone and reported, and the listing goes on with the next value.
TEST_F(ExportTest, ValuesAsLongAsAnImportedLineAreWrittenAndOnlyLongerOnesLeftOut) {
    // Named so that both registries list them in this order.
    const std::string longName(kTooLong, 'c');
    SetStringValue(kWarm, "A", std::string(300, 'a'));
    SetDwordValue(kWarm, "B", 7);
    SetDwordValue(kWarm, longName, 3);
    SetStringValue(kWarm, "D", std::string(kLongestLine - 5, 'd')); // "%D - " and the text
    SetStringValue(kWarm, "E", std::string(kLongestLine - 4, 'e'));
    SetStringValue(kWarm, "F", std::string(3000, 'f'));
    SetDwordValue(kWarm, "G", 9);
    SetDwordValue(kWarm + "\\Sub", "Inner", 1);
    const Snapshot before = TakeSnapshot(kWarm);
    const std::vector<std::string> values = {"%A - " + std::string(300, 'a'), "B - 7",
                                             longName + " - 3",
                                             "%D - " + std::string(kLongestLine - 5, 'd'), "G - 9"};
    std::vector<std::string> lines = {"KELVIDROMEPRESET2.0", "Reverb", "Warm"};
    lines.insert(lines.end(), values.begin(), values.end());
    lines.insert(lines.end(), {"[Sub]", "Inner - 1", "[..]"});
    lines.insert(lines.end(), values.begin(), values.end());
    const std::string path = ScratchFolder("long") + "/out.kvp";
    report = store.ExportPreset("Reverb", "Warm", path.c_str());
    EXPECT_EQ(TextLines(lines), ReadFileBytes(path));
    EXPECT_EQ((std::vector<std::string>{
                  ": value \"E\" is too long for a preset file line and is left out",
                  ": holds a value too long for a preset file; it is left out"}),
              Problems());

    // What was written comes back whole.
    store.DeletePreset("Reverb", "Warm");
    EXPECT_TRUE(store.ImportPresetFile(path.c_str()).Complete());
    Snapshot expected = before;
    expected[kWarm].erase("E");
    expected[kWarm].erase("F");
    EXPECT_EQ(expected, TakeSnapshot(kWarm));
}

TEST_F(ExportTest, StringWithoutTerminatorIsWrittenWithExactlyItsBytes) {
    // The longer value before it leaves its bytes in the data buffer.
    SetStringValue(kWarm, "A", "0123456789");
    SetRaw(kWarm, "Raw", REG_SZ, "abcdef");
    EXPECT_EQ(
        TextLines({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "%A - 0123456789", "%Raw - abcdef"}),
        Export("Reverb", "Warm"));
    EXPECT_TRUE(report.Complete());
}

TEST_F(ExportTest, NestedSubkeysReturnToThePresetKey) {
    SetDwordValue(kWarm + "\\A\\B\\C", "Deep", 3);
    SetDwordValue(kWarm, "Top", 1);
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "Reverb", "Warm", "Top - 1", "[A]", "[B]", "[C]",
                         "Deep - 3", "[..]", "[..]", "[..]", "Top - 1"}),
              Export("Reverb", "Warm"));
    EXPECT_TRUE(report.Complete());
}

TEST_F(ExportTest, WalkStopsTwoHundredLevelsBelowThePresetAndStaysBalanced) {
    // Built one level at a time: the path of the deepest key is longer than some registries
    // accept in one call.
    HKEY key = CreateChain(kWarm, "k", 205);
    const DWORD one = 1;
    RegSetValueExA(key, "Bottom", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegCloseKey(key);
    SetDwordValue(kWarm + "\\k\\k", "Two", 2);

    const std::string text = Export("Reverb", "Warm");
    size_t opens = 0;
    size_t returns = 0;
    for (size_t at = 0; (at = text.find("[k]", at)) != std::string::npos; ++at)
        ++opens;
    for (size_t at = 0; (at = text.find("[..]", at)) != std::string::npos; ++at)
        ++returns;
    EXPECT_EQ(opens, returns);
    EXPECT_EQ(std::string::npos, text.find("Bottom"));
    EXPECT_NE(std::string::npos, text.find("Two - 2"));
    std::string deepest; // below the preset key
#ifdef _WIN32
    // Wine's registry takes key paths of at most 260 characters in its ANSI calls (a longer one
    // fails with ERROR_MORE_DATA), while a tree built level by level has no such limit. Below
    // this preset that is level 106; the walk writes the line of level 107, cannot open it,
    // reports it and returns, still balanced.
    const size_t reachable = (kWineMaxKeyPath - kWarm.size()) / 2;
    EXPECT_EQ(106u, reachable);
    EXPECT_EQ(reachable + 1, opens);
    for (size_t level = 0; level <= reachable; ++level)
        deepest += "\\k";
    EXPECT_EQ(kWineMaxKeyPath + 1, kWarm.size() + deepest.size());
    EXPECT_EQ(std::vector<std::string>{deepest + ": cannot be opened"}, Problems());
#else
    EXPECT_EQ(200u, opens);
    for (int level = 0; level < 200; ++level)
        deepest += "\\k";
    EXPECT_EQ(std::vector<std::string>{deepest +
                                       ": has subkeys more than 200 levels below the preset; they "
                                       "are left out"},
              Problems());
#endif
}

TEST_F(ExportTest, PresetKeyThatCanBeNeitherOpenedNorCreatedEndsAtOnce) {
    // A key name longer than the registry allows: no handle, every listing fails.
    const std::string name(300, 'n');
    const std::string text = Export("Reverb", name.c_str());
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "Reverb", name}), text);
    EXPECT_EQ(std::vector<std::string>{std::string(kEffectsRoot) + "\\Reverb\\" + name +
                                       ": cannot be opened"},
              Problems());
}

TEST_F(ExportTest, UnwritableFileTouchesNoKey) {
    const std::string path = ScratchFolder("export") + "/no such folder/out.kvp";
    EXPECT_EQ(StoreReport::FileState::kCannotOpen,
              store.ExportPreset("Reverb", "Warm", path.c_str()).file);
    EXPECT_EQ(nullptr, store.m_presetFile);
    EXPECT_FALSE(KeyExists(std::string(kEffectsRoot)));

    // A write that fails once the file is open, on a device that is always full, is
    // reported. (Wine's C runtime takes a character device for a console and reports nothing.)
#ifndef _WIN32
    SetStringValue(kWarm, "Title", "Big hall");
    EXPECT_EQ(StoreReport::FileState::kStreamError,
              store.ExportPreset("Reverb", "Warm", "/dev/full").file);
    EXPECT_EQ(nullptr, store.m_presetFile);
#endif
}

TEST_F(ExportTest, OutputNameReplacesWhatAFileNameCannotHold) {
    const std::string folder = ScratchFolder("names");
    EXPECT_EQ(folder + "\\.._.._x - a_b_c_d_e_f_g_h_i_j_k.kvp",
              store.OutputName(folder.c_str(), "../../x", "a\\b/c:d*e?f\"g<h>i|j\tk"));
    EXPECT_EQ(folder + "\\.. - %s [1] \xe9.kvp",
              store.OutputName(folder.c_str(), "..", "%s [1] \xe9"));
}

TEST_F(ExportTest, OutputNameIsPlainUntilThatFileExists) {
    const std::string folder = ScratchFolder("names");
    // Natively the backslash is part of a file name beside the folder, not inside it.
    std::remove((folder + "\\Reverb - Hall.kvp").c_str());
    const std::string plain = store.OutputName(folder.c_str(), "Reverb", "Hall");
    EXPECT_EQ(folder + "\\Reverb - Hall.kvp", plain);
    EXPECT_EQ(nullptr, store.m_presetFile);
    // The folder browser gives a drive's root with its separator.
    EXPECT_EQ("Q:\\Reverb - Hall.kvp", store.OutputName("Q:\\", "Reverb", "Hall"));
    // So does a folder given with its last separator, as a user types one.
    EXPECT_EQ("Q:\\Backup\\Reverb - Hall.kvp", store.OutputName("Q:\\Backup\\", "Reverb", "Hall"));
    EXPECT_EQ("Q:\\Backup/Reverb - Hall.kvp", store.OutputName("Q:\\Backup/", "Reverb", "Hall"));
    WriteFileBytes(plain, "x");
    // The local time read before and after, field by field: day, month, year, hour, minute.
    auto name = [&](std::time_t when) {
        const std::tm t = *std::localtime(&when);
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "%02d-%02d-%02d %02d-%02d", t.tm_mday, t.tm_mon + 1,
                      t.tm_year % 100, t.tm_hour, t.tm_min);
        return folder + "\\Reverb - Hall - " + stamp + ".kvp";
    };
    const std::time_t before = std::time(nullptr);
    const std::string stamped = store.OutputName(folder.c_str(), "Reverb", "Hall");
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(nullptr, store.m_presetFile);
    EXPECT_TRUE(stamped == name(before) || stamped == name(after)) << stamped;

    // While the stamped name exists too, a counter from 2 on keeps the names apart (tried
    // again when the minute turns in between).
    std::vector<std::string> written = {plain};
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string base = name(std::time(nullptr));
        const std::string counted = base.substr(0, base.size() - 4) + " (";
        std::vector<std::string> names;
        for (int i = 0; i < 3; ++i) {
            names.push_back(store.OutputName(folder.c_str(), "Reverb", "Hall"));
            WriteFileBytes(names.back(), "x");
            written.push_back(names.back());
        }
        if (name(std::time(nullptr)) != base)
            continue;
        EXPECT_EQ((std::vector<std::string>{base, counted + "2).kvp", counted + "3).kvp"}), names);
        break;
    }
    for (const std::string& file : written)
        std::remove(file.c_str());
}

} // namespace

namespace {

// A tree of a shape the other cases do not have: one key with many values, a chain of thirty
// levels with values at each and a leaf beside every level. Each key's values come again after
// every one of its subkeys, and an export of what an import made has the same bytes.
class ExportWalkTest : public ExportTest {
protected:
    // The lines the file holds for the key at path: its values, then each subkey's section,
    // its return line and the values again.
    void Expect(const std::string& path, int level, std::vector<std::string>& lines) {
        std::vector<std::string> values;
        for (int v = 0; v < (level == 0 ? 300 : 3); ++v) {
            // Of one length: registries list values in the order set or sorted by name.
            char name[16];
            std::snprintf(name, sizeof name, "v%03d", v);
            values.push_back(name + (" - " + std::to_string(level * 1000 + v)));
            SetDwordValue(path, name, static_cast<DWORD>(level * 1000 + v));
        }
        lines.insert(lines.end(), values.begin(), values.end());
        if (level == 30)
            return;
        for (const char* subkey : {"d", "leaf"}) {
            lines.push_back(std::string("[") + subkey + "]");
            if (subkey[0] == 'd') {
                Expect(path + "\\d", level + 1, lines);
            } else {
                SetStringValue(path + "\\leaf", "s", "at " + std::to_string(level));
                lines.push_back("%s - at " + std::to_string(level));
            }
            lines.push_back("[..]");
            lines.insert(lines.end(), values.begin(), values.end());
        }
    }
};

TEST_F(ExportWalkTest, DeepChainAndAKeyOfManyValuesComeBackByteForByte) {
    std::vector<std::string> lines = {"KELVIDROMEPRESET2.0", "Reverb", "Warm"};
    Expect(kWarm, 0, lines);
    const std::string text = Export("Reverb", "Warm");
    EXPECT_EQ(TextLines(lines), text);
    EXPECT_TRUE(report.Complete());

    const Snapshot before = TakeSnapshot(kWarm);
    const std::string path = ScratchFolder("walk") + "/first.kvp";
    WriteFileBytes(path, text);
    EXPECT_TRUE(store.DeletePreset("Reverb", "Warm"));
    EXPECT_FALSE(KeyExists(kWarm));
    EXPECT_TRUE(store.ImportPresetFile(path.c_str()).Complete());
    EXPECT_EQ(before, TakeSnapshot(kWarm));
    EXPECT_EQ(text, Export("Reverb", "Warm"));
}

} // namespace
