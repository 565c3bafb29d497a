// PresetStore: preset files (.kvp) to and from the registry, and preset deletion.
#pragma once

#include "preset_file.h"
#include "registry_key.h"

#include <cstdio>
#include <string>
#include <vector>

// What an export or an import did. The dialog ignores it (its failures are silent); presetctl
// reports it.
struct StoreReport {
    // kNoPresetName: a preset file whose effect or preset line is empty; nothing is stored.
    // kNameWithoutForm: an effect or preset name that the system's code page has no form for
    // (SystemHasForm), so that no key path may hold it; nothing is read, stored or written.
    enum class FileState {
        kDone,
        kCannotOpen,
        kNotPresetFile,
        kNoPresetName,
        kNameWithoutForm,
        kStreamError
    };
    struct KeyProblem {
        std::string key; // path below HKEY_CURRENT_USER
        std::string problem;
        bool operator==(const KeyProblem& o) const { return key == o.key && problem == o.problem; }
    };

    FileState file = FileState::kDone;
    // What was not read or stored whole, each problem of a key once, in the order met.
    std::vector<KeyProblem> problems;

    bool Complete() const { return file == FileState::kDone && problems.empty(); }
    void Add(const std::string& key, const std::string& problem);
};

// What a deletion did: kNoSuchPreset when the preset was not there (another program may have
// deleted it meanwhile); kNotDeleted when it, or part of it, is still there.
enum class DeleteResult { kDeleted, kNoSuchPreset, kNotDeleted };

class PresetStore {
public:
    virtual ~PresetStore() = default;

    // Writes one preset's registry subtree to the file at path (replaced if it exists).
    StoreReport ExportPreset(const char* effect, const char* preset, const char* path);
    // Reads one preset file (version 1.0 or 2.0) into the registry.
    StoreReport ImportPresetFile(const char* path);
    // Removes the preset key of the effect with everything below it; true when it is gone.
    bool DeletePreset(const char* effect, const char* preset);
    // The same, saying why a preset is not gone.
    DeleteResult RemovePreset(const char* effect, const char* preset);
    // The output-name rule of Save To and Backup All: "%s\\%s - %s.kvp" from folder, effect
    // and preset (a folder that ends in a separator, as "C:\\" does, gets no second one); when
    // that file can be opened for reading (tested through m_presetFile, closed again at once) the
    // current local time "%d-%m-%y %H-%M" is added: "%s\\%s - %s - %s.kvp". When that name exists
    // too, a counter from 2 on is added until the name is new: "%s\\%s - %s - %s (%d).kvp". In the
    // names, every character that a file name cannot hold or that separates paths becomes "_" (see
    // FileNamePart), so the file always lands in the folder; the file itself keeps the exact names.
    std::string OutputName(const char* folder, const char* effect, const char* preset);

protected:
    // Read m_presetFile from its current position; false when line 1 is not that version's
    // magic line (the line is consumed).
    bool ReadVersion1();
    bool ReadVersion2();

    FILE* m_presetFile = nullptr;

private:
    // Whether the file can be opened for reading (through m_presetFile, closed again at once).
    bool FileExists(const std::string& name);
    bool ReadVersion(const preset_file::VersionRules& rules, StoreReport& report);
};

// An effect or preset name as a part of a file name: control characters,
// \ / : * ? " < > | and lead bytes without their trail byte replaced by "_".
std::string FileNamePart(const std::string& name);

// Why a file was not read (writing false) or written whole, in a few words, or null when it
// was: the texts presetctl and Trellisan's report share.
const char* FileProblem(const StoreReport& report, bool writing);
// Why a preset is not gone, or null when it is.
const char* DeleteProblem(DeleteResult result);
