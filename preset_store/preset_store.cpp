#include "preset_store.h"

#include "preset_catalog.h"
#include "registry_key.h"
#include "system_chars.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <unordered_set>
#include <vector>

using namespace preset_file;

namespace {

// Large enough for every value whose line earlier readers took back whole: they read lines of
// up to kLineBufferBytes - 1 characters, line feed included, as a text-mode stream gives them.
constexpr DWORD kValueNameChars = kLineBufferBytes;
constexpr DWORD kDataBufferBytes = kLineBufferBytes;
constexpr size_t kLongestLine = kLineBufferBytes - 2;
// Levels of subkeys below the preset key that the export walks into.
constexpr size_t kMaxExportDepth = 200;
// Levels of sections below the preset key that the import goes into (what the export writes).
constexpr size_t kMaxImportDepth = kMaxExportDepth;
// Problems a report keeps; a file of any size ends with a report of bounded size.
constexpr size_t kMaxReportedProblems = 1000;
// The highest counter that OutputName adds to a time-stamped name that exists.
constexpr int kMaxNameCounter = 100000;

bool NamesHaveForm(const std::string& effect, const std::string& preset) {
    return SystemHasForm(effect.data(), effect.size()) &&
           SystemHasForm(preset.data(), preset.size());
}

std::string ValueProblem(const char* name, const char* problem) {
    return std::string("value \"") + name + "\" " + problem;
}

// Bytes that an import spends on remembering what it gave the keys of its current path: a
// file of any size is read in bounded memory; past this, values are set as they come. Each
// value counts its texts and about what its entry in a map takes.
constexpr size_t kMaxRememberedBytes = 256 * 1024;
constexpr size_t kRememberedEntryBytes = 128;

bool IsPlainName(const std::string& name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The keys of an import's current path, each opened (or created) at its section's first value
// line and closed when the path leaves it, with what each was given so far. A value line that
// gives its key again what it already holds from this file is not set again. Only names of
// ASCII characters are remembered: the registry folds the case of other characters by its own
// tables, so a name with one may name the same value as any other; setting one forgets what
// its key was given.
class ImportKeys {
public:
    ImportKeys() = default;
    ImportKeys(const ImportKeys&) = delete;
    ImportKeys& operator=(const ImportKeys&) = delete;
    ~ImportKeys() {
        while (!m_path.empty())
            Leave();
    }

    // Gives the value to the key at path; false when it cannot be stored there.
    bool Store(const std::string& path, const ValueLine& value) {
        while (!m_path.empty() && !IsOnPath(m_path.back().path, path))
            Leave();
        if (m_path.empty() || m_path.back().path != path)
            m_path.push_back(Key{path, RegistryKey(), {}});
        Key& key = m_path.back();
        if (key.key.m_hKey == nullptr && key.key.OpenOrCreate(path.c_str()) != ERROR_SUCCESS)
            return false;
        const bool plain = IsPlainName(value.name);
        const std::string folded = plain ? Folded(value.name) : std::string();
        if (plain) {
            const auto given = key.given.find(folded);
            if (given != key.given.end() && given->second.name == value.name &&
                given->second.isString == value.isString &&
                (value.isString ? given->second.text == value.text
                                : given->second.number == value.number))
                return true;
        }
        const LONG stored = value.isString
                                ? key.key.SetString(value.name.c_str(), value.text.c_str())
                                : key.key.SetDword(value.name.c_str(), value.number);
        // The keys of the path that are this key under another spelling of its path (a section
        // of no name adds only a separator) forget the value too.
        for (Key& same : m_path) {
            if (path.find_first_not_of('\\', same.path.size()) != std::string::npos)
                continue;
            if (plain)
                Forget(same, same.given.find(folded));
            else
                while (!same.given.empty())
                    Forget(same, same.given.begin());
        }
        if (stored != ERROR_SUCCESS)
            return false;
        const size_t bytes = RememberedBytes(folded, value);
        if (plain && m_rememberedBytes + bytes <= kMaxRememberedBytes) {
            key.given.emplace(folded, value);
            m_rememberedBytes += bytes;
        }
        return true;
    }

private:
    struct Key {
        std::string path;
        RegistryKey key;
        // By the name with its letters folded (Folded).
        std::unordered_map<std::string, ValueLine> given;
    };

    static size_t RememberedBytes(const std::string& folded, const ValueLine& value) {
        return kRememberedEntryBytes + folded.size() + value.name.size() + value.text.size();
    }

    // Whether the key at path is the key at current or one above it.
    static bool IsOnPath(const std::string& path, const std::string& current) {
        return current.compare(0, path.size(), path) == 0 &&
               (current.size() == path.size() || current[path.size()] == '\\');
    }

    void Forget(Key& key, std::unordered_map<std::string, ValueLine>::iterator at) {
        if (at == key.given.end())
            return;
        m_rememberedBytes -= RememberedBytes(at->first, at->second);
        key.given.erase(at);
    }

    void Leave() {
        Key& key = m_path.back();
        while (!key.given.empty())
            Forget(key, key.given.begin());
        key.key.Close();
        m_path.pop_back();
    }

    std::vector<Key> m_path;
    size_t m_rememberedBytes = 0;
};

} // namespace

void StoreReport::Add(const std::string& key, const std::string& problem) {
    const KeyProblem entry{key, problem};
    if (problems.size() > kMaxReportedProblems ||
        std::find(problems.begin(), problems.end(), entry) != problems.end())
        return;
    if (problems.size() == kMaxReportedProblems)
        problems.push_back({key, "and further problems, which are not listed"});
    else
        problems.push_back(entry);
}

StoreReport PresetStore::ExportPreset(const char* effect, const char* preset, const char* path) {
    StoreReport report;
    // The key path joins both names: a name without a form would take the "\\" after it.
    if (!NamesHaveForm(effect, preset)) {
        report.file = StoreReport::FileState::kNameWithoutForm;
        return report;
    }
    m_presetFile = std::fopen(path, "w");
    if (m_presetFile == nullptr) {
        report.file = StoreReport::FileState::kCannotOpen;
        return report;
    }
    bool written = true;
    auto write = [&](const std::string& line) {
        written = WriteLine(m_presetFile, line) && written;
    };
    write(kMagicVersion2);
    write(effect);
    write(preset);

    // The keys of the current path, the preset key first, each open from its arrival to the
    // return from it, with the lines of its values as read on arrival: they are written again
    // after each of its subkeys without asking the registry again.
    struct Level {
        std::string path;
        RegistryKey key;
        DWORD nextSubkey = 0;
        std::vector<std::string> valueLines;
        // The names entered so far, folded: a name that the system's code page cannot tell
        // from an earlier one would enter the same key again.
        std::unordered_set<std::string> entered;
    };
    std::vector<Level> levels(1);
    struct OpenLevels {
        std::vector<Level>& levels;
        ~OpenLevels() {
            for (Level& level : levels)
                level.key.Close();
        }
    } openLevels{levels};
    levels[0].path = PresetKeyPath(effect, preset);
    if (levels[0].key.Open(levels[0].path.c_str()) != ERROR_SUCCESS)
        report.Add(levels[0].path, "cannot be opened");

    char name[kValueNameChars];
    BYTE data[kDataBufferBytes];
    // Arrival at a key: its values are written and kept for the returns to it.
    auto arrive = [&](Level& level) {
        const std::string& keyPath = level.path;
        for (DWORD valueIndex = 0;; ++valueIndex) {
            DWORD nameLength = kValueNameChars;
            DWORD dataLength = kDataBufferBytes;
            DWORD type = REG_NONE;
            std::memset(data, 0, 4);
            const LONG status = RegEnumValueA(level.key.m_hKey, valueIndex, name, &nameLength,
                                              nullptr, &type, data, &dataLength);
            if (status == ERROR_MORE_DATA) {
                // Only this value is lost; the listing goes on with the next one.
                report.Add(keyPath, "holds a value too long for a preset file; it is left out");
                continue;
            }
            if (status != ERROR_SUCCESS) {
                if (status != ERROR_NO_MORE_ITEMS && level.key.m_hKey != nullptr)
                    report.Add(keyPath, "cannot be listed");
                break;
            }
            name[nameLength < kValueNameChars ? nameLength : kValueNameChars - 1] = '\0';
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
            // Only a value with a problem can have a line that moves the reader.
            if (const char* problem = ValueLineProblem(name, type == REG_SZ, text)) {
                report.Add(keyPath, ValueProblem(name, problem));
                if (ValueLineMovesTheReader(name, text))
                    continue;
            }
            std::string line;
            if (type == REG_SZ) {
                line = StringValueLine(name, text);
            } else {
                DWORD number;
                std::memcpy(&number, data, 4);
                line = DwordValueLine(name, number);
            }
            // A longer line would read back as two, the second one a value of its own, in the
            // earlier readers, which read lines in pieces.
            if (line.size() > kLongestLine) {
                report.Add(keyPath, ValueProblem(name, "is too long for a preset file line and "
                                                       "is left out"));
                continue;
            }
            write(line);
            level.valueLines.push_back(std::move(line));
        }
    };
    arrive(levels[0]);

    std::string subkey;
    for (;;) {
        Level& level = levels.back();
        const std::string& keyPath = level.path;
        const size_t depth = levels.size() - 1;
        // The next subkey to enter, past those whose line would read as something else and
        // those passed over (a name too long to be read, or without a form in this code page,
        // which no key path may join). Any other failing listing ends this key's subkeys;
        // nothing below the depth limit is entered, so every subkey line gets its return line.
        LONG status;
        DWORD& subkeyIndex = level.nextSubkey;
        for (;; ++subkeyIndex) {
            status = EnumSubkey(level.key.m_hKey, subkeyIndex, kListingQuery, subkey);
            if (status == ERROR_SUCCESS && depth == kMaxExportDepth)
                break;
            if (const char* why = PassedOverSubkey(status, subkey)) {
                report.Add(keyPath, why);
                continue;
            }
            if (status != ERROR_SUCCESS ||
                (!SubkeyLineMovesTheReader(subkey) && level.entered.count(Folded(subkey)) == 0))
                break;
            report.Add(SubkeyPath(keyPath, subkey),
                       SubkeyLineMovesTheReader(subkey)
                           ? SubkeyNameProblem(subkey)
                           : "has the name of an earlier subkey in this code page and is left "
                             "out");
        }
        if (status == ERROR_SUCCESS && depth == kMaxExportDepth) {
            report.Add(keyPath, "has subkeys more than 200 levels below the preset; they are "
                                "left out");
            status = ERROR_NO_MORE_ITEMS;
        } else if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS &&
                   level.key.m_hKey != nullptr) {
            report.Add(keyPath, "cannot be listed");
        }
        if (status == ERROR_SUCCESS) {
            ++subkeyIndex;
            level.entered.insert(Folded(subkey));
            Level below;
            below.path = SubkeyPath(keyPath, subkey);
            // A listed subkey is only opened, never created: a name that does not open as
            // listed (one made under another code page) must not make a key of its own.
            if (below.key.OpenExisting(HKEY_CURRENT_USER, below.path.c_str(), KEY_ALL_ACCESS) !=
                ERROR_SUCCESS)
                report.Add(below.path, "cannot be opened");
            if (const char* problem = SubkeyNameProblem(subkey))
                report.Add(below.path, problem);
            write(SubkeyLine(subkey));
            levels.push_back(std::move(below));
            arrive(levels.back());
            continue;
        }
        if (levels.size() == 1)
            break;
        level.key.Close();
        levels.pop_back();
        write(kReturnLine);
        for (const std::string& line : levels.back().valueLines)
            write(line);
    }
    // Write errors show in fputs's answers and in the flush that fclose makes.
    const bool closed = std::fclose(m_presetFile) == 0;
    m_presetFile = nullptr;
    if (!written || !closed)
        report.file = StoreReport::FileState::kStreamError;
    return report;
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
    else if (std::ferror(m_presetFile) != 0 && report.file == StoreReport::FileState::kDone)
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
    // Without both names the values would land in the effects key or an effect's own key.
    if (effect.empty() || preset.empty()) {
        report.file = StoreReport::FileState::kNoPresetName;
        return true;
    }
    // A name from another code page that this one cannot keep whole would take the "\\" that
    // joins it to the next name, and the values would scatter over other keys.
    if (!NamesHaveForm(effect, preset)) {
        report.file = StoreReport::FileState::kNameWithoutForm;
        return true;
    }
    const std::string presetPath = PresetKeyPath(effect, preset);
    std::string currentPath = presetPath;
    // Sections below the preset key, and those past the deepest level or below a section
    // without a form that are not entered: a file of any size keeps the path bounded, and the
    // return lines of sections not entered never climb out of the key they are in.
    size_t depth = 0;
    size_t beyond = 0;
    // Version 1.0: the values of a section without a form are left out up to the next one.
    bool skipSection = false;
    // The keys of the current path stay open from their first value line until the path leaves
    // them, and what they were given is not given again.
    ImportKeys keys;
    LineReader body(m_presetFile);
    while (body.ReadLine(line)) {
        if (IsSectionLine(line)) {
            const bool hasForm = SectionHasForm(line);
            if (!hasForm && (rules.nestedSections ? beyond == 0 : true))
                report.Add(currentPath, "has a section whose name this code page cannot show; "
                                        "its values are left out");
            if (!rules.nestedSections) {
                skipSection = !hasForm;
                if (hasForm)
                    EnterSection(rules, presetPath, line, currentPath);
                continue;
            }
            const bool back = IsReturnLine(line);
            if (beyond > 0) {
                beyond = back ? beyond - 1 : beyond + 1;
                continue;
            }
            if (!back && (depth == kMaxImportDepth || !hasForm)) {
                if (hasForm)
                    report.Add(currentPath, "has sections more than 200 levels below the "
                                            "preset; their values are left out");
                beyond = 1;
                continue;
            }
            depth = back ? (depth > 0 ? depth - 1 : 0) : depth + 1;
            EnterSection(rules, presetPath, line, currentPath);
            continue;
        }
        if (beyond > 0 || skipSection)
            continue;
        const ValueLine value = ParseValueLine(line, rules);
        if (!SystemHasForm(value.name.data(), value.name.size())) {
            report.Add(currentPath, ValueProblem(value.name.c_str(),
                                                 "has a name this code page cannot show and is "
                                                 "left out"));
            continue;
        }
        if (!keys.Store(currentPath, value))
            report.Add(currentPath, "cannot be stored");
    }
    return true;
}

bool PresetStore::DeletePreset(const char* effect, const char* preset) {
    return RemovePreset(effect, preset) == DeleteResult::kDeleted;
}

DeleteResult PresetStore::RemovePreset(const char* effect, const char* preset) {
    // An empty name would address the effect key itself; one without a form is listed nowhere.
    if (!SystemHasForm(effect, std::strlen(effect)))
        return DeleteResult::kNotDeleted;
    RegistryKey effectKey;
    KeyScope scope(effectKey);
    effectKey.Open(EffectKeyPath(effect).c_str());
    if (preset[0] == '\0')
        return DeleteResult::kNotDeleted;
    if (RegDeleteKeyA(effectKey.m_hKey, preset) == ERROR_SUCCESS)
        return DeleteResult::kDeleted;
    if (DeleteKeyTree(effectKey.m_hKey, preset) == ERROR_SUCCESS)
        return DeleteResult::kDeleted;
    // A failed deletion leaves the preset key in place: where it is gone all the same, it was
    // not there (another program deleted it meanwhile). A subkey that is not found below it
    // (a name the code page cannot show) is no such case.
    RegistryKey left;
    if (left.OpenExisting(effectKey.m_hKey, preset, KEY_READ) == ERROR_FILE_NOT_FOUND)
        return DeleteResult::kNoSuchPreset;
    left.Close();
    return DeleteResult::kNotDeleted;
}

const char* FileProblem(const StoreReport& report, bool writing) {
    switch (report.file) {
    case StoreReport::FileState::kDone:
        if (report.problems.empty())
            return nullptr;
        return writing ? "written without some of its keys or values"
                       : "stored without some of its keys or values";
    case StoreReport::FileState::kNotPresetFile:
        return "not a preset file";
    case StoreReport::FileState::kNoPresetName:
        return "names no effect or no preset; nothing stored";
    case StoreReport::FileState::kNameWithoutForm:
        return writing ? "the effect or preset has a name this code page cannot show; not written"
                       : "names an effect or preset that this code page cannot show; nothing "
                         "stored";
    default:
        return writing ? "cannot write the file" : "cannot read the file";
    }
}

const char* DeleteProblem(DeleteResult result) {
    switch (result) {
    case DeleteResult::kDeleted:
        return nullptr;
    case DeleteResult::kNoSuchPreset:
        return "no such preset";
    default:
        return "could not be deleted completely";
    }
}

std::string FileNamePart(const std::string& name) {
    std::string part = name;
    // By character: a trail byte with the value of "\\" or "|" is part of its character. A
    // lead byte without its trail byte (a name from another code page) would take the byte
    // after it, "." or " " included, as one.
    for (size_t at = 0; at < part.size();) {
        const size_t bytes = CharBytes(part.data(), part.size(), at, SystemLeadByte);
        char& c = part[at];
        if (bytes == 1 &&
            (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr ||
             SystemLeadByte(static_cast<unsigned char>(c))))
            c = '_';
        at += bytes;
    }
    return part;
}

bool PresetStore::FileExists(const std::string& name) {
    m_presetFile = std::fopen(name.c_str(), "r");
    if (m_presetFile == nullptr)
        return false;
    std::fclose(m_presetFile);
    m_presetFile = nullptr;
    return true;
}

std::string PresetStore::OutputName(const char* folder, const char* effect, const char* preset) {
    // A folder that ends in a separator, as a drive's root ("C:\\") does, gets no second one,
    // which only the NT family forgives. The last character counts, not the last byte: that
    // may be the trail byte of a double-byte character.
    const size_t length = std::strlen(folder);
    const bool ends = EndsWithChar(folder, length, '\\', SystemLeadByte) ||
                      EndsWithChar(folder, length, '/', SystemLeadByte);
    const std::string plain = std::string(folder) + (ends ? "" : "\\") + FileNamePart(effect) +
                              " - " + FileNamePart(preset);
    std::string name = plain + ".kvp";
    if (!FileExists(name))
        return name;
    char stamp[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%d-%m-%y %H-%M", std::localtime(&now));
    const std::string stamped = plain + " - " + stamp;
    name = stamped + ".kvp";
    // Presets whose names coincide in a file name, or a second run in the same minute: a
    // counter keeps every file of its own.
    for (int counter = 2; FileExists(name) && counter < kMaxNameCounter; ++counter)
        name = stamped + " (" + std::to_string(counter) + ").kvp";
    return name;
}
