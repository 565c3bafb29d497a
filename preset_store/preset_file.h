// The preset file (.kvp): its lines as the writer makes them and as the two readers take them.
// Pure text work on streams and strings; the registry side is in preset_store.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr const char* kMagicVersion1 = "KELVIDROMEPRESET1.0";
constexpr const char* kMagicVersion2 = "KELVIDROMEPRESET2.0";
constexpr size_t kMagicLength = 19;

namespace preset_file {

// The line buffer of earlier readers, which took a line in pieces of at most 1999 characters:
// the writer keeps its lines within one piece, so that they read whole there too.
constexpr size_t kLineBufferBytes = 2000;
constexpr const char* kReturnLine = "[..]";

// What sets the two versions apart; everything else they read alike.
struct VersionRules {
    const char* magic;
    // A value line that starts with "%" is a string value (else every value is a DWORD).
    bool stringValues;
    // Sections nest below the current key and "[..]" returns to its parent (else every
    // section names a subkey directly below the preset key).
    bool nestedSections;
};
extern const VersionRules kVersion1;
extern const VersionRules kVersion2;

// Reads the next line whole, as a text-mode stream gives it (a carriage return right before
// a line feed is dropped), without the line feed and up to a zero byte. Opened in binary mode,
// unlike a text-mode stream, it goes on past a 0x1A byte, which a string value may hold. False
// at the end of the file, which a last line that holds only a 0x1A byte marks as well.
bool ReadLine(FILE* file, std::string& line);

// The lines of a stream from its current position to its end, each as ReadLine gives it, with
// one read a block of bytes. The stream's position is past what was read.
class LineReader {
public:
    explicit LineReader(FILE* file) : m_file(file) {}
    bool ReadLine(std::string& line);
    int Get();
    void Unget(int c);

private:
    FILE* m_file;
    size_t m_at = 0;
    size_t m_size = 0;
    char m_block[4096];
};

// Whether the line starts with the version's magic text (what follows it is not looked at).
bool IsMagicLine(const std::string& line, const VersionRules& rules);
// The version whose magic line this is, or null.
const VersionRules* VersionOf(const std::string& firstLine);

// A body line that holds "[" anywhere is a section line; all others are value lines.
bool IsSectionLine(const std::string& line);
// Whether the name a section line gives (without its "[" and "]") has a form in the system's
// code page (SystemHasForm); one without would join the name that follows it in a key path.
bool SectionHasForm(const std::string& line);
// Whether a section line is a return line: "..", once its "[" and "]" are removed.
bool IsReturnLine(const std::string& line);
// The current key path after a section line; presetPath is the preset key's own path.
void EnterSection(const VersionRules& rules, const std::string& presetPath, std::string line,
                  std::string& currentPath);

struct ValueLine {
    bool isString;
    std::string name;
    std::string text;    // a string value's text
    uint32_t number = 0; // a DWORD value's number
};
// A value line as the version reads it: split around its first hyphen, the name ending two
// characters before it and the text starting two characters after it, whatever those are.
ValueLine ParseValueLine(const std::string& line, const VersionRules& rules);
// The decimal value of a text: leading white space, an optional sign, digits up to the first
// non-digit; no digits give 0. Taken modulo 2 to the power 32.
uint32_t ParseNumber(const std::string& text);

// The lines the writer makes (without their line end).
std::string StringValueLine(const std::string& name, const std::string& text);
std::string DwordValueLine(const std::string& name, uint32_t number);
std::string SubkeyLine(const std::string& name);
// Writes the line and its line end with one call; false when the stream reports a failure.
bool WriteLine(FILE* file, std::string line);

// Why a value line would not read back as the value it was written from, or null when it
// does. Lines that would move the reader to another key (a line feed, a "[") are never
// written; the others are written as they are and read back changed.
const char* ValueLineProblem(const std::string& name, bool isString, const std::string& text);
bool ValueLineMovesTheReader(const std::string& name, const std::string& text);
// Why a subkey of this name would not read back under its name, or null. A name that reads as
// a return line or as no name at all would take the reader to another key and is never
// written.
const char* SubkeyNameProblem(const std::string& name);
bool SubkeyLineMovesTheReader(const std::string& name);

} // namespace preset_file
