// The WAVE writer: the header with the format, INFO texts, cue points, regions and play list
// from the object and the host's lists, then the sample frames.
//
// The header is laid out twice: once only counted, to learn whether the file fits the 32-bit
// sizes of a RIFF file, then written. A file that does not fit is written as RF64: the same
// chunks after a "ds64" chunk that holds the 64-bit sizes.
#include "wave_plugin.h"

#include <cstring>

#include "chunk_writer.h"
#include "key_index.h"
#include "riff_bytes.h"

namespace {

using riff::ChunkWriter;

// The largest RIFF size (the file's length less 8) that a RIFF file can state; a larger file
// is written as RF64.
constexpr std::uint64_t kRiffSizeLimit = 0xFFFFFFFF;
// The RIFF size written until the close fills it in.
constexpr std::uint32_t kSizePlaceholder = 0xFFFFFFFF;

namespace hm = host_marker;

// Sample length of a marker as a region or play-list segment: low words, end - start + 1.
std::uint32_t SampleLength(const void* marker) {
    return hm::EndLow(marker) - hm::StartLow(marker) + 1;
}

// A marker record as a key of the marker list; null elements take no position.
bool MarkerKey(const void* element, std::uint64_t* key) {
    *key = reinterpret_cast<std::uintptr_t>(element);
    return element != nullptr;
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
    bool any = false;
    for (const InfoItem& item : items)
        any = any || item.text[0] != '\0';
    if (!any)
        return;
    // Inside a list of type INFO, where every reader looks for them.
    out.Begin("LIST");
    out.Bytes("INFO", riff::kListTypeBytes);
    for (const InfoItem& item : items) {
        if (item.text[0] == '\0')
            continue;
        out.Header(item.id, ChunkWriter::TextSize(item.text, item.capacity));
        out.Text(item.text, item.capacity);
    }
    out.End();
}

void HeaderChunks::Cues(ChunkWriter& out) const {
    out.Header("cue ", static_cast<std::uint32_t>(riff::kCountBytes +
                                                  riff::kCuePointBytes * m_markerCount));
    out.U32(m_markerCount);
    std::uint32_t id = 0;
    for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
        const void* marker = m.hostMarkers->GetNext(pos);
        if (marker == nullptr)
            continue;
        unsigned char point[riff::kCuePointBytes] = {};
        riff::put_u32le(point + riff::cue_point::kCueId, ++id);
        std::memcpy(point + riff::cue_point::kChunkId, "data", riff::kIdBytes);
        riff::put_u32le(point + riff::cue_point::kSampleOffset, hm::StartLow(marker));
        out.Bytes(point, sizeof point);
    }
}

// Labels, then notes, then the regions' lengths: other readers stop their walk of the list at
// the first sub-chunk they do not take, which is most often an "ltxt".
void HeaderChunks::Labels(ChunkWriter& out) const {
    out.Begin("LIST");
    out.Bytes("adtl", riff::kListTypeBytes);
    const struct {
        const char* id;
        std::size_t offset;
    } texts[] = {{"labl", host_marker::kLabel}, {"note", host_marker::kNote}};
    std::uint32_t id;
    for (const auto& kind : texts) {
        id = 0;
        for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
            const void* marker = m.hostMarkers->GetNext(pos);
            if (marker == nullptr)
                continue;
            const char* text = static_cast<const char*>(marker) + kind.offset;
            out.Header(kind.id, static_cast<std::uint32_t>(riff::kCueIdBytes) +
                                    ChunkWriter::TextSize(text, host_marker::kTextBytes));
            out.U32(++id);
            out.Text(text, host_marker::kTextBytes);
        }
    }
    id = 0;
    for (POSITION pos = m.hostMarkers->GetHeadPosition(); pos != nullptr;) {
        const void* marker = m.hostMarkers->GetNext(pos);
        if (marker == nullptr)
            continue;
        ++id;
        if (hm::Type(marker) == kMarkerPlain)
            continue;
        unsigned char ltxt[riff::kLtxtFixedBytes] = {};
        riff::put_u32le(ltxt + riff::kLtxtCueId, id);
        riff::put_u32le(ltxt + riff::kLtxtSampleLength, SampleLength(marker));
        out.Header("ltxt", riff::kLtxtFixedBytes);
        out.Bytes(ltxt, sizeof ltxt);
    }
    out.End();
}

// Each entry names the first position of its marker in the marker list, or one past the last
// when the marker is not in it; entries without a marker are left out.
void HeaderChunks::PlayList(ChunkWriter& out) const {
    std::uint32_t entryCount = 0;
    if (m.hostPlayList != nullptr)
        for (POSITION pos = m.hostPlayList->GetHeadPosition(); pos != nullptr;) {
            const void* entry = m.hostPlayList->GetNext(pos);
            if (entry != nullptr && host_play_list_entry::Marker(entry) != nullptr)
                ++entryCount;
        }
    if (entryCount == 0)
        return;
    out.Header("plst", static_cast<std::uint32_t>(riff::kCountBytes +
                                                  riff::kPlaySegmentBytes * entryCount));
    out.U32(entryCount);
    if (out.Counting()) { // only the length counts: the segments need no lookup
        out.Bytes(nullptr, riff::kPlaySegmentBytes * entryCount);
        return;
    }
    KeyPositions positions(*m.hostMarkers, MarkerKey);
    for (POSITION pos = m.hostPlayList->GetHeadPosition(); pos != nullptr;) {
        const void* entry = m.hostPlayList->GetNext(pos);
        const void* marker = entry != nullptr ? host_play_list_entry::Marker(entry) : nullptr;
        if (marker == nullptr)
            continue;
        KeyPositions::Match first;
        std::uint32_t cueId = positions.First(reinterpret_cast<std::uintptr_t>(marker), &first)
                                  ? static_cast<std::uint32_t>(first.position) + 1
                                  : m_markerCount + 1;
        unsigned char segment[riff::kPlaySegmentBytes];
        riff::put_u32le(segment + riff::kSegmentCueId, cueId);
        riff::put_u32le(segment + riff::kSegmentLength, SampleLength(marker));
        riff::put_u32le(segment + riff::kSegmentRepeats, 1);
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
    std::uint64_t riffSize = riff::kIdBytes + static_cast<std::uint64_t>(counter.Written()) +
                             static_cast<std::uint64_t>(dataBytes);
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
    std::int64_t frameBytes = info.FrameBytes();
    if (frameBytes <= 0 || frames <= 0 || bufferBytes <= 0)
        return 0;
    // Never more frames than the host's buffer holds.
    std::int64_t limit = bufferBytes / frameBytes;
    std::int64_t count = frames < limit ? frames : limit;
    return static_cast<std::int32_t>(std::fwrite(buffer, static_cast<std::size_t>(frameBytes),
                                                 static_cast<std::size_t>(count), file));
}
