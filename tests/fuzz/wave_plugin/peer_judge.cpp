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

// One reader's view of a file.
struct Reading {
    bool accepted = false;
    std::int64_t channels = 0, rate = 0, bits = 0, frames = 0;
    std::vector<std::int32_t> samples; // as signed values of the sample width
    std::vector<std::uint32_t> cues;   // sample positions, in file order
    std::vector<std::string> labels;   // label of each cue, "" for none
    std::vector<std::uint32_t> ids;    // cue id of each cue (the peer's reading only)
    std::string texts[4];              // title, artist, copyright, comment
};

// --- the plug-in, as the host drives it ---------------------------------------------------

std::int32_t SampleValue(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    int shift = 32 - 8 * bytes; // sign-extend from the sample's width
    return static_cast<std::int32_t>(v << shift) >> shift;
}

Reading ReadWithPlugin(const std::string& path, std::size_t fileBytes, std::uint32_t seed) {
    Reading r;
    WavePlugin* plugin = WavePlugin::Create();
    if (plugin == nullptr || !plugin->OpenFile(path.c_str(), 1)) {
        if (plugin != nullptr)
            plugin->Destroy(1);
        return r;
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

        // The host offers a marker record for each cue the header read announced.
        CPtrList markers;
        std::vector<std::vector<unsigned char>> records(plugin->cueCount > 0 ? plugin->cueCount
                                                                             : 0);
        for (auto& record : records) {
            record.assign(wave_test::kMarkerRecordBytes, 0);
            markers.AddTail(record.data());
        }
        plugin->hostMarkers = &markers;

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
        }
        for (const auto& record : records) {
            r.cues.push_back(host_marker::StartLow(record.data()));
            r.labels.emplace_back(
                host_marker::Label(record.data()),
                strnlen(host_marker::Label(record.data()), host_marker::kTextBytes));
        }
        plugin->hostMarkers = nullptr;
    }
    plugin->CloseFile(1);
    plugin->Destroy(1);
    return r;
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

// The bits per sample of the first format chunk, as the file states them; 0 when not stated.
std::uint32_t StatedBits(const unsigned char* data, std::size_t size) {
    for (std::size_t pos = 12; pos + 8 <= size;) {
        std::uint32_t chunk = riff::read_u32le(data + pos + 4);
        if (std::memcmp(data + pos, "fmt ", 4) == 0)
            return chunk >= 16 && pos + 24 <= size ? data[pos + 22] | data[pos + 23] << 8 : 0;
        pos += 8 + static_cast<std::size_t>(chunk) + (chunk & 1);
    }
    return 0;
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
unsigned Differences(const Reading& plugin, const Reading& peer, const Excuse& excuse,
                     unsigned* unexplained) {
    unsigned d = 0;
    *unexplained = 0;
    if (plugin.accepted != peer.accepted)
        d = kAccepted;
    else if (plugin.channels != peer.channels || plugin.rate != peer.rate ||
             plugin.bits != peer.bits)
        d = kFormat;
    else {
        if (plugin.frames != peer.frames)
            d |= kFrames;
        if (plugin.samples != peer.samples)
            d |= kSamples;
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
        std::fprintf(stderr, "    cue at %u \"%s\"\n", r.cues[i], r.labels[i].c_str());
    for (const std::string& text : r.texts)
        if (!text.empty())
            std::fprintf(stderr, "    text \"%.60s\"\n", text.c_str());
}

void Report(unsigned differences, unsigned unexplained, std::uint32_t traits, const Reading& plugin,
            const Reading& peer) {
    std::fprintf(stderr, "wave_peer_fuzz: readings differ in");
    for (unsigned f = 1; f <= kEveryField; f <<= 1)
        if (differences & f)
            std::fprintf(stderr, " %s%s", FieldName(f), unexplained & f ? " (!)" : "");
    std::fprintf(stderr, "; traits:");
    for (std::size_t i = 0; i < kDepartureCount; ++i)
        if (traits & (1u << kDepartures[i].trait))
            std::fprintf(stderr, " %s", kDepartures[i].name);
    std::fprintf(stderr, "\n");
    Describe("plug-in", plugin);
    Describe("libsndfile", peer);
}

} // namespace

Verdict Judge(const unsigned char* data, std::size_t size, const Departure* without, Say say) {
    Verdict v;
    Reading peer;
    Peer kind = ReadWithPeer(data, size, peer);
    if (kind == Peer::kOutside)
        return v;

    static const std::string path = "/tmp/wave_peer_fuzz_" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return v;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::uint32_t seed = size > 0 ? data[size - 1] : 0;
    Reading plugin = ReadWithPlugin(path, size, seed);

    v.findings = ScanTraits(data, size);
    v.excuse = Excused(v.findings, without);
    v.compared = v.excuse.Empty() ? Compared::kInFull : Compared::kExcused;
    if (kind == Peer::kNotPcm) {
        v.differences = plugin.accepted ? unsigned{kAccepted} : 0u;
        v.unexplained = v.differences & ~v.excuse.fields;
    } else {
        v.differences = Differences(plugin, peer, v.excuse, &v.unexplained);
    }
    if (v.differences != 0 &&
        (say == Say::kEvery || (say == Say::kUnexplained && v.unexplained != 0)))
        Report(v.differences, v.unexplained, v.findings.traits, plugin, peer);
    return v;
}

} // namespace wave_peer
