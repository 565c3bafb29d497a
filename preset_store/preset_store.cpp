#include "preset_store.h"

#include "registry_key.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

using namespace preset_file;

namespace {

constexpr DWORD kDataBufferBytes = 260;
// Levels of subkeys below the preset key that the export walks into.
constexpr size_t kMaxExportDepth = 200;
constexpr DWORD kDeleteNameChars = 256;
constexpr REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;

std::string ValueProblem(const char* name, const char* problem) {
    return std::string("value \"") + name + "\" " + problem;
}

} // namespace

void StoreReport::Add(const std::string& key, const std::string& problem) {
    const KeyProblem entry{key, problem};
    if (std::find(problems.begin(), problems.end(), entry) == problems.end())
        problems.push_back(entry);
}

StoreReport PresetStore::ExportPreset(const char* effect, const char* preset, const char* path) {
    StoreReport report;
    m_presetFile = std::fopen(path, "w");
    if (m_presetFile == nullptr) {
        report.file = StoreReport::FileState::kCannotOpen;
        return report;
    }
    WriteLine(m_presetFile, kMagicVersion2);
    WriteLine(m_presetFile, effect);
    WriteLine(m_presetFile, preset);

    std::vector<DWORD> resume;
    DWORD subkeyIndex = 0;
    std::string keyPath = PresetKeyPath(effect, preset);
    RegistryKey key;
    auto open = [&] {
        if (key.Open(keyPath.c_str()) != ERROR_SUCCESS)
            report.Add(keyPath, "cannot be opened");
    };
    open();

    char name[kNameBufferChars];
    char keyClass[kNameBufferChars];
    BYTE data[kDataBufferBytes];
    for (;;) {
        // Arrival at a key: its values, every time.
        for (DWORD valueIndex = 0;; ++valueIndex) {
            DWORD nameLength = kNameBufferChars;
            DWORD dataLength = kDataBufferBytes;
            DWORD type = REG_NONE;
            std::memset(data, 0, 4);
            const LONG status = RegEnumValueA(key.m_hKey, valueIndex, name, &nameLength, nullptr,
                                              &type, data, &dataLength);
            if (status != ERROR_SUCCESS) {
                if (status == ERROR_MORE_DATA)
                    report.Add(keyPath, "holds a value too long for a preset file; it and the "
                                        "values listed after it are left out");
                else if (status != ERROR_NO_MORE_ITEMS && key.m_hKey != nullptr)
                    report.Add(keyPath, "cannot be listed");
                break;
            }
            name[nameLength < kNameBufferChars ? nameLength : kNameBufferChars - 1] = '\0';
            if (dataLength > kDataBufferBytes)
                dataLength = kDataBufferBytes;
            std::string text;
            if (type == REG_SZ) {
                // Exactly the stored bytes, up to a terminating zero if there is one.
                const char* bytes = reinterpret_cast<const char*>(data);
                text.assign(bytes, strnlen(bytes, dataLength));
            } else if (type != REG_DWORD) {
                report.Add(keyPath, ValueProblem(name, "has a type that a preset file cannot hold "
                                                       "and is left out"));
                continue;
            }
            if (const char* problem = ValueLineProblem(name, type == REG_SZ, text))
                report.Add(keyPath, ValueProblem(name, problem));
            if (ValueLineMovesTheReader(name, text))
                continue;
            if (type == REG_SZ) {
                WriteLine(m_presetFile, StringValueLine(name, text));
            } else {
                DWORD number;
                std::memcpy(&number, data, 4);
                WriteLine(m_presetFile, DwordValueLine(name, number));
            }
        }

        // Any failing subkey listing ends this key's subkeys; nothing below the depth limit
        // is visited, so every subkey line gets its return line.
        LONG status;
        for (;;) {
            DWORD nameLength = kNameBufferChars;
            DWORD classLength = kNameBufferChars;
            FILETIME written;
            status = RegEnumKeyExA(key.m_hKey, subkeyIndex, name, &nameLength, nullptr, keyClass,
                                   &classLength, &written);
            name[nameLength < kNameBufferChars ? nameLength : kNameBufferChars - 1] = '\0';
            if (status != ERROR_SUCCESS || resume.size() == kMaxExportDepth ||
                !SubkeyLineMovesTheReader(name))
                break;
            report.Add(keyPath + "\\" + name, SubkeyNameProblem(name));
            ++subkeyIndex;
        }
        if (status == ERROR_SUCCESS && resume.size() == kMaxExportDepth) {
            report.Add(keyPath, "has subkeys more than 200 levels below the preset; they are "
                                "left out");
            status = ERROR_NO_MORE_ITEMS;
        } else if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS &&
                   key.m_hKey != nullptr) {
            report.Add(keyPath, "cannot be listed");
        }
        if (status == ERROR_SUCCESS) {
            resume.push_back(subkeyIndex + 1);
            subkeyIndex = 0;
            key.Close();
            keyPath.append("\\").append(name);
            open();
            if (const char* problem = SubkeyNameProblem(name))
                report.Add(keyPath, problem);
            WriteLine(m_presetFile, SubkeyLine(name));
            continue;
        }
        if (resume.empty()) {
            const bool written = std::ferror(m_presetFile) == 0;
            const bool closed = std::fclose(m_presetFile) == 0;
            m_presetFile = nullptr;
            key.Close();
            if (!written || !closed)
                report.file = StoreReport::FileState::kStreamError;
            return report;
        }
        key.Close();
        keyPath.erase(keyPath.rfind('\\'));
        open();
        subkeyIndex = resume.back();
        resume.pop_back();
        WriteLine(m_presetFile, kReturnLine);
    }
}

StoreReport PresetStore::ImportPresetFile(const char* path) {
    StoreReport report;
    // Read as bytes: a text-mode stream would end the file at a 0x1A byte that a string value
    // may hold. ReadLine takes line ends as a text-mode stream does.
    m_presetFile = std::fopen(path, "rb");
    if (m_presetFile == nullptr) {
        report.file = StoreReport::FileState::kCannotOpen;
        return report;
    }
    bool read = ReadVersion(kVersion1, report);
    if (!read) {
        std::rewind(m_presetFile);
        read = ReadVersion(kVersion2, report);
    }
    if (!read)
        report.file = StoreReport::FileState::kNotPresetFile;
    else if (std::ferror(m_presetFile) != 0)
        report.file = StoreReport::FileState::kStreamError;
    std::fclose(m_presetFile);
    m_presetFile = nullptr;
    return report;
}

bool PresetStore::ReadVersion1() {
    StoreReport ignored;
    return ReadVersion(kVersion1, ignored);
}

bool PresetStore::ReadVersion2() {
    StoreReport ignored;
    return ReadVersion(kVersion2, ignored);
}

bool PresetStore::ReadVersion(const VersionRules& rules, StoreReport& report) {
    // Line 1 against the magic text; lines 2 and 3 name the effect and the preset.
    std::string line;
    if (!ReadLine(m_presetFile, line) || !IsMagicLine(line, rules))
        return false;
    std::string effect;
    std::string preset;
    ReadLine(m_presetFile, effect);
    ReadLine(m_presetFile, preset);
    const std::string presetPath = PresetKeyPath(effect.c_str(), preset.c_str());
    std::string currentPath = presetPath;
    while (ReadLine(m_presetFile, line)) {
        if (IsSectionLine(line)) {
            EnterSection(rules, presetPath, line, currentPath);
            continue;
        }
        const ValueLine value = ParseValueLine(line, rules);
        RegistryKey key;
        LONG status = key.Open(currentPath.c_str());
        if (value.isString) {
            const LONG set = key.SetString(value.name.c_str(), value.text.c_str());
            status = status != ERROR_SUCCESS ? status : set;
        } else {
            const LONG set = key.SetDword(value.name.c_str(), value.number);
            status = status != ERROR_SUCCESS ? status : set;
        }
        key.Close();
        if (status != ERROR_SUCCESS)
            report.Add(currentPath, "cannot be stored");
    }
    return true;
}

bool PresetStore::DeletePreset(const char* effect, const char* preset) {
    RegistryKey effectKey;
    effectKey.Open(EffectKeyPath(effect).c_str());
    // An empty name would address the effect key itself.
    bool gone = false;
    if (preset[0] != '\0') {
        gone = RegDeleteKeyA(effectKey.m_hKey, preset) == ERROR_SUCCESS ||
               DeleteKeyTree(effectKey.m_hKey, preset) == ERROR_SUCCESS;
    }
    effectKey.Close();
    return gone;
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

std::string FileNamePart(const std::string& name) {
    std::string part = name;
    for (char& c : part)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr)
            c = '_';
    return part;
}

std::string PresetStore::OutputName(const char* folder, const char* effect, const char* preset) {
    const std::string plain =
        std::string(folder) + "\\" + FileNamePart(effect) + " - " + FileNamePart(preset);
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
