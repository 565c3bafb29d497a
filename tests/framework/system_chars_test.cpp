// The system's characters: scans by character with the lead-byte ranges of 932, 936, 949 and
// 950, and byte by byte under a single-byte code page.
#include "double_byte.h"
#include "system_chars.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using double_byte::Lead932;
using double_byte::Lead936949950;

int NoLead(unsigned char) {
    return 0;
}

size_t LastBackslash(const std::string& s, LeadByteTest lead) {
    return FindLastChar(s.data(), s.size(), '\\', lead);
}

TEST(SystemChars, TrailBytesAreNoSingleByteCharacters) {
    struct Case {
        const char* name;
        LeadByteTest lead;
        std::string trail5C; // a character whose trail byte is 0x5C
    };
    const Case cases[] = {{"932", Lead932, "\x95\x5C"},
                          {"936", Lead936949950, "\x81\x5C"},
                          {"949 and 950", Lead936949950, "\xA5\x5C"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "P\\" + c.trail5C + "\\x" + c.trail5C;
        EXPECT_EQ(LastBackslash(path, c.lead), 4u);
        EXPECT_EQ(LastBackslash(c.trail5C, c.lead), 2u); // none
        EXPECT_FALSE(EndsWithChar(path.data(), path.size(), '\\', c.lead));
        EXPECT_TRUE(EndsWithChar((path + "\\").data(), path.size() + 1, '\\', c.lead));
        const std::string line = c.trail5C + "\x81[" + "[";
        EXPECT_EQ(FindChar(line.data(), line.size(), '[', c.lead), 4u);
        EXPECT_EQ(FindChar(line.data(), 4, '[', c.lead), 4u); // only a trail byte "["
        EXPECT_EQ(FindChar(c.trail5C.data(), 2, '[', c.lead), 2u);
        EXPECT_EQ(FindChar(nullptr, 0, '[', c.lead), 0u);
        EXPECT_EQ(FindLastOf(path.data(), path.size(), "/\\", c.lead), 4u);
        // Cuts end before a lead byte whose trail byte would be cut off.
        const std::string text = "ab" + c.trail5C + c.trail5C;
        EXPECT_EQ(CutToChars(text.data(), text.size(), 5, c.lead), 4u);
        EXPECT_EQ(CutToChars(text.data(), text.size(), 4, c.lead), 4u);
        EXPECT_EQ(CutToChars(text.data(), text.size(), 3, c.lead), 2u);
        EXPECT_EQ(CutToChars(text.data(), text.size(), 9, c.lead), 6u);
    }
}

TEST(SystemChars, ALeadByteBeforeTheEndOrABelow0x40IsOneCharacter) {
    const std::string text("a\x95", 2);
    EXPECT_EQ(CharBytes(text.data(), text.size(), 1, Lead932), 1u);
    EXPECT_FALSE(EndsWithChar("x\x95\\", 3, '\\', Lead932));
    EXPECT_EQ(CharBytes("\x95\0x", 3, 0, Lead932), 1u);
    EXPECT_EQ(FindChar("\x95/", 2, '/', Lead932), 1u); // no trail byte: the "/" stays one
    EXPECT_EQ(CharBytes("\x95@", 2, 0, Lead932), 2u);
    EXPECT_EQ(CutToChars(text.data(), text.size(), 2, Lead932), 2u);
}

// 1252's "Caf\xE9" under 932 or 950: a last lead byte, or one before a byte below 0x40, lacks
// its trail byte; under a single-byte code page every text is whole.
TEST(SystemChars, ALeadByteWithoutItsTrailByteLeavesTheTextWithoutAForm) {
    for (LeadByteTest lead : {Lead932, Lead936949950}) {
        EXPECT_FALSE(HasWholeChars("Caf\xE9", 4, lead));
        EXPECT_FALSE(HasWholeChars("\xE9 x", 3, lead));
        EXPECT_FALSE(HasWholeChars("\xE9", 1, lead));
        EXPECT_TRUE(HasWholeChars("Caf\xE9s", 5, lead));
        EXPECT_TRUE(HasWholeChars("\x95\x5C\x95\x5C", 4, lead));
        EXPECT_TRUE(HasWholeChars("", 0, lead));
    }
    EXPECT_TRUE(HasWholeChars("Caf\xE9", 4, NoLead));
}

TEST(SystemChars, SingleByteCodePagesScanEveryByte) {
    const std::string path = "P\\\x95\\";
    EXPECT_EQ(LastBackslash(path, NoLead), 3u);
    EXPECT_TRUE(EndsWithChar(path.data(), path.size(), '\\', NoLead));
    EXPECT_EQ(CutToChars("\x95\x5C\x95", 3, 1, NoLead), 1u);
    EXPECT_EQ(SystemLeadByte(0x95), 0); // natively single-byte unless a test says otherwise
    SetSystemLeadByteTest(Lead932);
    EXPECT_NE(SystemLeadByte(0x95), 0);
    SetSystemLeadByteTest(nullptr);
    EXPECT_EQ(SystemLeadByte(0x95), 0);
}

} // namespace
