#include "file_pattern.h"

#include <gtest/gtest.h>

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

} // namespace
