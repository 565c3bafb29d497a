// Benchmark helper for the preset store under Wine. Fills the registry with the benchmark
// trees and prints in-process figures; run_preset_store_bench puts presetctl beside regedit.
//
//   preset_store_bench fill-big | fill-backup | wipe | inproc FOLDER | files FOLDER
#include "preset_store.h"
#include "registry_key.h"
#include "test_prefix.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const std::string kBig = std::string(kEffectsRoot) + "\\Bench\\Big";
constexpr int kBigSubkeys = 1000;
constexpr int kValuesPerSubkey = 10;
constexpr int kBackupEffects = 100;
constexpr int kPresetsPerEffect = 20;

class Store : public PresetStore {};

double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void FillKey(HKEY key, int values, int seed) {
    for (int v = 0; v < values; ++v) {
        char name[32];
        std::snprintf(name, sizeof name, "Value %02d", v);
        if (v % 2 == 0) {
            const DWORD number = static_cast<DWORD>(seed * 7919 + v);
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "setting %d of key %d", v, seed);
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>(std::strlen(text) + 1));
        }
    }
}

HKEY Create(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void FillBig() {
    HKEY preset = Create(HKEY_CURRENT_USER, kBig);
    for (int k = 0; k < kBigSubkeys; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "Band %04d", k);
        HKEY sub = Create(preset, name);
        FillKey(sub, kValuesPerSubkey, k);
        RegCloseKey(sub);
    }
    RegCloseKey(preset);
}

void FillBackup() {
    for (int e = 0; e < kBackupEffects; ++e) {
        for (int p = 0; p < kPresetsPerEffect; ++p) {
            char path[160];
            std::snprintf(path, sizeof path, "%s\\Effect %03d\\Preset %02d", kEffectsRoot, e, p);
            HKEY preset = Create(HKEY_CURRENT_USER, path);
            FillKey(preset, 6, e * 100 + p);
            HKEY sub = Create(preset, "Detail");
            FillKey(sub, 4, p);
            RegCloseKey(sub);
            RegCloseKey(preset);
        }
    }
}

void Wipe(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char sub[260];
    for (;;) {
        DWORD length = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) != 0)
            break;
        Wipe(key, sub);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// A version 2.0 file of the big preset's shape, its body repeated the given number of times.
void WriteImportFile(const std::string& path, int repeats) {
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("KELVIDROMEPRESET2.0\nBench\nImported\n", file);
    for (int r = 0; r < repeats; ++r)
        for (int k = 0; k < kBigSubkeys; ++k) {
            std::fprintf(file, "[Band %04d]\n", k % 50);
            for (int v = 0; v < kValuesPerSubkey; ++v)
                std::fprintf(file, v % 2 ? "%%Value %02d - setting %d\n" : "Value %02d - %d\n", v,
                             k);
            std::fputs("[..]\n", file);
        }
    std::fclose(file);
}

void InProcess(const std::string& folder) {
    Store store;
    const std::string file = folder + "\\big.kvp";
    double start = Now();
    store.ExportPreset("Bench", "Big", file.c_str());
    std::printf("in-process export of 1,000 subkeys / 10,000 values: %.0f ms\n", Now() - start);
    start = Now();
    store.DeletePreset("Bench", "Big");
    std::printf("in-process delete of the same preset: %.0f ms\n", Now() - start);
    start = Now();
    store.ImportPresetFile(file.c_str());
    std::printf("in-process import of the same file: %.0f ms\n", Now() - start);

    // Import reads line by line: a file five times longer must not need more memory.
    const std::string small = folder + "\\import_x1.kvp";
    const std::string large = folder + "\\import_x5.kvp";
    WriteImportFile(small, 1);
    WriteImportFile(large, 5);
    const SIZE_T before = PeakWorkingSet();
    store.ImportPresetFile(small.c_str());
    const SIZE_T afterSmall = PeakWorkingSet();
    store.ImportPresetFile(large.c_str());
    const SIZE_T afterLarge = PeakWorkingSet();
    std::printf("import peak working set: before %lu KiB, after 1x file %lu KiB, after 5x file "
                "%lu KiB\n",
                static_cast<unsigned long>(before / 1024),
                static_cast<unsigned long>(afterSmall / 1024),
                static_cast<unsigned long>(afterLarge / 1024));
    std::remove(small.c_str());
    std::remove(large.c_str());
}

// Calls visit(effect, preset) for every preset of the backup tree, in backup order.
template <typename Visit> void ForEachBackupPreset(Visit visit) {
    for (int e = 0; e < kBackupEffects; ++e) {
        for (int p = 0; p < kPresetsPerEffect; ++p) {
            char effect[32];
            char preset[32];
            std::snprintf(effect, sizeof effect, "Effect %03d", e);
            std::snprintf(preset, sizeof preset, "Preset %02d", p);
            visit(effect, preset);
        }
    }
}

void InProcessBackup(const std::string& folder) {
    Store store;
    double start = Now();
    double naming = 0;
    ForEachBackupPreset([&](const char* effect, const char* preset) {
        const double named = Now();
        const std::string name = store.OutputName(folder.c_str(), effect, preset);
        naming += Now() - named;
        store.ExportPreset(effect, preset, name.c_str());
    });
    std::printf("in-process backup, 100 effects x 20 presets: %.0f ms (output names %.0f ms)\n",
                Now() - start, naming);
}

// The file system's share of a backup: the same 2,000 names probed and written with the bytes
// of one exported preset, without reading the registry.
void FilesOnly(const std::string& folder) {
    Store store;
    const std::string sample = folder + "\\sample.kvp";
    store.ExportPreset("Effect 000", "Preset 00", sample.c_str());
    std::string bytes;
    if (FILE* in = std::fopen(sample.c_str(), "rb")) {
        char block[4096];
        for (size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;)
            bytes.append(block, n);
        std::fclose(in);
    }
    std::remove(sample.c_str());
    const double start = Now();
    ForEachBackupPreset([&](const char* effect, const char* preset) {
        const std::string name = store.OutputName(folder.c_str(), effect, preset);
        if (FILE* out = std::fopen(name.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
    });
    std::printf("the same 2,000 files named and written without the registry: %.0f ms\n",
                Now() - start);
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fill-big" || mode == "fill-backup" || mode == "wipe")
        test_prefix::RequireTestPrefix(); // they rewrite the product's tree
    const double start = Now();
    if (mode == "fill-big")
        FillBig();
    else if (mode == "fill-backup")
        FillBackup();
    else if (mode == "wipe")
        Wipe(HKEY_CURRENT_USER, "Software\\Vantor\\Kelvidrome2");
    else if (mode == "inproc-backup" && argc > 2)
        InProcessBackup(argv[2]);
    else if (mode == "inproc" && argc > 2)
        InProcess(argv[2]);
    else if (mode == "files" && argc > 2)
        FilesOnly(argv[2]);
    else {
        std::fprintf(stderr,
                     "usage: preset_store_bench fill-big|fill-backup|wipe|inproc|files FOLDER\n");
        return 2;
    }
    std::fprintf(stderr, "%s: %.0f ms\n", mode.c_str(), Now() - start);
    return 0;
}
