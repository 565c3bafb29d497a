#include "file_pattern.h"

#include <cctype>
#include <cstring>

namespace {

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Glob matching with one remembered star: on a mismatch, the last star takes one more
// character and the match goes on from there.
bool Matches(const char* pattern, const char* patternEnd, const char* name) {
    const char* star = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (pattern != patternEnd && (*pattern == '?' || SameLetter(*pattern, *name))) {
            ++pattern;
            ++name;
        } else if (pattern != patternEnd && *pattern == '*') {
            star = pattern++;
            starName = name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (pattern != patternEnd && *pattern == '*')
        ++pattern;
    return pattern == patternEnd;
}

} // namespace

bool MatchesFilePattern(const char* pattern, const char* name) {
    const char* end = pattern + std::strlen(pattern);
    if (Matches(pattern, end, name))
        return true;
    const bool anyExtension = end - pattern >= 2 && end[-2] == '.' && end[-1] == '*';
    return anyExtension && std::strchr(name, '.') == nullptr && Matches(pattern, end - 2, name);
}
