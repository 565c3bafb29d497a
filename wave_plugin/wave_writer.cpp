// The WAVE writer: the header with the format, INFO texts, cue points, regions and play list
// from the object and the host's lists, then the sample frames.
//
// The header is laid out twice: once only counted, to learn whether the file fits the 32-bit
// sizes of a RIFF file, then written. A file that does not fit is written as RF64: the same
// chunks after a "ds64" chunk that holds the 64-bit sizes.
#include "wave_plugin.h"

#include <cstring>

#include "chunk_writer.h"
#include "file_stream.h"
#include "key_index.h"
#include "riff_bytes.h"

#ifndef WAVE_RIFF_SIZE_LIMIT
#define WAVE_RIFF_SIZE_LIMIT 0xFFFFFFFF
#endif

namespace {

using riff::ChunkWriter;

// The largest RIFF size (the file's length less 8) written as a RIFF file; test builds lower
// it to reach the RF64 layout with small files.
constexpr std::uint64_t kRiffSizeLimit = WAVE_RIFF_SIZE_LIMIT;
constexpr std::uint32_t kSizePlaceholder = 0xFFFFFFFF;

const unsigned char* At(const void* record, std::size_t offset) {
    return static_cast<const unsigned char*>(record) + offset;
}
std::uint32_t LowWord(const void* record, std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, At(record, offset), sizeof v);
    return v;
}
std::int32_t TypeOf(const void* marker) {
    return static_cast<std::int32_t>(LowWord(marker, host_marker::kMarkerType));
}
const void* EntryMarker(const void* entry) {
    const void* marker;
    std::memcpy(&marker, At(entry, host_play_list_entry::kMarker), sizeof marker);
    return marker;
}
// Sample length of a marker as a region or play-list segment: low words, end - start + 1.
std::uint32_t SampleLength(const void* marker) {
    return LowWord(marker, host_marker::kEnd) - LowWord(marker, host_marker::kStart) + 1;
}

// The chunks of one header, from the format chunk to the data chunk's header.
class HeaderChunks {
public:
    HeaderChunks(const WavePlugin& p, std::int64_t dataBytes) : m(p), m_dataBytes(dataBytes) {
        if (m.hostMarkers != nullptr)
            for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;)
                if (m.hostMarkers->GetNext(pos) != nullptr)
                    ++m_markerCount;
    }

    void Write(ChunkWriter& out, bool sixtyFour) const {
        Format(out);
        InfoTexts(out);
        // Markers are numbered from 1 in list order; null elements are passed over and not
        // counted.
        if (m_markerCount > 0) {
            Cues(out);
            Labels(out);
            PlayList(out);
        }
        out.Header("data", sixtyFour ? riff::kSizeInDs64 : static_cast<std::uint32_t>(m_dataBytes));
    }

private:
    void Format(ChunkWriter& out) const;
    void InfoTexts(ChunkWriter& out) const;
    void Cues(ChunkWriter& out) const;
    void Labels(ChunkWriter& out) const;
    void PlayList(ChunkWriter& out) const;
    std::uint32_t FirstPosition(const KeyIndex& positions, const void* marker) const;

    const WavePlugin& m;
    std::int64_t m_dataBytes;
    std::uint32_t m_markerCount = 0;
};

void HeaderChunks::Format(ChunkWriter& out) const {
    std::uint16_t blockAlign = static_cast<std::uint16_t>(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(m.info.channels) *
                                  static_cast<std::uint32_t>(m.info.bitsPerSample)) /
        8);
    out.Header("fmt ", riff::kFormatWrittenBytes);
    out.U16(riff::kTagPcm);
    out.U16(static_cast<std::uint32_t>(m.info.channels));
    out.U32(m.info.sampleRate);
    out.U32(blockAlign * m.info.sampleRate);
    out.U16(blockAlign);
    out.U16(static_cast<std::uint32_t>(m.info.bitsPerSample));
    out.U16(0); // no extra bytes
}

void HeaderChunks::InfoTexts(ChunkWriter& out) const {
    struct InfoItem {
        const char* id;
        const char* text;
        std::size_t capacity;
    };
    const InfoItem items[] = {{"INAM", m.info.title, kTextBytes},
                              {"IART", m.info.artist, kTextBytes},
                              {"ICMT", m.info.comment, kCommentBytes},
                              {"ICOP", m.info.rightsNotice, kTextBytes}};
    for (const InfoItem& item : items) {
        if (item.text[0] == '\0')
            continue;
        out.Header(item.id, ChunkWriter::TextSize(item.text, item.capacity));
        out.Text(item.text, item.capacity);
    }
}

void HeaderChunks::Cues(ChunkWriter& out) const {
    out.Header("CUE ", static_cast<std::uint32_t>(riff::kCuePointBytes * m_markerCount + 4));
    out.U32(m_markerCount);
    std::uint32_t id = 0;
    for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
        const void* marker = m.hostMarkers->GetNext(pos);
        if (marker == nullptr)
            continue;
        unsigned char point[riff::kCuePointBytes] = {};
        riff::put_u32le(point, ++id);
        std::memcpy(point + 8, "data", 4);
        riff::put_u32le(point + 20, LowWord(marker, host_marker::kStart));
        out.Bytes(point, sizeof point);
    }
}

void HeaderChunks::Labels(ChunkWriter& out) const {
    out.Begin("list");
    out.Bytes("adtl", 4);
    std::uint32_t id = 0;
    for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
        const void* marker = m.hostMarkers->GetNext(pos);
        if (marker == nullptr)
            continue;
        ++id;
        if (TypeOf(marker) == kMarkerPlain)
            continue;
        unsigned char ltxt[riff::kLtxtFixedBytes] = {};
        riff::put_u32le(ltxt, id);
        riff::put_u32le(ltxt + 4, SampleLength(marker));
        out.Header("ltxt", riff::kLtxtFixedBytes);
        out.Bytes(ltxt, sizeof ltxt);
    }
    const struct {
        const char* id;
        std::size_t offset;
    } texts[] = {{"labl", host_marker::kLabel}, {"note", host_marker::kNote}};
    for (const auto& kind : texts) {
        id = 0;
        for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
            const void* marker = m.hostMarkers->GetNext(pos);
            if (marker == nullptr)
                continue;
            const char* text = reinterpret_cast<const char*>(At(marker, kind.offset));
            out.Header(kind.id, static_cast<std::uint32_t>(riff::kCueIdBytes) +
                                    ChunkWriter::TextSize(text, host_marker::kTextBytes));
            out.U32(++id);
            out.Text(text, host_marker::kTextBytes);
        }
    }
    out.End();
}

// The 1-based position of the first element of the marker list that is the marker, or one
// past the last marker when none is.
std::uint32_t HeaderChunks::FirstPosition(const KeyIndex& positions, const void* marker) const {
    if (positions.Usable()) {
        const KeyIndex::Entry* e = positions.Find(reinterpret_cast<std::uintptr_t>(marker));
        return e != nullptr ? static_cast<std::uint32_t>(e->first) : m_markerCount + 1;
    }
    std::uint32_t n = 0;
    for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
        const void* candidate = m.hostMarkers->GetNext(pos);
        if (candidate == nullptr)
            continue;
        ++n;
        if (candidate == marker)
            return n;
    }
    return m_markerCount + 1;
}

// Each entry names the first position of its marker in the marker list, or one past the last
// when the marker is not in it; entries without a marker are left out.
void HeaderChunks::PlayList(ChunkWriter& out) const {
    std::uint32_t entryCount = 0;
    if (m.hostPlayList != nullptr)
        for (POSITION pos = m.hostPlayList->GetHeadPosition(); pos != nullptr;) {
            const void* entry = m.hostPlayList->GetNext(pos);
            if (entry != nullptr && EntryMarker(entry) != nullptr)
                ++entryCount;
        }
    if (entryCount == 0)
        return;
    out.Header("plst", static_cast<std::uint32_t>(riff::kPlaySegmentBytes * entryCount + 4));
    out.U32(entryCount);
    KeyIndex positions;
    if (!out.Counting()) {
        std::uint32_t position = 0;
        for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
            const void* marker = m.hostMarkers->GetNext(pos);
            if (marker != nullptr)
                positions.Add(reinterpret_cast<std::uintptr_t>(marker),
                              static_cast<int>(++position));
        }
    }
    for (POSITION pos = m.hostPlayList->GetHeadPosition(); pos != nullptr;) {
        const void* entry = m.hostPlayList->GetNext(pos);
        const void* marker = entry != nullptr ? EntryMarker(entry) : nullptr;
        if (marker == nullptr)
            continue;
        unsigned char segment[riff::kPlaySegmentBytes];
        riff::put_u32le(segment, out.Counting() ? 0 : FirstPosition(positions, marker));
        riff::put_u32le(segment + 4, SampleLength(marker));
        riff::put_u32le(segment + 8, 1); // repeat count
        out.Bytes(segment, sizeof segment);
    }
}

} // namespace

std::int32_t WavePlugin::WriteHeader() {
    std::memcpy(info.containerName, kContainerName, sizeof kContainerName);
    if (file == nullptr)
        return 0;
    // Wrap-around arithmetic keeps absurd host values defined; real ones never reach it.
    std::int64_t product = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(info.frameCount) * static_cast<std::uint64_t>(info.channels) *
        static_cast<std::uint64_t>(info.bitsPerSample));
    std::int64_t dataBytes = product / 8;

    HeaderChunks chunks(*this, dataBytes);
    ChunkWriter counter(nullptr);
    chunks.Write(counter, false);
    // The RIFF size counts the form type, the chunks and the samples.
    std::uint64_t riffSize =
        4 + static_cast<std::uint64_t>(counter.Written()) + static_cast<std::uint64_t>(dataBytes);
    bool sixtyFour = dataBytes > 0 && riffSize > kRiffSizeLimit;

    std::rewind(file);
    ChunkWriter out(file);
    if (sixtyFour) {
        out.FileHeader(riff::kFormRf64, riff::kSizeInDs64);
        out.Header("ds64", riff::kDs64WrittenBytes);
        out.U64(riffSize + riff::kChunkHeaderBytes + riff::kDs64WrittenBytes);
        out.U64(static_cast<std::uint64_t>(dataBytes));
        out.U64(static_cast<std::uint64_t>(info.frameCount));
        out.U32(0); // no table of other chunks' sizes
    } else {
        out.FileHeader(riff::kFormRiff, kSizePlaceholder);
    }
    chunks.Write(out, sixtyFour);
    return 1;
}

std::int32_t WavePlugin::WriteSamples(void* buffer, std::int32_t bufferBytes, std::int32_t frames) {
    if (file == nullptr || buffer == nullptr)
        return 0;
    if (info.bitsPerSample == 8 && bufferBytes > 0) {
        unsigned char* bytes = static_cast<unsigned char*>(buffer);
        for (std::int32_t i = 0; i < bufferBytes; ++i)
            bytes[i] ^= 0x80;
    }
    std::int64_t frameBytes = static_cast<std::int64_t>(info.channels) * info.bitsPerSample / 8;
    if (frameBytes <= 0 || frames <= 0 || bufferBytes <= 0)
        return 0;
    // Never more frames than the host's buffer holds.
    std::int64_t limit = bufferBytes / frameBytes;
    std::int64_t count = frames < limit ? frames : limit;
    return static_cast<std::int32_t>(std::fwrite(buffer, static_cast<std::size_t>(frameBytes),
                                                 static_cast<std::size_t>(count), file));
}
