// Double-byte code pages in tests. Natively the lead-byte ranges of 932, 936, 949 and 950
// stand in for the system's; under Wine the system's own code page counts, which the test run
// chooses through the locale and names in TEST_CODE_PAGE. The sample texts are characters
// whose trail byte has the value of "\", "[", "|" or a letter, in 932 and in 950.
#pragma once

#include "system_chars.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace double_byte {

inline int Lead932(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
// 936, 949 and 950 share one range.
inline int Lead936949950(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

struct Texts {
    unsigned codePage;
    const char* backslashTrail;      // 932 表, 950 功: "\x95\x5C", "\xA5\x5C"
    const char* otherBackslashTrail; // 932 ソ, 950 許
    const char* bracketTrail;        // 932 ー, 950 加: trail "["
    const char* pipeTrail;           // 932 ポ, 950 四: trail "|"
    const char* upperTrail;          // 932 ア, 950 乙: trail "A"
    const char* lowerTrail;          // 932 ヂ, 950 兀: trail "a"
    const char* plain;               // 932 龍, 950 龍: no trail of note
};
constexpr Texts kCp932 = {932,        "\x95\x5C", "\x83\x5C", "\x81\x5B",
                          "\x83\x7C", "\x83\x41", "\x83\x61", "\x97\xB4"};
constexpr Texts kCp950 = {950,        "\xA5\x5C", "\xB3\x5C", "\xA5\x5B",
                          "\xA5\x7C", "\xA4\x41", "\xA4\x61", "\xC0\x73"};

// The code page that double-byte tests run under, and its texts. Natively it is 932, set as
// the system's lead-byte test for the fixture's lifetime. Under Windows it is the system's;
// when TEST_CODE_PAGE names another one, the run did not get what it asked for and fails.
// Active() is false where the system's code page is a single-byte one (the build's default
// prefixes): there the test has nothing to try and passes at once; the runs under 932 and 950
// try it.
class SystemCodePage {
public:
    SystemCodePage() {
#ifdef _WIN32
        const char* asked = std::getenv("TEST_CODE_PAGE");
        const unsigned running = ::GetACP();
        if (asked != nullptr && *asked != '\0') {
            EXPECT_EQ(std::strtoul(asked, nullptr, 10), running)
                << "the run asked for code page " << asked << " and got " << running;
        }
        m_texts = running == 932 ? &kCp932 : running == 950 ? &kCp950 : nullptr;
#else
        SetSystemLeadByteTest(Lead932);
        m_texts = &kCp932;
#endif
    }
    ~SystemCodePage() {
#ifndef _WIN32
        SetSystemLeadByteTest(nullptr);
#endif
    }
    SystemCodePage(const SystemCodePage&) = delete;
    SystemCodePage& operator=(const SystemCodePage&) = delete;

    bool Active() const {
        return m_texts != nullptr;
    }
    const Texts& texts() const {
        return *m_texts;
    }

private:
    const Texts* m_texts = nullptr;
};

// First in a test's body: ends the test where the system's code page is single-byte.
#define DOUBLE_BYTE_ONLY(codePage)                                                                 \
    if (!(codePage).Active())                                                                      \
    return

} // namespace double_byte
