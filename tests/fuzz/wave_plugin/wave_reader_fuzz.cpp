// Arbitrary bytes as a WAVE file: open, header read, hand-over into host lists of lengths and
// null elements chosen from the input, reads to the end, seeks, and a copy written through the
// writer and read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "pointer_list.h"
#include "wave_plugin.h"

namespace {

constexpr std::size_t kMarkerBytes = 0x140;

struct HostLists {
    CPtrList markers;
    CPtrList entries;
    std::vector<std::vector<unsigned char>> records;

    void* NewRecord(std::size_t bytes) {
        records.emplace_back(bytes, 0);
        return records.back().data();
    }
    // length records, every nullEvery-th element null (0: none).
    void Fill(int markerCount, int entryCount, int nullEvery) {
        for (int i = 0; i < markerCount; ++i)
            markers.AddTail(nullEvery && i % nullEvery == nullEvery - 1 ? nullptr
                                                                        : NewRecord(kMarkerBytes));
        for (int i = 0; i < entryCount; ++i)
            entries.AddTail(nullEvery && i % nullEvery == 0 ? nullptr : NewRecord(sizeof(void*)));
    }
};

std::uint32_t Fnv(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

int Choose(std::uint32_t h, int count) {
    switch (h % 4) {
    case 0:
        return count;
    case 1:
        return count > 0 ? count - 1 : 0;
    case 2:
        return count + 2;
    default:
        return static_cast<int>((h >> 8) % 7);
    }
}

void ReadAll(WavePlugin* plugin, std::uint32_t h) {
    std::vector<unsigned char> buffer(1 + (h >> 12) % 5000);
    for (int i = 0; i < 100000; ++i)
        if (plugin->ReadSamples(buffer.data(), static_cast<std::int32_t>(buffer.size())) <= 0)
            break;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string in = "/tmp/wave_fuzz_in_" + std::to_string(getpid()) + ".wav";
    static const std::string out = "/tmp/wave_fuzz_out_" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::uint32_t h = Fnv(data, size);

    WavePlugin* plugin = WavePlugin::Create();
    if (plugin == nullptr || !plugin->OpenFile(in.c_str(), 1)) {
        if (plugin)
            plugin->Destroy(1);
        return 0;
    }
    std::int32_t ok = plugin->BeginRead();
    HostLists lists;
    int cues = plugin->cueCount > 4096 ? 4096 : plugin->cueCount;
    int segments = plugin->playListCount > 4096 ? 4096 : plugin->playListCount;
    lists.Fill(Choose(h, cues), Choose(h >> 2, segments), static_cast<int>((h >> 4) % 4));
    if ((h >> 6) % 5 != 0)
        plugin->hostMarkers = &lists.markers;
    if ((h >> 9) % 5 != 0)
        plugin->hostPlayList = &lists.entries;
    ReadAll(plugin, h);
    if (ok) {
        plugin->SeekFrame(static_cast<std::int32_t>((h >> 3) % 64));
        ReadAll(plugin, h >> 1);
        plugin->SeekFrame(-1);
        plugin->SeekFrame(0);
        ReadAll(plugin, h >> 2);
    }
    plugin->CloseFile(1);

    // Write what was handed over and read it back.
    if (ok && plugin->OpenFile(out.c_str(), 0)) {
        std::int64_t frames = plugin->info.frameCount;
        if (frames > 1000)
            plugin->info.frameCount = frames = 1000;
        plugin->WriteHeader();
        std::vector<unsigned char> samples(64, 0x55);
        std::int64_t frameBytes =
            static_cast<std::int64_t>(plugin->info.channels) * plugin->info.bitsPerSample / 8;
        if (frameBytes > 0 && frameBytes <= 64)
            for (std::int64_t i = 0; i < frames; ++i)
                plugin->WriteSamples(samples.data(), static_cast<std::int32_t>(frameBytes), 1);
        plugin->CloseFile(0);
        if (plugin->OpenFile(out.c_str(), 1)) {
            std::int32_t again = plugin->BeginRead();
            if (!again)
                std::abort(); // our own output must read back
            HostLists back;
            back.Fill(plugin->cueCount > 4096 ? 4096 : plugin->cueCount,
                      plugin->playListCount > 4096 ? 4096 : plugin->playListCount, 0);
            plugin->hostMarkers = &back.markers;
            plugin->hostPlayList = &back.entries;
            ReadAll(plugin, h);
            plugin->CloseFile(1);
        }
    }
    plugin->hostMarkers = nullptr;
    plugin->hostPlayList = nullptr;
    plugin->Destroy(1);
    return 0;
}
