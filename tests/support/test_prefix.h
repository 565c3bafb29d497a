// Test programs that wipe the product's registry tree run only in a Wine prefix that a test run
// created: `cmake/wine-run --test` makes such a prefix and leaves this mark in it. Anywhere else
// (a prefix named by hand, where someone's real presets may live, or Windows itself) they stop
// before they change anything.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace test_prefix {

constexpr const char* kMark = "C:\\trellisan-test-prefix.txt";

inline bool IsTestPrefix() {
    const DWORD attributes = ::GetFileAttributesA(kMark);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Ends the program with status 3 unless it runs in a prefix made by the test run.
inline void RequireTestPrefix() {
    if (IsTestPrefix())
        return;
    std::fprintf(stderr,
                 "%s is missing: this Wine prefix was not made by the test run (cmake/wine-run "
                 "--test), so its presets are left alone and the test stops here\n",
                 kMark);
    std::fflush(stderr);
    std::_Exit(3);
}

} // namespace test_prefix
#endif
