// PresetStore: preset files (.kvp) to and from the registry, and preset deletion.
#pragma once

#include "registry_api.h"

#include <cstdio>
#include <string>

constexpr const char* kMagicVersion1 = "KELVIDROMEPRESET1.0";
constexpr const char* kMagicVersion2 = "KELVIDROMEPRESET2.0";
constexpr size_t kMagicLength = 19;

class PresetStore {
public:
    virtual ~PresetStore() = default;

    // Writes one preset's registry subtree to the file at path (replaced if it exists).
    // Answers whether the file was opened, written and closed without a stream error; the
    // dialog ignores the answer (its failures are silent), presetctl reports it.
    bool ExportPreset(const char* effect, const char* preset, const char* path);
    // Reads one preset file (version 1.0 or 2.0) into the registry.
    void ImportPresetFile(const char* path);
    // Removes the preset key of the effect with everything below it.
    void DeletePreset(const char* effect, const char* preset);
    // Deletes the subkey name of the open key parent with its whole subtree, depth first;
    // returns the registry status, zero when the subkey is gone.
    LONG DeleteKeyTree(HKEY parent, const char* name);
    // The output-name rule of Save To and Backup All: "%s\\%s - %s.kvp" from folder, effect
    // and preset; when that file can be opened for reading (tested through m_presetFile,
    // closed again at once) the current local time "%d-%m-%y %H-%M" is added:
    // "%s\\%s - %s - %s.kvp". The stamped name is not tested.
    std::string OutputName(const char* folder, const char* effect, const char* preset);

protected:
    // Read m_presetFile from its current position; false when line 1 is not that version's
    // magic line (the line is consumed).
    bool ReadVersion1();
    bool ReadVersion2();

    FILE* m_presetFile = nullptr;
};
