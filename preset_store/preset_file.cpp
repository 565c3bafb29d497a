#include "preset_file.h"

#include "registry_key.h"
#include "system_chars.h"

#include <cstring>

namespace preset_file {

namespace {

// Whether the text holds the character c; a trail byte of the system's code page is none.
bool HoldsChar(const std::string& text, char c) {
    return FindChar(text.data(), text.size(), c, SystemLeadByte) != text.size();
}

// The text without its "[" and "]" characters; their values as trail bytes stay.
std::string WithoutBrackets(const std::string& text) {
    std::string kept;
    for (size_t at = 0; at < text.size();) {
        const size_t bytes = CharBytes(text.data(), text.size(), at, SystemLeadByte);
        if (bytes == 2 || (text[at] != '[' && text[at] != ']'))
            kept.append(text, at, bytes);
        at += bytes;
    }
    return kept;
}

} // namespace

const VersionRules kVersion1 = {kMagicVersion1, false, false};
const VersionRules kVersion2 = {kMagicVersion2, true, true};

namespace {

// The bytes of a stream through its own calls.
struct StreamBytes {
    FILE* file;
    int Get() { return std::getc(file); }
    void Unget(int c) { std::ungetc(c, file); }
};

template <typename Bytes> bool ReadLineOf(Bytes& bytes, std::string& line) {
    line.clear();
    int c = bytes.Get();
    if (c == EOF)
        return false;
    // Whole, whatever its length: a piece that ended between a lead byte and its trail byte
    // would leave the trail byte ("[" among them) to start a line of its own. A zero byte
    // ends the text, as it always has; the rest of its line is passed over.
    bool cut = false;
    for (; c != EOF && c != '\n'; c = bytes.Get()) {
        cut = cut || c == '\0';
        if (!cut)
            line += static_cast<char>(c);
    }
    if (c == '\n' && !line.empty() && line.back() == '\r')
        line.pop_back();
    // A 0x1A byte alone on the last line is the end-of-file mark that older editors write;
    // anywhere else it is data.
    if (line == "\x1a") {
        const int next = bytes.Get();
        if (next == EOF)
            return false;
        bytes.Unget(next);
    }
    return true;
}

} // namespace

bool ReadLine(FILE* file, std::string& line) {
    StreamBytes bytes{file};
    return ReadLineOf(bytes, line);
}

int LineReader::Get() {
    if (m_at == m_size) {
        m_at = 0;
        m_size = std::fread(m_block, 1, sizeof m_block, m_file);
        if (m_size == 0)
            return EOF;
    }
    return static_cast<unsigned char>(m_block[m_at++]);
}

void LineReader::Unget(int) {
    --m_at; // only ever the byte that Get has just given
}

bool LineReader::ReadLine(std::string& line) {
    return ReadLineOf(*this, line);
}

bool IsMagicLine(const std::string& line, const VersionRules& rules) {
    return std::strncmp(line.c_str(), rules.magic, kMagicLength) == 0;
}

const VersionRules* VersionOf(const std::string& firstLine) {
    for (const VersionRules* rules : {&kVersion1, &kVersion2})
        if (IsMagicLine(firstLine, *rules))
            return rules;
    return nullptr;
}

bool IsSectionLine(const std::string& line) {
    return HoldsChar(line, '[');
}

bool SectionHasForm(const std::string& line) {
    const std::string name = WithoutBrackets(line);
    return SystemHasForm(name.data(), name.size()) != 0;
}

bool IsReturnLine(const std::string& line) {
    return WithoutBrackets(line) == "..";
}

void EnterSection(const VersionRules& rules, const std::string& presetPath, std::string line,
                  std::string& currentPath) {
    const std::string name = WithoutBrackets(line);
    if (!rules.nestedSections)
        currentPath = presetPath + "\\" + name;
    else if (name != "..")
        currentPath.append("\\").append(name);
    else if (currentPath != presetPath) // never above the preset key
        currentPath = ParentPath(currentPath);
}

uint32_t ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

ValueLine ParseValueLine(const std::string& line, const VersionRules& rules) {
    const long length = static_cast<long>(line.size());
    const size_t hyphen = line.find('-');
    const long p = hyphen == std::string::npos ? -1 : static_cast<long>(hyphen);
    const long nameChars = p - 1;
    const long textChars = length - p - 2;
    std::string name;
    std::string text;
    if (nameChars > 0)
        name = line.substr(0, static_cast<size_t>(nameChars));
    if (textChars > 0)
        text = line.substr(static_cast<size_t>(length - textChars));
    ValueLine value;
    value.isString = rules.stringValues && !line.empty() && line[0] == '%';
    if (value.isString) {
        value.name = name.empty() ? std::string() : name.substr(1);
        value.text = text;
    } else {
        value.name = name;
        value.number = ParseNumber(text);
    }
    return value;
}

std::string StringValueLine(const std::string& name, const std::string& text) {
    return "%" + name + " - " + text;
}

std::string DwordValueLine(const std::string& name, uint32_t number) {
    return name + " - " + std::to_string(number);
}

std::string SubkeyLine(const std::string& name) {
    return "[" + name + "]";
}

bool WriteLine(FILE* file, std::string line) {
    line += '\n';
    return std::fputs(line.c_str(), file) != EOF;
}

bool ValueLineMovesTheReader(const std::string& name, const std::string& text) {
    // A line feed ends the line whatever byte comes before it. The " - " between name and
    // text starts the text on a character of its own.
    return name.find('\n') != std::string::npos || text.find('\n') != std::string::npos ||
           HoldsChar(name, '[') || HoldsChar(text, '[');
}

const char* ValueLineProblem(const std::string& name, bool isString, const std::string& text) {
    if (name.find('\n') != std::string::npos || text.find('\n') != std::string::npos)
        return "holds a line break and is left out";
    if (ValueLineMovesTheReader(name, text))
        return "holds a \"[\" and is left out";
    if (name.find('-') != std::string::npos)
        return "has a hyphen in its name and reads back under another name";
    if (!isString && !name.empty() && name[0] == '%')
        return "is a DWORD whose name starts with \"%\" and reads back as a string";
    return nullptr;
}

bool SubkeyLineMovesTheReader(const std::string& name) {
    // What the reader takes from the line. A "\" character (which a name made under another
    // code page may read as) would make it a path.
    const std::string kept = WithoutBrackets(SubkeyLine(name));
    return kept.empty() || kept == ".." || name.find('\n') != std::string::npos ||
           HoldsChar(name, '\\');
}

const char* SubkeyNameProblem(const std::string& name) {
    if (SubkeyLineMovesTheReader(name))
        return "reads back as another key and is left out";
    if (WithoutBrackets(name) != name)
        return "holds brackets and reads back without them";
    // A last lone lead byte takes the closing "]" as its trail byte.
    if (WithoutBrackets(SubkeyLine(name)) != name)
        return "reads back under another name";
    return nullptr;
}

} // namespace preset_file
