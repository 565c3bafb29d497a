// The preset file's lines without a registry: reading lines as a text-mode stream would, the
// two versions' rules, value lines, section lines, and what the writer's lines read back as.
#include "preset_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace preset_file;

namespace {

// The lines ReadLine gives for these bytes.
std::vector<std::string> LinesOf(const std::string& bytes) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    std::vector<std::string> lines;
    for (std::string line; ReadLine(file, line);)
        lines.push_back(line);
    std::fclose(file);
    return lines;
}

TEST(PresetFileTest, LinesReadAsATextModeStreamGivesThemButPast1A) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Lines{}, LinesOf(""));
    EXPECT_EQ((Lines{"a", "b"}), LinesOf("a\r\nb\n"));
    EXPECT_EQ((Lines{"last"}), LinesOf("last"));
    EXPECT_EQ((Lines{"a\rb", "c\r", ""}), LinesOf("a\rb\r\nc\r\r\n\n"));
    EXPECT_EQ((Lines{"x\x1ay", "z"}), LinesOf("x\x1ay\r\nz\r\n"));
    // A 0x1A alone on the last line is an end-of-file mark; anywhere else it is data.
    EXPECT_EQ((Lines{"a"}), LinesOf("a\r\n\x1a"));
    EXPECT_EQ((Lines{"a"}), LinesOf("a\r\n\x1a\r\n"));
    EXPECT_EQ((Lines{"a", "\x1a", "b"}), LinesOf("a\r\n\x1a\r\nb"));
    EXPECT_EQ((Lines{"a\x1a"}), LinesOf("a\x1a"));
    EXPECT_EQ((Lines{"a", "\x1a\x1a"}), LinesOf("a\r\n\x1a\x1a"));
    // Whole, whatever its length: the earlier readers' pieces of 1999 characters cut none.
    const std::string long1998(1998, 'a');
    EXPECT_EQ((Lines{long1998}), LinesOf(long1998 + "\r\n"));
    const std::string long2000(2000, 'b');
    EXPECT_EQ((Lines{long2000}), LinesOf(long2000 + "\r\n"));
    EXPECT_EQ((Lines{long2000, "c"}), LinesOf(long2000 + "\r\nc"));
    EXPECT_EQ((Lines{long2000.substr(0, 1999)}), LinesOf(long2000.substr(0, 1999) + "\r\n"));
    EXPECT_EQ((Lines{long1998 + "\rx"}), LinesOf(long1998 + "\rx"));
    const std::string long70000(70000, 'd');
    EXPECT_EQ((Lines{long70000, "e"}), LinesOf(long70000 + "\r\ne"));
    EXPECT_EQ((Lines{"a", "c"}), LinesOf(std::string("a\0b\nc\n", 6)));
}

TEST(PresetFileTest, MagicLinesPickTheVersion) {
    EXPECT_EQ(&kVersion1, VersionOf("KELVIDROMEPRESET1.0"));
    EXPECT_EQ(&kVersion2, VersionOf("KELVIDROMEPRESET2.0 written by hand"));
    EXPECT_EQ(nullptr, VersionOf("kelvidromepreset2.0"));
    EXPECT_EQ(nullptr, VersionOf("KELVIDROMEPRESET2"));
    EXPECT_EQ(nullptr, VersionOf(""));
}

TEST(PresetFileTest, ValueLinesSplitAroundTheFirstHyphen) {
    struct Case {
        const char* line;
        const VersionRules& rules;
        bool isString;
        const char* name;
        const char* text;
        uint32_t number;
    } cases[] = {
        {"Mix - 40", kVersion2, false, "Mix", "", 40},
        {"Mix-40", kVersion2, false, "Mi", "", 0},
        {"%Str - a-b % c", kVersion2, true, "Str", "a-b % c", 0},
        {"% - dflt", kVersion2, true, "", "dflt", 0},
        {"%Pct - 4", kVersion1, false, "%Pct", "", 4},
        {"nohyphen", kVersion2, false, "", "", 0},
        {"", kVersion2, false, "", "", 0},
        {"Name-with - 5", kVersion2, false, "Nam", "", 0},
        {"  Spaced -   17x", kVersion2, false, "  Spaced", "", 17},
        {"Neg - -1", kVersion2, false, "Neg", "", 4294967295u},
        {"Max - 4294967295", kVersion2, false, "Max", "", 4294967295u},
        {"Wrap - 4294967296", kVersion2, false, "Wrap", "", 0},
        {"Plus - +5", kVersion2, false, "Plus", "", 5},
    };
    for (const Case& c : cases) {
        const ValueLine value = ParseValueLine(c.line, c.rules);
        EXPECT_EQ(c.isString, value.isString) << c.line;
        EXPECT_EQ(c.name, value.name) << c.line;
        EXPECT_EQ(c.text, value.text) << c.line;
        EXPECT_EQ(c.number, value.number) << c.line;
    }
}

TEST(PresetFileTest, SectionLinesMoveTheCurrentKeyByTheVersionsRule) {
    const std::string preset = "P";
    std::string path = preset;
    for (const char* line : {"[Taps]", "[Left]", "[..]", "[Ri]ght]"})
        EnterSection(kVersion2, preset, line, path);
    EXPECT_EQ("P\\Taps\\Right", path);
    for (int i = 0; i < 4; ++i)
        EnterSection(kVersion2, preset, "[..]", path);
    EXPECT_EQ("P", path); // never above the preset key
    for (const char* line : {"[Main]", "[Tail]"})
        EnterSection(kVersion1, preset, line, path);
    EXPECT_EQ("P\\Tail", path);
    EXPECT_TRUE(IsSectionLine("%Note - a [b]"));
    EXPECT_FALSE(IsSectionLine("%Note - a ]b"));
}

TEST(PresetFileTest, WrittenLinesReadBackOrNameTheirProblem) {
    struct Case {
        const char* name;
        bool isString;
        const char* text;
        const char* problem; // null: reads back as written
        bool moves;
    } cases[] = {
        {"Mix", false, "", nullptr, false},
        {"", true, "", nullptr, false},
        {"Title", true, "Big hall - 40 % ] \x1a", nullptr, false},
        {"Break", true, "a\nb", "holds a line break and is left out", true},
        {"Br[acket", false, "", "holds a \"[\" and is left out", true},
        {"Note", true, "a [b]", "holds a \"[\" and is left out", true},
        {"Pre-delay", false, "", "has a hyphen in its name and reads back under another name",
         false},
        {"%Pct", false, "", "is a DWORD whose name starts with \"%\" and reads back as a string",
         false},
        {"%Pct", true, "x", nullptr, false},
    };
    for (const Case& c : cases) {
        const char* problem = ValueLineProblem(c.name, c.isString, c.text);
        EXPECT_STREQ(c.problem, problem) << c.name;
        EXPECT_EQ(c.moves, ValueLineMovesTheReader(c.name, c.text)) << c.name;
        if (problem != nullptr)
            continue;
        const std::string line =
            c.isString ? StringValueLine(c.name, c.text) : DwordValueLine(c.name, 4294967295u);
        EXPECT_FALSE(IsSectionLine(line)) << line;
        const ValueLine value = ParseValueLine(line, kVersion2);
        EXPECT_EQ(c.isString, value.isString) << line;
        EXPECT_EQ(c.name, value.name) << line;
        EXPECT_EQ(c.isString ? c.text : "", value.text) << line;
        EXPECT_EQ(c.isString ? 0u : 4294967295u, value.number) << line;
    }
    EXPECT_EQ("Zero - 0", DwordValueLine("Zero", 0));

    EXPECT_EQ(nullptr, SubkeyNameProblem("Taps"));
    EXPECT_STREQ("holds brackets and reads back without them", SubkeyNameProblem("a[1]"));
    for (const char* name : {"..", "[..]", "[]", "a\nb"}) {
        EXPECT_TRUE(SubkeyLineMovesTheReader(name)) << name;
        EXPECT_STREQ("reads back as another key and is left out", SubkeyNameProblem(name));
    }
    EXPECT_EQ("[Taps]", SubkeyLine("Taps"));
}

} // namespace
