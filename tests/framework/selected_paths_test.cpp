// The walk over a multiple-selection file dialog's name buffer.
#include "selected_paths.h"

#include "double_byte.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Walk(const std::string& buffer) {
    SelectedPaths paths(buffer.data(), buffer.size());
    std::vector<std::string> result;
    for (const char* pos = paths.GetStartPosition(); pos != nullptr;)
        result.push_back(paths.GetNextPathName(pos));
    return result;
}

TEST(SelectedPaths, OneFileIsOneFullPath) {
    EXPECT_EQ(Walk(std::string("c:\\presets\\Hall.kvp\0\0", 21)),
              (std::vector<std::string>{"c:\\presets\\Hall.kvp"}));
}

TEST(SelectedPaths, SeveralFilesAreJoinedToTheirFolderInOrder) {
    EXPECT_EQ(Walk(std::string("c:\\presets\0b.kvp\0a.kvp\0c.kvp\0\0", 31)),
              (std::vector<std::string>{"c:\\presets\\b.kvp", "c:\\presets\\a.kvp",
                                        "c:\\presets\\c.kvp"}));
    // A drive's root already ends in a separator.
    EXPECT_EQ(Walk(std::string("c:\\\0a.kvp\0b.kvp\0\0", 17)),
              (std::vector<std::string>{"c:\\a.kvp", "c:\\b.kvp"}));
}

// A folder whose last character is a double-byte one with the trail byte 0x5C (932 機能,
// 950 功) still gets its separator.
TEST(SelectedPaths, AFolderEndingInATrailByte5CGetsItsSeparator) {
    double_byte::SystemCodePage codePage;
    DOUBLE_BYTE_ONLY(codePage);
    const std::string folder = std::string("c:\\p\\") + codePage.texts().backslashTrail;
    EXPECT_EQ(Walk(folder + std::string("\0a.kvp\0b.kvp\0\0", 14)),
              (std::vector<std::string>{folder + "\\a.kvp", folder + "\\b.kvp"}));
}

TEST(SelectedPaths, NothingChosenAndUnterminatedBuffersStayInBounds) {
    EXPECT_TRUE(Walk(std::string(4, '\0')).empty());
    EXPECT_TRUE(Walk(std::string()).empty());
    // No terminator at all: the walk stops at the end of the buffer.
    EXPECT_EQ(Walk("c:\\x"), (std::vector<std::string>{"c:\\x"}));
    EXPECT_EQ(Walk(std::string("c:\\d\0a.kvp\0bb", 13)),
              (std::vector<std::string>{"c:\\d\\a.kvp", "c:\\d\\bb"}));
}

} // namespace
