// Arbitrary bytes as a WAVE file: open, header read, hand-over into host lists of lengths and
// null elements chosen from the input, reads to the end, seeks, and a copy written through the
// writer and read back by a second object, which must find the format, texts and markers the
// writer was given.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "host_record_size.h"
#include "pointer_list.h"
#include "wave_plugin.h"

namespace {

using wave_test::kMarkerRecordBytes;

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
            markers.AddTail(nullEvery && i % nullEvery == nullEvery - 1
                                ? nullptr
                                : NewRecord(kMarkerRecordBytes));
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

// What the writer is given of one host marker, and what reading its output must give back.
struct Written {
    std::string label, note;
    std::uint32_t start;
    bool region;
    std::int32_t length;
};

std::string Field(const unsigned char* record, std::size_t offset) {
    const char* text = reinterpret_cast<const char*>(record + offset);
    return std::string(text, strnlen(text, host_marker::kTextBytes - 1));
}

std::vector<Written> WhatIsWritten(const CPtrList* markers) {
    std::vector<Written> out;
    if (markers == nullptr)
        return out;
    for (POSITION pos = markers->GetHeadPosition(); pos != nullptr;) {
        auto* m = static_cast<const unsigned char*>(markers->GetNext(pos));
        if (m == nullptr)
            continue;
        std::uint32_t start = host_marker::StartLow(m);
        out.push_back({Field(m, host_marker::kLabel), Field(m, host_marker::kNote), start,
                       host_marker::Type(m) != kMarkerPlain,
                       static_cast<std::int32_t>(host_marker::EndLow(m) - start + 1)});
    }
    return out;
}

// The copy read back holds the format, texts and markers the writer was given.
void CheckCopy(const WavePlugin& copy, const WaveInfo& given, std::int64_t frames,
               const std::vector<Written>& markers) {
    bool same = copy.info.channels == given.channels &&
                copy.info.bitsPerSample == given.bitsPerSample &&
                copy.info.sampleRate == given.sampleRate && copy.info.frameCount == frames &&
                std::strcmp(copy.info.title, given.title) == 0 &&
                std::strcmp(copy.info.artist, given.artist) == 0 &&
                std::strcmp(copy.info.rightsNotice, given.rightsNotice) == 0 &&
                std::strcmp(copy.info.comment, given.comment) == 0 &&
                copy.cues.GetCount() == static_cast<int>(markers.size());
    std::size_t i = 0;
    for (POSITION pos = copy.cues.GetHeadPosition(); same && pos != nullptr; ++i) {
        auto* cue = static_cast<const CueRecord*>(copy.cues.GetNext(pos));
        const Written& w = markers[i];
        same = cue->label == w.label && cue->note == w.note && cue->start == w.start &&
               cue->markerType == (w.region ? kMarkerRegion : kMarkerPlain) &&
               (!w.region || cue->end == cue->start + w.length - 1);
    }
    if (!same)
        std::abort(); // our own output must read back as written
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
        std::vector<Written> markers = WhatIsWritten(plugin->hostMarkers);
        plugin->WriteHeader();
        std::vector<unsigned char> samples(64, 0x55);
        std::int64_t frameBytes =
            static_cast<std::int64_t>(plugin->info.channels) * plugin->info.bitsPerSample / 8;
        // The close sizes the data chunk from the frames written.
        std::int64_t written = 0;
        if (frameBytes > 0 && frameBytes <= 64)
            for (std::int64_t i = 0; i < frames; ++i)
                written +=
                    plugin->WriteSamples(samples.data(), static_cast<std::int32_t>(frameBytes), 1);
        frames = written;
        plugin->CloseFile(0);
        WavePlugin* copy = WavePlugin::Create();
        if (copy != nullptr && copy->OpenFile(out.c_str(), 1)) {
            std::int32_t again = copy->BeginRead();
            if (!again)
                std::abort(); // our own output must read back
            CheckCopy(*copy, plugin->info, frames, markers);
            HostLists back;
            back.Fill(copy->cueCount > 4096 ? 4096 : copy->cueCount,
                      copy->playListCount > 4096 ? 4096 : copy->playListCount, 0);
            copy->hostMarkers = &back.markers;
            copy->hostPlayList = &back.entries;
            ReadAll(copy, h);
            copy->CloseFile(1);
            copy->hostMarkers = nullptr;
            copy->hostPlayList = nullptr;
        }
        if (copy != nullptr)
            copy->Destroy(1);
    }
    plugin->hostMarkers = nullptr;
    plugin->hostPlayList = nullptr;
    plugin->Destroy(1);
    return 0;
}
