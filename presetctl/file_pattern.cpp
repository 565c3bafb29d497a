#include "file_pattern.h"

#include "system_chars.h"

#include <cctype>
#include <cstring>

namespace {

// The bytes of the character at text, before end (one, or two for a double-byte character).
size_t Step(const char* text, const char* end) {
    return CharBytes(text, static_cast<size_t>(end - text), 0, SystemLeadByte);
}

size_t Step(const char* text) {
    return Step(text, text + (text[0] == '\0' ? 1 : 2));
}

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Whether the characters at pattern and name are the same: single-byte letters of either
// case alike, a double-byte character only itself.
bool SameChar(const char* pattern, const char* patternEnd, const char* name) {
    const size_t bytes = Step(name);
    if (Step(pattern, patternEnd) != bytes)
        return false;
    return bytes == 1 ? SameLetter(*pattern, *name) : std::memcmp(pattern, name, 2) == 0;
}

// Glob matching by character with one remembered star: on a mismatch, the last star takes one
// more character and the match goes on from there.
bool Matches(const char* pattern, const char* patternEnd, const char* name) {
    const char* star = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (pattern != patternEnd && (*pattern == '?' || SameChar(pattern, patternEnd, name))) {
            pattern += *pattern == '?' ? 1 : Step(pattern, patternEnd);
            name += Step(name);
        } else if (pattern != patternEnd && *pattern == '*') {
            star = pattern++;
            starName = name;
        } else if (star != nullptr) {
            pattern = star + 1;
            starName += Step(starName);
            name = starName;
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
