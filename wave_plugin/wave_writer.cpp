// The WAVE writer: the header with the format, INFO texts, cue points, regions and play list
// from the object and the host's lists, then the sample frames.
#include "wave_plugin.h"

#include <cstring>

#include "file_stream.h"
#include "key_index.h"
#include "riff_bytes.h"

namespace {

using riff::put_u16le;
using riff::put_u32le;

constexpr std::uint32_t kSizePlaceholder = 0xFFFFFFFF;
constexpr std::uint32_t kLtxtBytes = 20;

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

std::size_t TextLength(const char* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n;
}

class Out {
public:
    explicit Out(std::FILE* f) : m_f(f) {}
    void Bytes(const void* p, std::size_t n) { std::fwrite(p, 1, n, m_f); }
    void U32(std::uint32_t v) {
        unsigned char b[4];
        put_u32le(b, v);
        Bytes(b, 4);
    }
    void Header(const char* id, std::uint32_t size) {
        Bytes(id, 4);
        U32(size);
    }
    // The text of a buffer of the given capacity, its NUL, and the buffer's next byte as pad when
    // the length with the NUL is odd. A buffer with no NUL is taken as cut at capacity - 1.
    void Text(const char* buffer, std::size_t capacity) {
        std::size_t length = TextLength(buffer, capacity - 1);
        Bytes(buffer, length);
        unsigned char tail[2] = {0, 0};
        std::size_t tailBytes = 1;
        if ((length + 1) & 1)
            tail[tailBytes++] = static_cast<unsigned char>(buffer[length + 1]);
        Bytes(tail, tailBytes);
    }
    static std::uint32_t TextSize(const char* buffer, std::size_t capacity) {
        return static_cast<std::uint32_t>((TextLength(buffer, capacity - 1) + 2) & ~std::size_t(1));
    }

private:
    std::FILE* m_f;
};

} // namespace

std::int32_t WavePlugin::WriteHeader() {
    std::memcpy(info.containerName, "RIFF Wave", 10);
    if (file == nullptr)
        return 0;
    std::rewind(file);
    Out out(file);

    unsigned char
        head[riff::kRiffHeaderBytes + riff::kChunkHeaderBytes + riff::kFormatWrittenBytes];
    std::uint16_t blockAlign = static_cast<std::uint16_t>(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(info.channels) *
                                  static_cast<std::uint32_t>(info.bitsPerSample)) /
        8);
    std::memcpy(head, "RIFF", 4);
    put_u32le(head + 4, kSizePlaceholder);
    std::memcpy(head + 8, "WAVE", 4);
    std::memcpy(head + 12, "fmt ", 4);
    put_u32le(head + 16, riff::kFormatWrittenBytes);
    put_u16le(head + 20, riff::kTagPcm);
    put_u16le(head + 22, static_cast<std::uint32_t>(info.channels));
    put_u32le(head + 24, info.sampleRate);
    put_u32le(head + 28, blockAlign * info.sampleRate);
    put_u16le(head + 32, blockAlign);
    put_u16le(head + 34, static_cast<std::uint32_t>(info.bitsPerSample));
    put_u16le(head + 36, 0);
    out.Bytes(head, sizeof head);

    struct InfoItem {
        const char* id;
        const char* text;
        std::size_t capacity;
    };
    const InfoItem items[] = {{"INAM", info.title, kTextBytes},
                              {"IART", info.artist, kTextBytes},
                              {"ICMT", info.comment, kCommentBytes},
                              {"ICOP", info.rightsNotice, kTextBytes}};
    for (const InfoItem& item : items) {
        if (item.text[0] == '\0')
            continue;
        out.Header(item.id, Out::TextSize(item.text, item.capacity));
        out.Text(item.text, item.capacity);
    }

    // Markers are numbered from 1 in list order; null elements are passed over and not counted.
    std::uint32_t markerCount = 0;
    if (hostMarkers != nullptr)
        for (POSITION pos = hostMarkers->GetHeadPosition(); pos != nullptr;)
            if (hostMarkers->GetNext(pos) != nullptr)
                ++markerCount;
    if (markerCount > 0) {
        out.Header("CUE ", static_cast<std::uint32_t>(riff::kCuePointBytes * markerCount + 4));
        out.U32(markerCount);
        std::uint32_t id = 0;
        for (POSITION pos = hostMarkers->GetHeadPosition(); pos != nullptr;) {
            const void* marker = hostMarkers->GetNext(pos);
            if (marker == nullptr)
                continue;
            unsigned char point[riff::kCuePointBytes] = {};
            put_u32le(point, ++id);
            std::memcpy(point + 8, "data", 4);
            put_u32le(point + 20, LowWord(marker, host_marker::kStart));
            out.Bytes(point, sizeof point);
        }

        std::int64_t listStart = stream::Tell(file);
        out.Header("list", 0);
        out.Bytes("adtl", 4);
        id = 0;
        for (POSITION pos = hostMarkers->GetHeadPosition(); pos != nullptr;) {
            const void* marker = hostMarkers->GetNext(pos);
            if (marker == nullptr)
                continue;
            ++id;
            if (TypeOf(marker) == kMarkerPlain)
                continue;
            unsigned char ltxt[kLtxtBytes] = {};
            put_u32le(ltxt, id);
            put_u32le(ltxt + 4, LowWord(marker, host_marker::kEnd) -
                                    LowWord(marker, host_marker::kStart) + 1);
            out.Header("ltxt", kLtxtBytes);
            out.Bytes(ltxt, sizeof ltxt);
        }
        const struct {
            const char* id;
            std::size_t offset;
        } texts[] = {{"labl", host_marker::kLabel}, {"note", host_marker::kNote}};
        for (const auto& kind : texts) {
            id = 0;
            for (POSITION pos = hostMarkers->GetHeadPosition(); pos != nullptr;) {
                const void* marker = hostMarkers->GetNext(pos);
                if (marker == nullptr)
                    continue;
                const char* text = reinterpret_cast<const char*>(At(marker, kind.offset));
                out.Header(kind.id, 4 + Out::TextSize(text, host_marker::kTextBytes));
                out.U32(++id);
                out.Text(text, host_marker::kTextBytes);
            }
        }
        std::int64_t listEnd = stream::Tell(file);
        stream::SeekAbsolute(file, listStart);
        out.Header("list", static_cast<std::uint32_t>(listEnd - listStart - 8));
        stream::SeekAbsolute(file, listEnd);

        // Each entry names the first position of its marker in the marker list, or one past the
        // last when the marker is not in it; entries without a marker are left out.
        std::uint32_t entryCount = 0;
        if (hostPlayList != nullptr)
            for (POSITION pos = hostPlayList->GetHeadPosition(); pos != nullptr;) {
                const void* entry = hostPlayList->GetNext(pos);
                if (entry != nullptr && EntryMarker(entry) != nullptr)
                    ++entryCount;
            }
        if (entryCount > 0) {
            KeyIndex positions;
            std::uint32_t position = 0;
            for (POSITION pos = hostMarkers->GetHeadPosition(); pos != nullptr;) {
                const void* marker = hostMarkers->GetNext(pos);
                if (marker != nullptr)
                    positions.Add(reinterpret_cast<std::uintptr_t>(marker),
                                  static_cast<int>(++position));
            }
            out.Header("plst",
                       static_cast<std::uint32_t>(riff::kPlaySegmentBytes * entryCount + 4));
            out.U32(entryCount);
            for (POSITION pos = hostPlayList->GetHeadPosition(); pos != nullptr;) {
                const void* entry = hostPlayList->GetNext(pos);
                const void* marker = entry != nullptr ? EntryMarker(entry) : nullptr;
                if (marker == nullptr)
                    continue;
                std::uint32_t cueId = markerCount + 1;
                if (positions.Usable()) {
                    const KeyIndex::Entry* e =
                        positions.Find(reinterpret_cast<std::uintptr_t>(marker));
                    if (e != nullptr)
                        cueId = static_cast<std::uint32_t>(e->first);
                } else {
                    std::uint32_t n = 0;
                    for (POSITION m = hostMarkers->GetHeadPosition(); m != nullptr;) {
                        const void* candidate = hostMarkers->GetNext(m);
                        if (candidate == nullptr)
                            continue;
                        ++n;
                        if (candidate == marker) {
                            cueId = n;
                            break;
                        }
                    }
                }
                unsigned char segment[riff::kPlaySegmentBytes];
                put_u32le(segment, cueId);
                put_u32le(segment + 4, LowWord(marker, host_marker::kEnd) -
                                           LowWord(marker, host_marker::kStart) + 1);
                put_u32le(segment + 8, 1);
                out.Bytes(segment, sizeof segment);
            }
        }
    }

    // Wrap-around arithmetic keeps absurd host values defined; real ones never reach it.
    std::int64_t product = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(info.frameCount) * static_cast<std::uint64_t>(info.channels) *
        static_cast<std::uint64_t>(info.bitsPerSample));
    std::int64_t dataBytes = product / 8;
    out.Header("data", static_cast<std::uint32_t>(dataBytes));
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
