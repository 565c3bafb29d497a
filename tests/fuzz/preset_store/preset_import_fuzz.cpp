// Imports arbitrary bytes as a preset file into the in-process registry. Nothing outside the
// effects tree may change, every key opened must be closed, and nothing may crash.
#include "memory_registry.h"
#include "preset_store.h"
#include "registry_key.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class Importer : public PresetStore {};

void Seed() {
    registry_test::Reset();
    RegistryKey key;
    key.Open(kSettingsKey);
    key.SetDword("Effects_Trellisan_Left", 10);
    key.Close();
    key.Open("Software\\Vantor\\Other");
    key.SetString("Keep", "me");
    key.Close();
    key.Open("Software\\Vantor\\Kelvidrome2\\Effects\\Reverb\\Warm\\Taps");
    key.SetDword("Count", 3);
    key.Close();
}

// The dump's lines that lie outside the effects tree (the root key's own values count as
// inside).
std::string Outside(const std::string& dump) {
    const std::string root = kEffectsRoot;
    std::string kept;
    size_t start = 0;
    while (start < dump.size()) {
        size_t end = dump.find('\n', start);
        const std::string line = dump.substr(start, end - start);
        const bool inside =
            line.compare(0, root.size(), root) == 0 &&
            (line.size() == root.size() || line[root.size()] == '\\' || line[root.size()] == '|');
        if (!inside)
            kept += line + "\n";
        start = end + 1;
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/preset_import_fuzz_" + std::to_string(getpid()) + ".kvp";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    Seed();
    const std::string before = Outside(registry_test::Dump());
    Importer importer;
    importer.ImportPresetFile(path.c_str());
    std::remove(path.c_str());
    if (Outside(registry_test::Dump()) != before) {
        std::fprintf(stderr, "import changed keys outside the effects tree\n");
        std::abort();
    }
    if (registry_test::OpenHandleCount() != 0) {
        std::fprintf(stderr, "import left %d keys open\n", registry_test::OpenHandleCount());
        std::abort();
    }
    return 0;
}
