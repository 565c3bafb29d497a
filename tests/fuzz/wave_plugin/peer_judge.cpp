// The peer judge: one input read through the wave plug-in, as the host drives it, and through
// libsndfile from memory, and the two readings compared under the table of departures.
#include "peer_judge.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <sndfile.h>

#include "host_record_size.h"
#include "pointer_list.h"
#include "riff_bytes.h"
#include "wave_plugin.h"

namespace wave_peer {
namespace {

constexpr std::int64_t kMostSamples = 1 << 16; // more than an input of libFuzzer's sizes holds
constexpr std::uint32_t kPeerMostCues = 2500;  // the peer reads no cue chunk that counts more
// The peer reads a file's chunks through a buffer it does not grow past 64 KiB, and refuses a
// file whose chunks besides the data need more; a copy whose chunks take half that is read.
constexpr std::size_t kPeerHeaderBytes = 32 * 1024;

// One reader's view of a file.
struct Reading {
    bool accepted = false;
    std::int64_t channels = 0, rate = 0, bits = 0, frames = 0;
    std::vector<std::int32_t> samples; // as signed values of the sample width
    std::vector<std::int64_t> cues;    // sample positions, in file order
    std::vector<std::string> labels;   // label of each cue, "" for none
    std::vector<std::uint32_t> ids;    // cue id of each cue (the peer's reading only)
    std::string texts[4];              // title, artist, copyright, comment
    // The frame read after a seek to each of the probe frames (none where there is none).
    std::vector<std::vector<std::int32_t>> seeks;
};

// The frames a seek is tried at, from the peer's frame count: the first, the second, a third
// and half the way in, the last, and one past it.
std::vector<std::int64_t> SeekProbes(std::int64_t frames) {
    return {0, 1, frames / 3, frames / 2, frames - 1, frames};
}

// The plug-in's reading, the bytes of its frames as the host received them, and its markers
// and play list, for the copy through the writer.
struct PluginView {
    Reading reading;
    std::vector<unsigned char> frameBytes;
    std::vector<std::vector<unsigned char>> markers;
    std::vector<int> entries;  // the marker each play-list entry points at; -1 for none
    bool playListSound = true; // every entry points at one of the host's markers, or at none
    std::string texts[4];
    std::int64_t channels = 0, rate = 0, bits = 0;
};

// --- the plug-in, as the host drives it ---------------------------------------------------

std::int32_t SampleValue(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    int shift = 32 - 8 * bytes; // sign-extend from the sample's width
    return static_cast<std::int32_t>(v << shift) >> shift;
}

void ReadWithPlugin(const std::string& path, std::size_t fileBytes, std::uint32_t seed,
                    const std::vector<std::int64_t>& probes, PluginView* view) {
    Reading& r = view->reading;
    WavePlugin* plugin = WavePlugin::Create();
    if (plugin == nullptr || !plugin->OpenFile(path.c_str(), 1)) {
        if (plugin != nullptr)
            plugin->Destroy(1);
        return;
    }
    r.accepted = plugin->BeginRead() != 0;
    if (r.accepted) {
        const WaveInfo& info = plugin->info;
        r.channels = info.channels;
        r.rate = info.sampleRate;
        r.bits = info.bitsPerSample;
        r.frames = info.frameCount;
        r.texts[0] = info.title;
        r.texts[1] = info.artist;
        r.texts[2] = info.rightsNotice;
        r.texts[3] = info.comment;

        // The host offers a marker record for each cue and an entry record for each play-list
        // segment the header read announced.
        CPtrList markers, entries;
        auto& records = view->markers;
        records.assign(plugin->cueCount > 0 ? plugin->cueCount : 0,
                       std::vector<unsigned char>(wave_test::kMarkerRecordBytes, 0));
        for (auto& record : records)
            markers.AddTail(record.data());
        std::vector<std::vector<unsigned char>> entryRecords(
            plugin->playListCount > 0 ? plugin->playListCount : 0,
            std::vector<unsigned char>(sizeof(void*) * 2, 0));
        for (auto& entry : entryRecords)
            entries.AddTail(entry.data());
        plugin->hostMarkers = &markers;
        plugin->hostPlayList = &entries;

        // Whole frames through a buffer of 1 to 7 frames.
        const int sampleBytes = static_cast<int>(r.bits / 8);
        const std::int64_t frameBytes = r.channels * sampleBytes;
        // A frame longer than the file cannot be in it: a buffer of one byte gets the same 0.
        std::vector<unsigned char> buffer(
            frameBytes > static_cast<std::int64_t>(fileBytes)
                ? 1
                : static_cast<std::size_t>(frameBytes * (1 + seed % 7)));
        const std::int64_t mostFrames = kMostSamples / (r.channels > 0 ? r.channels : 1);
        for (std::int64_t total = 0; total <= mostFrames;) {
            std::int32_t got =
                plugin->ReadSamples(buffer.data(), static_cast<std::int32_t>(buffer.size()));
            if (got <= 0)
                break;
            total += got;
            // Wider samples than 32 bits: libsndfile reads none, so the format differs anyway.
            for (std::int64_t i = 0; sampleBytes <= 4 && i < got * r.channels; ++i)
                r.samples.push_back(SampleValue(buffer.data() + i * sampleBytes, sampleBytes));
            view->frameBytes.insert(view->frameBytes.end(), buffer.begin(),
                                    buffer.begin() + got * frameBytes);
        }
        for (const auto& record : records) {
            r.cues.push_back(host_marker::Start(record.data()));
            r.labels.emplace_back(
                host_marker::Label(record.data()),
                strnlen(host_marker::Label(record.data()), host_marker::kTextBytes));
        }
        for (const auto& entry : entryRecords) {
            const void* marker = host_play_list_entry::Marker(entry.data());
            int at = -1;
            for (std::size_t i = 0; i < records.size() && marker != nullptr; ++i)
                if (marker == records[i].data())
                    at = static_cast<int>(i);
            view->playListSound = view->playListSound && (marker == nullptr || at >= 0);
            view->entries.push_back(at);
        }
        plugin->hostMarkers = nullptr;
        plugin->hostPlayList = nullptr;

        // A frame after a seek, as the host reads one.
        for (std::int64_t frame : probes) {
            r.seeks.emplace_back();
            if (frame < 0 || frame > INT32_MAX || frameBytes <= 0 || sampleBytes > 4 ||
                frameBytes > static_cast<std::int64_t>(fileBytes) ||
                !plugin->SeekFrame(static_cast<std::int32_t>(frame)))
                continue;
            std::vector<unsigned char> one(static_cast<std::size_t>(frameBytes));
            if (plugin->ReadSamples(one.data(), static_cast<std::int32_t>(one.size())) == 1)
                for (std::int64_t i = 0; i < r.channels; ++i)
                    r.seeks.back().push_back(
                        SampleValue(one.data() + i * sampleBytes, sampleBytes));
        }
        view->channels = info.channels;
        view->rate = info.sampleRate;
        view->bits = info.bitsPerSample;
        for (int i = 0; i < kTextKinds; ++i)
            view->texts[i] = r.texts[i];
    }
    plugin->CloseFile(1);
    plugin->Destroy(1);
}

// Writes what the plug-in read through its writer, as the host copies a file: the format, the
// texts, the markers and play list as the hand-over filled them, and the frames. False where
// the file cannot be written.
bool WriteCopy(const std::string& path, const PluginView& view) {
    WavePlugin* plugin = WavePlugin::Create();
    if (plugin == nullptr)
        return false;
    if (!plugin->OpenFile(path.c_str(), 0)) {
        plugin->Destroy(1);
        return false;
    }
    WaveInfo& info = plugin->info;
    info.channels = static_cast<std::int32_t>(view.channels);
    info.sampleRate = static_cast<std::uint32_t>(view.rate);
    info.bitsPerSample = static_cast<std::int32_t>(view.bits);
    const std::int64_t frameBytes = info.FrameBytes();
    info.frameCount = static_cast<std::int64_t>(view.frameBytes.size()) / frameBytes;
    char* const texts[kTextKinds] = {info.title, info.artist, info.rightsNotice, info.comment};
    for (int i = 0; i < kTextKinds; ++i)
        std::memcpy(texts[i], view.texts[i].c_str(), view.texts[i].size() + 1);
    CPtrList markers;
    std::vector<std::vector<unsigned char>> records = view.markers;
    for (auto& record : records)
        markers.AddTail(record.data());
    CPtrList entries;
    std::vector<std::vector<unsigned char>> entryRecords(
        view.entries.size(), std::vector<unsigned char>(sizeof(void*) * 2, 0));
    for (std::size_t i = 0; i < entryRecords.size(); ++i) {
        if (view.entries[i] >= 0)
            host_play_list_entry::SetMarker(
                entryRecords[i].data(), records[static_cast<std::size_t>(view.entries[i])].data());
        entries.AddTail(entryRecords[i].data());
    }
    plugin->hostMarkers = &markers;
    plugin->hostPlayList = &entries;
    bool written = plugin->WriteHeader() != 0;
    std::vector<unsigned char> frames = view.frameBytes; // the writer converts 8-bit in place
    for (std::size_t at = 0; written && at < frames.size();) {
        const std::int64_t count = std::min<std::int64_t>(
            4096, static_cast<std::int64_t>(frames.size() - at) / frameBytes);
        const std::int32_t put =
            plugin->WriteSamples(frames.data() + at, static_cast<std::int32_t>(count * frameBytes),
                                 static_cast<std::int32_t>(count));
        written = put == count;
        at += static_cast<std::size_t>(count * frameBytes);
    }
    plugin->hostMarkers = nullptr;
    plugin->hostPlayList = nullptr;
    plugin->CloseFile(0);
    plugin->Destroy(1);
    return written;
}

// --- libsndfile, reading from memory -------------------------------------------------------

struct Memory {
    const unsigned char* data;
    sf_count_t size, at;
};

sf_count_t Length(void* m) {
    return static_cast<Memory*>(m)->size;
}
sf_count_t Seek(sf_count_t offset, int whence, void* p) {
    Memory* m = static_cast<Memory*>(p);
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->size;
    if (offset > 0 ? base > INT64_MAX - offset : base + offset < 0)
        return -1;
    return m->at = base + offset;
}
sf_count_t Read(void* out, sf_count_t count, void* p) {
    Memory* m = static_cast<Memory*>(p);
    sf_count_t left = m->at < m->size ? m->size - m->at : 0;
    if (count > left)
        count = left;
    if (count > 0)
        std::memcpy(out, m->data + m->at, static_cast<std::size_t>(count));
    m->at += count;
    return count;
}
sf_count_t Write(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t Tell(void* m) {
    return static_cast<Memory*>(m)->at;
}

// Bits of an integer PCM sub-format, 0 for any other.
int PcmBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

// The bits per sample of the format chunk the peer keeps (in RIFF the first, in RF64 the last),
// as the file states them; 0 when not stated.
std::uint32_t StatedBits(const unsigned char* data, std::size_t size) {
    const bool last = size >= 4 && std::memcmp(data, "RIFF", 4) != 0;
    std::uint32_t bits = 0;
    for (std::size_t pos = 12; pos + 8 <= size;) {
        std::uint32_t chunk = riff::read_u32le(data + pos + 4);
        if (std::memcmp(data + pos, "fmt ", 4) == 0) {
            bits = chunk >= 16 && pos + 24 <= size ? data[pos + 22] | data[pos + 23] << 8 : 0;
            if (!last)
                return bits;
        }
        pos += 8 + static_cast<std::size_t>(chunk) + (chunk & 1);
    }
    return bits;
}

enum class Peer { kOutside, kNotPcm, kPcm };

// Reads with libsndfile. kOutside: not a WAVE file to it, or a sample width that is not whole
// bytes; kNotPcm: a WAVE file of another encoding (float, compressed), which the plug-in must
// refuse; kPcm: read into r.
Peer ReadWithPeer(const unsigned char* data, std::size_t size, Reading& r) {
    // Only these headers make a WAVE file to libsndfile; sparing it the rest keeps it from
    // guessing at other formats.
    if (size < 12 || std::memcmp(data + 8, "WAVE", 4) != 0 ||
        (std::memcmp(data, "RIFF", 4) != 0 && std::memcmp(data, "RIFX", 4) != 0 &&
         std::memcmp(data, "RF64", 4) != 0 && std::memcmp(data, "BW64", 4) != 0))
        return Peer::kOutside;
    if (PeerWouldLoop(data, size))
        return Peer::kOutside;
    std::vector<unsigned char> copy;
    for (std::size_t i = 0; i < kFormStandInCount; ++i)
        if (std::memcmp(data, kFormStandIns[i].form, 4) == 0) {
            copy.assign(data, data + size);
            std::memcpy(copy.data(), kFormStandIns[i].peerForm, 4);
            data = copy.data();
        }
    SF_VIRTUAL_IO io = {Length, Seek, Read, Write, Tell};
    Memory memory = {data, static_cast<sf_count_t>(size), 0};
    SF_INFO info = {};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (sf == nullptr)
        return Peer::kOutside;
    int major = info.format & SF_FORMAT_TYPEMASK;
    int bits = PcmBits(info.format);
    Peer kind = Peer::kPcm;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64)
        kind = Peer::kOutside;
    else if (bits == 0)
        kind = Peer::kNotPcm;
    else if (StatedBits(data, size) != static_cast<std::uint32_t>(bits))
        kind = Peer::kOutside; // 12 bits in 2 bytes and the like: not whole bytes per sample
    if (kind != Peer::kPcm) {
        sf_close(sf);
        return kind;
    }
    r.accepted = true;
    r.channels = info.channels;
    r.rate = info.samplerate;
    r.bits = bits;
    r.frames = info.frames;
    std::vector<int> block(static_cast<std::size_t>(info.channels) * 64);
    for (sf_count_t got; static_cast<std::int64_t>(r.samples.size()) <= kMostSamples &&
                         (got = sf_readf_int(sf, block.data(), 64)) > 0;)
        for (sf_count_t i = 0; i < got * info.channels; ++i)
            r.samples.push_back(block[static_cast<std::size_t>(i)] >> (32 - bits));

    std::uint32_t count = 0;
    if (sf_command(sf, SFC_GET_CUE_COUNT, &count, sizeof count) && count > 0) {
        std::size_t bytes = sizeof(SF_CUES) + count * sizeof(SF_CUE_POINT);
        std::vector<unsigned char> storage(bytes);
        SF_CUES* cues = reinterpret_cast<SF_CUES*>(storage.data());
        // The points run on past the 100 that the structure declares.
        const SF_CUE_POINT* points = cues->cue_points;
        if (sf_command(sf, SFC_GET_CUE, cues, static_cast<int>(bytes)))
            for (std::uint32_t i = 0; i < cues->cue_count; ++i) {
                r.cues.push_back(static_cast<std::uint32_t>(points[i].sample_offset));
                r.ids.push_back(static_cast<std::uint32_t>(points[i].indx));
                r.labels.emplace_back(points[i].name,
                                      strnlen(points[i].name, sizeof points[i].name));
            }
    }
    for (std::int64_t frame : SeekProbes(r.frames)) {
        r.seeks.emplace_back();
        if (sf_seek(sf, frame, SEEK_SET) != frame || sf_readf_int(sf, block.data(), 1) != 1)
            continue;
        for (int i = 0; i < info.channels; ++i)
            r.seeks.back().push_back(block[static_cast<std::size_t>(i)] >> (32 - bits));
    }
    const int kinds[4] = {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_COPYRIGHT, SF_STR_COMMENT};
    for (int i = 0; i < 4; ++i) {
        const char* text = sf_get_string(sf, kinds[i]);
        r.texts[i] = text != nullptr ? text : "";
    }
    sf_close(sf);
    return Peer::kPcm;
}

// --- comparing ------------------------------------------------------------------------------

// The readings in which the two differ; those the excuse does not cover go to unexplained.
unsigned Differences(const Reading& plugin, Reading peer, const Excuse& excuse,
                     unsigned* unexplained) {
    unsigned d = 0;
    *unexplained = 0;
    // The points the peer reports past those in the file must be empty; the rest are compared.
    if (peer.cues.size() > excuse.cuesKept) {
        for (std::size_t i = excuse.cuesKept; i < peer.cues.size(); ++i)
            if (peer.cues[i] != 0 || !peer.labels[i].empty())
                *unexplained |= kCues;
        peer.cues.resize(excuse.cuesKept);
        peer.labels.resize(excuse.cuesKept);
        peer.ids.resize(excuse.cuesKept);
    }
    if (plugin.accepted != peer.accepted)
        d = kAccepted;
    else if (plugin.channels != peer.channels || plugin.rate != peer.rate ||
             plugin.bits != peer.bits)
        d = kFormat;
    else {
        if (plugin.frames != peer.frames)
            d |= kFrames;
        // The samples read through, and the frame read after each seek.
        if (plugin.samples != peer.samples || plugin.seeks != peer.seeks)
            d |= kSamples;
        // The whole 64-bit start the host receives.
        if (plugin.cues != peer.cues)
            d |= kCues;
        // Labels are compared cue by cue where the cues agree; the host's field holds 127
        // characters.
        for (std::size_t i = 0; !(d & kCues) && i < plugin.labels.size(); ++i)
            if (plugin.labels[i] != peer.labels[i].substr(0, host_marker::kTextBytes - 1)) {
                d |= kLabels;
                if (!excuse.Label(peer.ids[i]))
                    *unexplained |= kLabels;
            }
        for (int i = 0; i < kTextKinds; ++i)
            if (plugin.texts[i] != peer.texts[i]) {
                d |= kTexts;
                if (!excuse.Text(i))
                    *unexplained |= kTexts;
            }
    }
    *unexplained |= d & ~excuse.fields & ~(kLabels | kTexts);
    return d | (*unexplained & kCues);
}

// Makes readings of the plug-in's wrong, for the tests that prove the judge sees them: each
// field in `fields`, and of the labels and texts the first the excuse leaves. Returns the
// fields it changed.
unsigned Tamper(Reading& r, const Reading& peer, const Excuse& excuse, unsigned fields) {
    unsigned changed = fields & (kAccepted | kFormat | kFrames | kSamples | kCues);
    if (fields & kAccepted)
        r.accepted = !r.accepted;
    if (fields & kFormat)
        r.rate += 1;
    if (fields & kFrames)
        r.frames += 1;
    if (fields & kSamples) {
        if (r.samples.empty())
            r.samples.push_back(1);
        else
            r.samples.back() ^= 1;
    }
    if (fields & kCues) {
        if (r.cues.empty())
            r.cues.push_back(0);
        else
            r.cues.back() += std::int64_t{1} << 32; // the high word only
    }
    for (std::size_t i = 0; (fields & kLabels) && i < r.labels.size() && i < peer.ids.size(); ++i)
        if (!excuse.Label(peer.ids[i])) {
            r.labels[i] += "!";
            changed |= kLabels;
            break;
        }
    for (int i = 0; (fields & kTexts) && i < kTextKinds; ++i)
        if (!excuse.Text(i)) {
            r.texts[i] += "!";
            changed |= kTexts;
            break;
        }
    return changed;
}

// The readings in which the copy, as the peer reads it, differs from what the plug-in read:
// the frames it delivered, their samples, the low words of the marker starts (what a cue
// point holds), the labels and the texts. The peer reads no cue chunk of more than 2500 points.
unsigned CopyDifferences(const Reading& plugin, const Reading& copy) {
    if (!copy.accepted)
        return kAccepted;
    if (plugin.channels != copy.channels || plugin.rate != copy.rate || plugin.bits != copy.bits)
        return kFormat;
    unsigned d = 0;
    if (copy.frames * plugin.channels != static_cast<std::int64_t>(plugin.samples.size()))
        d |= kFrames;
    if (copy.samples != plugin.samples)
        d |= kSamples;
    if (plugin.cues.size() <= kPeerMostCues) {
        std::vector<std::int64_t> starts;
        for (std::int64_t start : plugin.cues)
            starts.push_back(static_cast<std::uint32_t>(start));
        if (starts != copy.cues)
            d |= kCues;
        else if (plugin.labels != copy.labels)
            d |= kLabels;
    }
    for (int i = 0; i < kTextKinds; ++i)
        if (plugin.texts[i] != copy.texts[i])
            d |= kTexts;
    return d;
}

void Describe(const char* who, const Reading& r) {
    std::fprintf(stderr,
                 "  %s: accepted %d, %lld ch, %lld Hz, %lld bits, %lld frames, %zu samples, "
                 "%zu cues\n",
                 who, r.accepted, static_cast<long long>(r.channels),
                 static_cast<long long>(r.rate), static_cast<long long>(r.bits),
                 static_cast<long long>(r.frames), r.samples.size(), r.cues.size());
    for (std::size_t i = 0; i < r.cues.size() && i < 4; ++i)
        std::fprintf(stderr, "    cue at %lld \"%s\"\n", static_cast<long long>(r.cues[i]),
                     r.labels[i].c_str());
    for (const std::string& text : r.texts)
        if (!text.empty())
            std::fprintf(stderr, "    text \"%.60s\"\n", text.c_str());
}

void Report(const char* what, unsigned differences, unsigned unexplained, std::uint32_t traits,
            const Reading& plugin, const char* peerName, const Reading& peer) {
    std::fprintf(stderr, "wave_peer_fuzz: %s differ in", what);
    for (unsigned f = 1; f <= kEveryField; f <<= 1)
        if (differences & f)
            std::fprintf(stderr, " %s%s", FieldName(f), unexplained & f ? " (!)" : "");
    std::fprintf(stderr, "; traits:");
    for (std::size_t i = 0; i < kDepartureCount; ++i)
        if (traits & (1u << kDepartures[i].trait))
            std::fprintf(stderr, " %s", kDepartures[i].name);
    std::fprintf(stderr, "\n");
    Describe("plug-in", plugin);
    Describe(peerName, peer);
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char block[4096];
        for (std::size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;)
            bytes.insert(bytes.end(), block, block + got);
        std::fclose(f);
    }
    return bytes;
}

} // namespace

Verdict Judge(const unsigned char* data, std::size_t size, const Departure* without, Say say,
              unsigned tamper) {
    Verdict v;
    Reading peer;
    Peer kind = ReadWithPeer(data, size, peer);
    if (kind == Peer::kOutside)
        return v;

    static const std::string path = "/tmp/wave_peer_fuzz_" + std::to_string(getpid()) + ".wav";
    static const std::string copyPath = path + ".copy.wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return v;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::uint32_t seed = size > 0 ? data[size - 1] : 0;
    PluginView view;
    ReadWithPlugin(path, size, seed, SeekProbes(peer.frames), &view);
    Reading& plugin = view.reading;

    v.findings = ScanTraits(data, size);
    v.excuse = Excused(v.findings, without);
    v.compared = v.excuse.Empty() ? Compared::kInFull : Compared::kExcused;
    v.tampered = Tamper(plugin, peer, v.excuse, tamper);
    if (kind == Peer::kNotPcm) {
        v.differences = plugin.accepted ? unsigned{kAccepted} : 0u;
        v.unexplained = v.differences & ~v.excuse.fields;
    } else {
        v.differences = Differences(plugin, peer, v.excuse, &v.unexplained);
    }
    if (v.differences != 0 &&
        (say == Say::kEvery || (say == Say::kUnexplained && v.unexplained != 0)))
        Report("readings", v.differences, v.unexplained, v.findings.traits, plugin, "libsndfile",
               peer);
    if (!view.playListSound) {
        v.copyDifferences |= kCues;
        if (say != Say::kNothing)
            std::fprintf(stderr, "wave_peer_fuzz: a play-list entry points at no marker of the "
                                 "host's\n");
    }

    // What the plug-in read, written through its writer, reads the same in the peer, where the
    // peer takes the format at all: up to 1024 channels, a sample rate of 1 to 2^31 - 1 (an int
    // to it), samples of up to 32 bits.
    if (kind == Peer::kPcm && plugin.accepted && plugin.channels > 0 && plugin.channels <= 1024 &&
        plugin.rate > 0 && plugin.rate <= INT32_MAX && plugin.bits >= 8 && plugin.bits <= 32 &&
        WriteCopy(copyPath, view)) {
        const std::vector<unsigned char> bytes = FileBytes(copyPath);
        std::remove(copyPath.c_str());
        if (bytes.size() - view.frameBytes.size() > kPeerHeaderBytes)
            return v;
        Reading copy;
        ReadWithPeer(bytes.data(), bytes.size(), copy);
        const unsigned d = CopyDifferences(plugin, copy);
        v.copyDifferences |= d;
        if (d != 0 && say != Say::kNothing)
            Report("the copy's readings", d, d, 0, plugin, "libsndfile, the copy", copy);
    }
    return v;
}

} // namespace wave_peer
