// Figures for the wave plug-in:
//   read     ReadSamples on a 256 MiB 16-bit stereo file with a 64 KiB buffer against a plain
//            fread loop with the same buffer, in the same run.
//   markers  header read with hand-over, and WriteHeader, for 6,554 and 65,536 cue points with
//            labl, note and ltxt and a play list of the same size; then the header read of
//            files that list the labels and regions before the cue chunk.
//   memory   peak memory writing and reading a 1 MiB file, then a 1 GiB file.
// Usage: wave_bench [read|markers|memory] [folder]   (default: all three, system temp folder)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#endif

#include "host_record_size.h"
#include "pointer_list.h"
#include "wave_plugin.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBuffer = 64 * 1024;
using wave_test::kMarkerRecordBytes;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Plugin {
    WavePlugin* p = WavePlugin::Create();
    ~Plugin() { p->Destroy(1); }
};

double PeakMiB() {
#if defined(_WIN32)
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
#else
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    double kib = 0;
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kib = std::atof(line + 6);
    if (f)
        std::fclose(f);
    return kib / 1024.0;
#endif
}

// Writes a 16-bit stereo file of the given size through the plug-in.
bool WriteFile(const std::string& path, std::int64_t bytes) {
    Plugin w;
    if (!w.p->OpenFile(path.c_str(), 0))
        return false;
    w.p->info.channels = 2;
    w.p->info.bitsPerSample = 16;
    w.p->info.sampleRate = 44100;
    w.p->info.frameCount = bytes / 4;
    w.p->WriteHeader();
    std::vector<unsigned char> buffer(kBuffer);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<unsigned char>(i * 7);
    for (std::int64_t left = bytes; left > 0; left -= kBuffer) {
        std::int32_t chunk =
            static_cast<std::int32_t>(left < std::int64_t(kBuffer) ? left : kBuffer);
        w.p->WriteSamples(buffer.data(), chunk, chunk / 4);
    }
    w.p->CloseFile(0);
    return true;
}

std::int64_t ReadThroughPlugin(const std::string& path) {
    Plugin r;
    if (!r.p->OpenFile(path.c_str(), 1) || !r.p->BeginRead())
        return -1;
    std::vector<unsigned char> buffer(kBuffer);
    std::int64_t frames = 0;
    while (std::int32_t n = r.p->ReadSamples(buffer.data(), kBuffer))
        frames += n;
    r.p->CloseFile(1);
    return frames * 4;
}

std::int64_t ReadPlain(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return -1;
    std::vector<unsigned char> buffer(kBuffer);
    std::int64_t total = 0;
    while (std::size_t n = std::fread(buffer.data(), 1, kBuffer, f))
        total += n;
    std::fclose(f);
    return total;
}

void BenchRead(const std::string& folder) {
    std::string path = folder + "/wave_bench_read.wav";
    std::int64_t bytes = 256ll << 20;
    if (!WriteFile(path, bytes)) {
        std::printf("read: cannot write %s\n", path.c_str());
        return;
    }
    ReadPlain(path); // warm the page cache
    double bestPlain = 1e9, bestPlugin = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto t = Clock::now();
        ReadPlain(path);
        bestPlain = std::min(bestPlain, Seconds(t));
        t = Clock::now();
        if (ReadThroughPlugin(path) != bytes)
            std::printf("read: short read\n");
        bestPlugin = std::min(bestPlugin, Seconds(t));
    }
    double mib = bytes / 1048576.0;
    std::printf("read: 256 MiB, 64 KiB buffer: fread %.0f MiB/s, ReadSamples %.0f MiB/s, "
                "ratio %.2f\n",
                mib / bestPlain, mib / bestPlugin, bestPlain / bestPlugin);
    std::remove(path.c_str());
}

struct MarkerTimes {
    double write;
    double read;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The host's lists are built once per size; WriteHeader and the header read with hand-over
// are then timed five times each, and the medians are kept.
MarkerTimes MarkerRun(const std::string& folder, int count) {
    std::string path = folder + "/wave_bench_markers.wav";
    CPtrList markers, entries;
    std::vector<unsigned char> records(static_cast<std::size_t>(count) * kMarkerRecordBytes, 0);
    std::vector<void*> entryRecords(count);
    for (int i = 0; i < count; ++i) {
        unsigned char* m = &records[static_cast<std::size_t>(i) * kMarkerRecordBytes];
        std::snprintf(reinterpret_cast<char*>(m + host_marker::kLabel), 128, "label %d", i);
        std::snprintf(reinterpret_cast<char*>(m + host_marker::kNote), 128, "note %d", i);
        host_marker::SetStart(m, i * 10);
        host_marker::SetEnd(m, i * 10 + 5);
        host_marker::SetType(m, kMarkerRegion);
        markers.AddTail(m);
        entryRecords[i] = &records[static_cast<std::size_t>(count - 1 - i) * kMarkerRecordBytes];
    }
    for (int i = 0; i < count; ++i)
        entries.AddTail(&entryRecords[i]);
    std::vector<unsigned char> readRecords(records.size());
    std::vector<void*> readEntries(count);

    std::vector<double> writes, reads;
    for (int round = 0; round < 5; ++round) {
        {
            Plugin w;
            w.p->OpenFile(path.c_str(), 0);
            w.p->info.channels = 1;
            w.p->info.bitsPerSample = 16;
            w.p->info.sampleRate = 8000;
            w.p->hostMarkers = &markers;
            w.p->hostPlayList = &entries;
            auto t = Clock::now();
            w.p->WriteHeader();
            std::fflush(w.p->file);
            writes.push_back(Seconds(t));
            w.p->hostMarkers = w.p->hostPlayList = nullptr;
            w.p->CloseFile(0);
        }
        {
            Plugin r;
            r.p->OpenFile(path.c_str(), 1);
            auto t = Clock::now();
            r.p->BeginRead();
            CPtrList hostMarkers, hostEntries;
            for (int i = 0; i < r.p->cueCount && i < count; ++i)
                hostMarkers.AddTail(&readRecords[static_cast<std::size_t>(i) * kMarkerRecordBytes]);
            for (int i = 0; i < r.p->playListCount && i < count; ++i)
                hostEntries.AddTail(&readEntries[i]);
            r.p->hostMarkers = &hostMarkers;
            r.p->hostPlayList = &hostEntries;
            unsigned char buffer[4];
            r.p->ReadSamples(buffer, sizeof buffer);
            reads.push_back(Seconds(t));
            r.p->hostMarkers = r.p->hostPlayList = nullptr;
            r.p->CloseFile(1);
        }
    }
    std::remove(path.c_str());
    return {Median(writes), Median(reads)};
}

void Put32(std::vector<unsigned char>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void PutId(std::vector<unsigned char>& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

// A file as broadcast recorders lay it out: the labels, notes and regions listed before the
// cue chunk. Returns the median time of the header read with hand-over.
double ListFirstRun(const std::string& folder, int count) {
    std::string path = folder + "/wave_bench_list_first.wav";
    std::vector<unsigned char> list, cues;
    PutId(list, "adtl");
    for (int i = 1; i <= count; ++i) {
        char text[16];
        int n = std::snprintf(text, sizeof text, "label %d", i) + 1;
        n += n & 1;
        PutId(list, "labl");
        Put32(list, 4 + n);
        Put32(list, i);
        list.insert(list.end(), text, text + n);
        PutId(list, "ltxt");
        Put32(list, 20);
        Put32(list, i);
        Put32(list, 5);
        list.insert(list.end(), 12, 0);
    }
    Put32(cues, count);
    for (int i = 1; i <= count; ++i) {
        Put32(cues, i);
        Put32(cues, 0);
        PutId(cues, "data");
        Put32(cues, 0);
        Put32(cues, 0);
        Put32(cues, i * 10);
    }
    std::vector<unsigned char> file;
    PutId(file, "RIFF");
    Put32(file, 0);
    PutId(file, "WAVE");
    PutId(file, "fmt ");
    Put32(file, 16);
    for (std::uint32_t v : {0x00010001u, 8000u, 16000u, 0x00100002u})
        Put32(file, v);
    PutId(file, "LIST");
    Put32(file, static_cast<std::uint32_t>(list.size()));
    file.insert(file.end(), list.begin(), list.end());
    PutId(file, "cue ");
    Put32(file, static_cast<std::uint32_t>(cues.size()));
    file.insert(file.end(), cues.begin(), cues.end());
    PutId(file, "data");
    Put32(file, 4);
    Put32(file, 0);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    std::vector<unsigned char> records(static_cast<std::size_t>(count) * kMarkerRecordBytes);
    std::vector<double> reads;
    for (int round = 0; round < 5; ++round) {
        Plugin r;
        r.p->OpenFile(path.c_str(), 1);
        auto t = Clock::now();
        r.p->BeginRead();
        CPtrList hostMarkers;
        for (int i = 0; i < r.p->cueCount && i < count; ++i)
            hostMarkers.AddTail(&records[static_cast<std::size_t>(i) * kMarkerRecordBytes]);
        r.p->hostMarkers = &hostMarkers;
        unsigned char buffer[4];
        r.p->ReadSamples(buffer, sizeof buffer);
        reads.push_back(Seconds(t));
        r.p->hostMarkers = nullptr;
        r.p->CloseFile(1);
    }
    std::remove(path.c_str());
    return Median(reads);
}

void BenchMarkers(const std::string& folder) {
    MarkerRun(folder, 1000); // warm up
    MarkerTimes small = MarkerRun(folder, 6554);
    MarkerTimes large = MarkerRun(folder, 65536);
    std::printf("markers: WriteHeader 6554: %.4f s, 65536: %.4f s, ratio %.1f\n", small.write,
                large.write, large.write / small.write);
    std::printf("markers: header read + hand-over 6554: %.4f s, 65536: %.4f s, ratio %.1f\n",
                small.read, large.read, large.read / small.read);
    double smallFirst = ListFirstRun(folder, 6554);
    double largeFirst = ListFirstRun(folder, 65536);
    std::printf("markers: list before the cues, header read + hand-over 6554: %.4f s, 65536: "
                "%.4f s, ratio %.1f\n",
                smallFirst, largeFirst, largeFirst / smallFirst);
}

void BenchMemory(const std::string& folder) {
    std::string path = folder + "/wave_bench_memory.wav";
    double base = PeakMiB();
    WriteFile(path, 1ll << 20);
    ReadThroughPlugin(path);
    double small = PeakMiB();
    WriteFile(path, 1ll << 30);
    double afterWrite = PeakMiB();
    ReadThroughPlugin(path);
    double large = PeakMiB();
    std::printf("memory: peak before %.2f MiB; after 1 MiB write+read %.2f MiB; after 1 GiB "
                "write %.2f MiB, read %.2f MiB; growth %.2f MiB\n",
                base, small, afterWrite, large, large - small);
    std::remove(path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "all";
    std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    // cmake/wine-run names how the 32-bit code ran.
    const char* i386 = std::getenv("TRELLISAN_I386");
    if (i386 && std::string(i386) == "emulated")
        std::printf("note: the 32-bit code ran emulated (qemu-user): these figures are not "
                    "comparable with a machine that runs it natively\n");
    // Memory first: the peak is a high-water mark, and the marker lists would set it.
    if (what == "all" || what == "memory")
        BenchMemory(folder);
    if (what == "all" || what == "read")
        BenchRead(folder);
    if (what == "all" || what == "markers")
        BenchMarkers(folder);
    return 0;
}
