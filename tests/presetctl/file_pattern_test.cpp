#include "file_pattern.h"

#include "double_byte.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* pattern;
    const char* name;
    bool matches;
};

TEST(FilePattern, MatchesTheLongNameOnly) {
    const Case cases[] = {
        {"*.kvp", "Echo - Slap.kvp", true},
        {"*.kvp", "ECHO.KVP", true}, // either case
        {"*.kvp", "a.kvpx", false},  // found through its short alias A~1.KVP
        {"*.kvp", "a.kvp.bak", false},
        {"*.kvp", ".kvp", true},
        {"Echo*", "Echo - A.kvp", true},
        {"Echo*", "Reverb.kvp", false},
        {"E?ho*.kvp", "Echo - A.kvp", true},
        {"E?ho*.kvp", "Eho.kvp", false}, // ? takes exactly one character
        {"*a*b*", "xxaxxbxx", true},     // a star backs up past a false start
        {"*ab", "aab", true},
        {"*ab", "aba", false},
        {"*.*", "README", true}, // "*.*" takes every name
        {"Echo.*", "Echo", true},
        {"Echo.*", "Echo.kvp", true},
        {"Echo.*", "Echoes", false},
        {"*", "", true},
        {"?", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, MatchesFilePattern(c.pattern, c.name))
            << "\"" << c.pattern << "\" against \"" << c.name << "\"";
}

// "?" takes one character, a double-byte one whole; a trail byte matches only itself.
TEST(FilePattern, DoubleByteCharactersAreOneCharacterEach) {
    double_byte::SystemCodePage codePage;
    DOUBLE_BYTE_ONLY(codePage);
    const double_byte::Texts& t = codePage.texts();
    const std::string table = t.backslashTrail;
    EXPECT_TRUE(MatchesFilePattern((table + "*.kvp").c_str(), (table + " - x.kvp").c_str()));
    EXPECT_TRUE(MatchesFilePattern("?.kvp", (table + ".kvp").c_str()));
    EXPECT_FALSE(MatchesFilePattern("??.kvp", (table + ".kvp").c_str()));
    EXPECT_FALSE(MatchesFilePattern((std::string(t.upperTrail) + ".kvp").c_str(),
                                    (std::string(t.lowerTrail) + ".kvp").c_str()));
    EXPECT_TRUE(MatchesFilePattern("*a", (table + "A").c_str()));
}

} // namespace
