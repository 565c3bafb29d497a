#include "preset_store.h"

#include "registry_key.h"

#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr int kLineBufferBytes = 2000;
constexpr DWORD kDataBufferBytes = 260;
// Levels of subkeys below the preset key that the export walks into.
constexpr size_t kMaxExportDepth = 200;
constexpr DWORD kDeleteNameChars = 256;
constexpr REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;

// Reads one line (at most 1999 characters) and removes every line feed from it.
bool ReadLine(FILE* file, std::string& line) {
    char buffer[kLineBufferBytes];
    if (std::fgets(buffer, sizeof buffer, file) == nullptr)
        return false;
    line.clear();
    for (const char* p = buffer; *p != '\0'; ++p)
        if (*p != '\n')
            line += *p;
    return true;
}

void RemoveBrackets(std::string& line) {
    std::string kept;
    for (char c : line)
        if (c != '[' && c != ']')
            kept += c;
    line.swap(kept);
}

// The decimal value of a text: leading white space, an optional sign, digits up to the first
// non-digit; no digits give 0. Taken modulo 2 to the power 32.
DWORD ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    DWORD value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<DWORD>(text[i] - '0');
    return negative ? 0u - value : value;
}

struct ValueLine {
    std::string name;
    std::string text;
};

// Splits "name - text" around the first hyphen: the name ends two characters before it and
// the text starts two characters after it, whatever those characters are.
ValueLine SplitValueLine(const std::string& line) {
    const long length = static_cast<long>(line.size());
    const size_t hyphen = line.find('-');
    const long p = hyphen == std::string::npos ? -1 : static_cast<long>(hyphen);
    const long nameChars = p - 1;
    const long textChars = length - p - 2;
    ValueLine parts;
    if (nameChars > 0)
        parts.name = line.substr(0, static_cast<size_t>(nameChars));
    if (textChars > 0)
        parts.text = line.substr(static_cast<size_t>(length - textChars));
    return parts;
}

void WriteLine(FILE* file, std::string& line) {
    line += '\n';
    std::fputs(line.c_str(), file);
}

void WriteLine(FILE* file, const char* text) {
    std::fputs(text, file);
    std::fputc('\n', file);
}

} // namespace

bool PresetStore::ExportPreset(const char* effect, const char* preset, const char* path) {
    m_presetFile = std::fopen(path, "w");
    if (m_presetFile == nullptr)
        return false;
    WriteLine(m_presetFile, kMagicVersion2);
    WriteLine(m_presetFile, effect);
    WriteLine(m_presetFile, preset);

    std::vector<DWORD> resume;
    DWORD subkeyIndex = 0;
    std::string keyPath = PresetKeyPath(effect, preset);
    RegistryKey key;
    key.Open(keyPath.c_str());

    char name[kNameBufferChars];
    char keyClass[kNameBufferChars];
    BYTE data[kDataBufferBytes];
    std::string line;
    for (;;) {
        // Arrival at a key: its values, every time.
        for (DWORD valueIndex = 0;; ++valueIndex) {
            DWORD nameLength = kNameBufferChars;
            DWORD dataLength = kDataBufferBytes;
            DWORD type = REG_NONE;
            std::memset(data, 0, 4);
            if (RegEnumValueA(key.m_hKey, valueIndex, name, &nameLength, nullptr, &type, data,
                              &dataLength) != ERROR_SUCCESS)
                break;
            name[nameLength < kNameBufferChars ? nameLength : kNameBufferChars - 1] = '\0';
            if (dataLength > kDataBufferBytes)
                dataLength = kDataBufferBytes;
            if (type == REG_SZ) {
                // Exactly the stored bytes, up to a terminating zero if there is one.
                const char* text = reinterpret_cast<const char*>(data);
                line.assign("%").append(name).append(" - ");
                line.append(text, strnlen(text, dataLength));
                WriteLine(m_presetFile, line);
            } else if (type == REG_DWORD) {
                DWORD number;
                std::memcpy(&number, data, 4);
                line.assign(name).append(" - ").append(std::to_string(number));
                WriteLine(m_presetFile, line);
            }
        }

        // Any failing subkey listing ends this key's subkeys; nothing below the depth limit
        // is visited, so every subkey line gets its return line.
        LONG status = ERROR_NO_MORE_ITEMS;
        if (resume.size() < kMaxExportDepth) {
            DWORD nameLength = kNameBufferChars;
            DWORD classLength = kNameBufferChars;
            FILETIME written;
            status = RegEnumKeyExA(key.m_hKey, subkeyIndex, name, &nameLength, nullptr, keyClass,
                                   &classLength, &written);
            name[nameLength < kNameBufferChars ? nameLength : kNameBufferChars - 1] = '\0';
        }
        if (status == ERROR_SUCCESS) {
            resume.push_back(subkeyIndex + 1);
            subkeyIndex = 0;
            key.Close();
            keyPath.append("\\").append(name);
            key.Open(keyPath.c_str());
            line.assign("[").append(name).append("]");
            WriteLine(m_presetFile, line);
            continue;
        }
        if (resume.empty()) {
            const bool written = std::ferror(m_presetFile) == 0;
            const bool closed = std::fclose(m_presetFile) == 0;
            m_presetFile = nullptr;
            key.Close();
            return written && closed;
        }
        key.Close();
        keyPath.erase(keyPath.rfind('\\'));
        key.Open(keyPath.c_str());
        subkeyIndex = resume.back();
        resume.pop_back();
        WriteLine(m_presetFile, "[..]");
    }
}

void PresetStore::ImportPresetFile(const char* path) {
    m_presetFile = std::fopen(path, "r");
    if (m_presetFile == nullptr)
        return;
    if (!ReadVersion1()) {
        std::rewind(m_presetFile);
        ReadVersion2();
    }
    std::fclose(m_presetFile);
    m_presetFile = nullptr;
}

namespace {

// Line 1 against the magic text; lines 2 and 3 name the effect and the preset.
bool ReadHeader(FILE* file, const char* magic, std::string& presetPath) {
    std::string line;
    if (!ReadLine(file, line) || std::strncmp(line.c_str(), magic, kMagicLength) != 0)
        return false;
    std::string effect;
    std::string preset;
    ReadLine(file, effect);
    ReadLine(file, preset);
    presetPath = PresetKeyPath(effect.c_str(), preset.c_str());
    return true;
}

void StoreValueLine(const std::string& keyPath, const std::string& line, bool stringsAllowed) {
    ValueLine parts = SplitValueLine(line);
    RegistryKey key;
    key.Open(keyPath.c_str());
    if (stringsAllowed && !line.empty() && line[0] == '%') {
        const std::string name = parts.name.empty() ? std::string() : parts.name.substr(1);
        key.SetString(name.c_str(), parts.text.c_str());
    } else {
        key.SetDword(parts.name.c_str(), ParseNumber(parts.text));
    }
    key.Close();
}

} // namespace

bool PresetStore::ReadVersion1() {
    std::string presetPath;
    if (!ReadHeader(m_presetFile, kMagicVersion1, presetPath))
        return false;
    std::string currentPath = presetPath;
    std::string line;
    while (ReadLine(m_presetFile, line)) {
        if (line.find('[') != std::string::npos) {
            RemoveBrackets(line);
            currentPath = presetPath + "\\" + line;
        } else {
            StoreValueLine(currentPath, line, false);
        }
    }
    return true;
}

bool PresetStore::ReadVersion2() {
    std::string presetPath;
    if (!ReadHeader(m_presetFile, kMagicVersion2, presetPath))
        return false;
    std::string currentPath = presetPath;
    std::string line;
    while (ReadLine(m_presetFile, line)) {
        if (line.find('[') != std::string::npos) {
            RemoveBrackets(line);
            if (line != "..")
                currentPath.append("\\").append(line);
            else if (currentPath != presetPath) // never above the preset key
                currentPath.erase(currentPath.rfind('\\'));
        } else {
            StoreValueLine(currentPath, line, true);
        }
    }
    return true;
}

void PresetStore::DeletePreset(const char* effect, const char* preset) {
    RegistryKey effectKey;
    effectKey.Open(EffectKeyPath(effect).c_str());
    // An empty name would address the effect key itself.
    if (preset[0] != '\0' && RegDeleteKeyA(effectKey.m_hKey, preset) != ERROR_SUCCESS)
        DeleteKeyTree(effectKey.m_hKey, preset);
    effectKey.Close();
}

LONG PresetStore::DeleteKeyTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, name, 0, kReadWriteAccess, &key);
    if (status != ERROR_SUCCESS)
        return status;
    char subkey[kDeleteNameChars];
    FILETIME written;
    for (;;) {
        DWORD length = kDeleteNameChars;
        if (RegEnumKeyExA(key, 0, subkey, &length, nullptr, nullptr, nullptr, &written) !=
            ERROR_SUCCESS)
            break;
        subkey[length < kDeleteNameChars ? length : kDeleteNameChars - 1] = '\0';
        status = DeleteKeyTree(key, subkey);
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            return status;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

std::string PresetStore::OutputName(const char* folder, const char* effect, const char* preset) {
    const std::string plain = std::string(folder) + "\\" + effect + " - " + preset;
    std::string name = plain + ".kvp";
    m_presetFile = std::fopen(name.c_str(), "r");
    if (m_presetFile != nullptr) {
        std::fclose(m_presetFile);
        m_presetFile = nullptr;
        char stamp[64];
        const std::time_t now = std::time(nullptr);
        std::strftime(stamp, sizeof stamp, "%d-%m-%y %H-%M", std::localtime(&now));
        name = plain + " - " + stamp + ".kvp";
    }
    return name;
}
