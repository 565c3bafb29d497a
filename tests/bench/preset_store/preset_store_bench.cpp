// Benchmark helper for the preset store under Wine. Fills the registry with the benchmark
// trees and prints in-process figures; run_preset_store_bench puts presetctl beside regedit.
//
//   preset_store_bench fill-big | fill-backup | wipe | inproc FOLDER | files FOLDER
#include "call_counter.h"
#include "preset_store.h"
#include "registry_key.h"
#include "registry_test_support.h"
#include "test_prefix.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kBig = PresetKeyPath("Bench", "Big");
constexpr int kBigSubkeys = 1000;
constexpr int kValuesPerSubkey = 10;
constexpr int kBackupEffects = 100;
constexpr int kPresetsPerEffect = 20;
// Each backup preset: values in its key, and one subkey "Detail" with values of its own.
constexpr int kPresetValues = 6;
constexpr int kDetailValues = 4;

class Store : public PresetStore {};

using call_counter::Now;

void FillKey(const std::string& path, int values, int seed) {
    for (int v = 0; v < values; ++v) {
        char name[32];
        std::snprintf(name, sizeof name, "Value %02d", v);
        if (v % 2 == 0) {
            test_support::SetDwordValue(path, name, static_cast<DWORD>(seed * 7919 + v));
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "setting %d of key %d", v, seed);
            test_support::SetStringValue(path, name, text);
        }
    }
}

// Beside the big preset, one of a single value: what exporting it costs is mostly the start
// of the program.
void FillBig() {
    FillKey(PresetKeyPath("Bench", "Tiny"), 1, 0);
    for (int k = 0; k < kBigSubkeys; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "Band %04d", k);
        FillKey(SubkeyPath(kBig, name), kValuesPerSubkey, k);
    }
}

// Calls visit(effect index, preset index, effect, preset) for every preset of the backup tree, in
// backup order.
template <typename Visit> void ForEachBackupPreset(Visit visit) {
    for (int e = 0; e < kBackupEffects; ++e) {
        for (int p = 0; p < kPresetsPerEffect; ++p) {
            char effect[32];
            char preset[32];
            std::snprintf(effect, sizeof effect, "Effect %03d", e);
            std::snprintf(preset, sizeof preset, "Preset %02d", p);
            visit(e, p, effect, preset);
        }
    }
}

void FillBackup() {
    ForEachBackupPreset([](int e, int p, const char* effect, const char* preset) {
        const std::string path = PresetKeyPath(effect, preset);
        FillKey(path, kPresetValues, e * 100 + p);
        FillKey(SubkeyPath(path, "Detail"), kDetailValues, p);
    });
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

// The calls counted since the last Reset, taken before anything is printed: the runtime's
// printf writes through fputc.
std::vector<call_counter::Counter> TakeCounted() {
    std::vector<call_counter::Counter> counted;
    for (const call_counter::Counter* c = call_counter::Counters(); c->name != nullptr; ++c)
        counted.push_back(*c);
    return counted;
}

// The calls of one operation on the big preset, with the time each kind took.
void PrintCalls(const std::vector<call_counter::Counter>& counted) {
    std::printf("  %-18s %9s %12s %10s\n", "per preset", "made", "us per call", "ms in all");
    double made[2] = {0, 0};
    double ms[2] = {0, 0};
    for (const call_counter::Counter& c : counted) {
        made[c.registry ? 0 : 1] += c.calls;
        ms[c.registry ? 0 : 1] += c.ms;
        if (c.calls != 0)
            std::printf("  %-18s %9ld %12.1f %10.0f\n", c.name, c.calls, c.ms * 1000.0 / c.calls,
                        c.ms);
    }
    std::printf("  %-18s %9.0f %12s %10.0f\n", "registry calls", made[0], "", ms[0]);
    std::printf("  %-18s %9.0f %12s %10.0f\n", "file calls", made[1], "", ms[1]);
}

void InProcess(const std::string& folder) {
    Store store;
    const std::string file = folder + "\\big.kvp";
    struct Step {
        const char* what;
        std::function<void()> run;
    } steps[] = {
        {"export of 1,000 subkeys / 10,000 values",
         [&] { store.ExportPreset("Bench", "Big", file.c_str()); }},
        {"delete of the same preset", [&] { store.DeletePreset("Bench", "Big"); }},
        {"import of the same file", [&] { store.ImportPresetFile(file.c_str()); }},
    };
    // Each step runs twice: timed alone, then with every call counted and timed (which adds to
    // each call the cost printed below); the delete and import in between restore the state.
    std::printf("each call counted takes about %.1f us more for its counting\n",
                call_counter::CountingCost());
    for (int step = 0; step < 3; ++step) {
        call_counter::Count(false);
        double start = Now();
        steps[step].run();
        const double alone = Now() - start;
        if (step > 0)
            steps[3 - step].run(); // import after a delete, delete after an import
        call_counter::Count(true);
        call_counter::Reset();
        start = Now();
        steps[step].run();
        const double counted = Now() - start;
        const std::vector<call_counter::Counter> calls = TakeCounted();
        std::printf("in-process %s: %.0f ms (%.0f ms with its calls counted)\n", steps[step].what,
                    alone, counted);
        PrintCalls(calls);
    }

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

// The calls that Backup All needs for one preset of the backup tree: its share of the
// effect's preset listing, the existence test of its output name and the export's walk.
struct Prescribed {
    const char* name;
    double perPreset;
};
constexpr double kPerEffect = 1.0 / kPresetsPerEffect;
const Prescribed kPrescribed[] = {
    // The effect key opened and closed once per effect; the preset key opened at the start,
    // the walk's Close/Open into Detail and back, and closed at the end.
    {"RegOpenKeyExA", 3 + kPerEffect},
    {"RegCreateKeyExA", 0},
    {"RegCloseKey", 3 + kPerEffect},
    // One per preset and the failing one, for the effect's listing; for the walk one at each
    // of the three arrivals (Detail found, nothing below Detail, nothing after Detail).
    {"RegEnumKeyExA", 3 + (kPresetsPerEffect + 1) * kPerEffect},
    // Each value and the failing call, at every arrival: preset, Detail, preset again.
    {"RegEnumValueA", (kPresetValues + 1) * 2 + kDetailValues + 1},
    {"RegSetValueExA", 0},
    {"RegQueryValueExA", 0},
    {"RegDeleteKeyA", 0},
    // The existence test (its file is missing, so nothing to close) and the export's file.
    {"fopen", 2},
    {"fclose", 1},
    // One write a line: three header lines, the values twice, Detail's line, its values and
    // the return line.
    {"fputs", 3 + kPresetValues * 2 + 1 + kDetailValues + 1},
    {"fputc", 0},
    {"ferror", 0},
};

double PrescribedPerPreset(const char* name) {
    for (const Prescribed& entry : kPrescribed)
        if (std::strcmp(entry.name, name) == 0)
            return entry.perPreset;
    return 0;
}

// Backup All's store work as the dialog does it: per effect the preset listing of its key,
// per preset the output name and the export. Prints the calls made per preset beside those
// of the literal walk (one open per key, a listing at every arrival), and the time each kind
// of call takes.
void InProcessBackup(const std::string& folder) {
    Store store;
    call_counter::Reset();
    const double start = Now();
    for (int e = 0; e < kBackupEffects; ++e) {
        char effect[32];
        std::snprintf(effect, sizeof effect, "Effect %03d", e);
        std::vector<std::string> presets;
        RegistryKey key;
        key.Open(EffectKeyPath(effect).c_str());
        ListSubkeys(key.m_hKey, [&](const char* name) { presets.emplace_back(name); });
        key.Close();
        for (const std::string& preset : presets) {
            const std::string name = store.OutputName(folder.c_str(), effect, preset.c_str());
            store.ExportPreset(effect, preset.c_str(), name.c_str());
        }
    }
    const double elapsed = Now() - start;
    const std::vector<call_counter::Counter> counted = TakeCounted();
    const double presets = kBackupEffects * kPresetsPerEffect;
    std::printf("in-process Backup All, 100 effects x 20 presets: %.0f ms\n", elapsed);
    std::printf("  %-18s %9s %11s %12s %10s\n", "per preset", "made", "prescribed", "us per call",
                "ms in all");
    double made[2] = {0, 0};
    double prescribed[2] = {0, 0};
    double ms[2] = {0, 0};
    for (const call_counter::Counter* c = counted.data(); c != counted.data() + counted.size();
         ++c) {
        const double perPreset = c->calls / presets;
        const double due = PrescribedPerPreset(c->name);
        made[c->registry ? 0 : 1] += perPreset;
        prescribed[c->registry ? 0 : 1] += due;
        ms[c->registry ? 0 : 1] += c->ms;
        if (c->calls == 0 && due == 0)
            continue;
        std::printf("  %-18s %9.2f %11.2f %12.1f %10.0f%s\n", c->name, perPreset, due,
                    c->calls != 0 ? c->ms * 1000.0 / c->calls : 0.0, c->ms,
                    perPreset > due + 1e-9 ? "   <- more than prescribed" : "");
    }
    std::printf("  %-18s %9.2f %11.2f %12s %10.0f\n", "registry calls", made[0], prescribed[0], "",
                ms[0]);
    std::printf("  %-18s %9.2f %11.2f %12s %10.0f\n", "stream calls", made[1], prescribed[1], "",
                ms[1]);
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
    ForEachBackupPreset([&](int, int, const char* effect, const char* preset) {
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
    if (!call_counter::Install())
        std::fprintf(stderr, "preset_store_bench: some calls cannot be counted\n");
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fill-big" || mode == "fill-backup" || mode == "wipe")
        test_prefix::RequireTestPrefix(); // they rewrite the product's tree
    const double start = Now();
    if (mode == "fill-big")
        FillBig();
    else if (mode == "fill-backup")
        FillBackup();
    else if (mode == "wipe")
        test_support::WipeKey(test_support::kProductKey);
    else if (mode == "inproc-backup" && argc > 2)
        InProcessBackup(argv[2]);
    else if (mode == "inproc" && argc > 2)
        InProcess(argv[2]);
    else if (mode == "files" && argc > 2)
        FilesOnly(argv[2]);
    else {
        std::fprintf(
            stderr,
            "usage: preset_store_bench fill-big|fill-backup|wipe|inproc|inproc-backup|files "
            "FOLDER\n");
        return 2;
    }
    std::fprintf(stderr, "%s: %.0f ms\n", mode.c_str(), Now() - start);
    return 0;
}
