// The WAVE header reader: walks the chunks of the file just opened (RIFF, or RF64 and BW64 with
// their 64-bit sizes), fills the audio properties and texts, collects cue points, their labels,
// notes and regions and the play-list segments, and leaves the stream at the first sample byte.
#include "wave_plugin.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "file_stream.h"
#include "key_index.h"
#include "riff_bytes.h"
#include "system_chars.h"

namespace {

using riff::read_u16le;
using riff::read_u32le;
using riff::same_id;

constexpr std::size_t kLabelTextLimit = 260; // label and note texts below this are read

const unsigned char kSubFormatSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct FormatName {
    std::uint16_t tag;
    const char* name;
    std::int32_t isFloat;
};

const FormatName kFormatNames[] = {
    {1, "PCM", 0},
    {2, "MS ADPCM Compressed", 0},
    {3, "IEEE Floating Point", 1},
    {6, "A Law Compressed", 0},
    {7, "Mu Law Compressed", 0},
    {16, "OKI ADPCM Compressed", 0},
    {17, "IMA ADPCM Compressed", 0},
};

// Copies text up to its first NUL, at most capacity - 1 bytes, and terminates it. A text cut
// short ends on a whole character of the system's code page, never on a lone lead byte.
void CopyText(char* to, std::size_t capacity, const char* from) {
    std::size_t n = 0;
    while (n + 1 < capacity && from[n] != '\0')
        ++n;
    if (from[n] != '\0')
        n = CutToChars(from, n + 1, n, SystemLeadByte);
    std::memcpy(to, from, n);
    to[n] = '\0';
}

std::int64_t Padded(std::uint32_t size) {
    return static_cast<std::int64_t>(size) + (size & 1);
}

// Where a list chunk's contents lie in the file, kept to walk it again.
struct ListSpan {
    std::int64_t start; // first byte after the chunk header
    std::uint32_t size;
};

// One call of ReadHeader: the walk's state and the chunk handlers.
class HeaderWalk {
public:
    HeaderWalk(WavePlugin& p, bool sixtyFour)
        : m(p), f(p.file), sixtyFour(sixtyFour), cueIds(p.cues, CueRecord::Key) {}
    ~HeaderWalk() { std::free(pending); }
    HeaderWalk(const HeaderWalk&) = delete;
    HeaderWalk& operator=(const HeaderWalk&) = delete;

    void Run();
    bool formatIsPcm = false;
    bool dataSeen = false;

private:
    bool Format(std::uint32_t size);
    bool Data(std::uint32_t size);
    bool SizeTable(std::uint32_t size);
    bool Cues();
    bool PlayList();
    // Walks a list chunk's sub-chunks. A second walk (again) takes labels, notes and regions
    // only: the INFO texts were taken the first time.
    bool List(std::uint32_t size, bool again = false);
    bool Region(std::uint32_t size);
    bool CueText(std::uint32_t size, bool isLabel);
    // The text after a sub-chunk's fixed fields, length bytes with the pad: read into the label
    // buffer and terminated when shorter than the limit (taken), else passed over (a negative
    // length moves back to the sub-chunk's end). False at the end of the stream.
    bool SubText(std::int64_t length, bool* taken);
    // Lists met before a cue chunk name cues not read yet: they are walked again, in file
    // order, once the cue chunk has been read (a later cue chunk replaces the cues).
    void KeepForLater(std::uint32_t size);
    void WalkKeptLists();
    // Reads an INFO text chunk of a size its buffer takes; false at the end of the stream.
    bool InfoText(char* target, std::size_t capacity, std::uint32_t size);
    char* InfoTarget(const unsigned char* id, std::size_t* capacity) const;
    bool Skip(std::uint32_t size) { return stream::SeekRelative(f, Padded(size)); }
    CueRecord* FirstCue(std::uint32_t cueId);

    WavePlugin& m;
    std::FILE* f;
    bool sixtyFour;                 // an RF64 or BW64 file: 64-bit sizes in its "ds64" chunk
    std::uint64_t longDataSize = 0; // the data size the "ds64" chunk gives
    bool haveLongDataSize = false;
    ListSpan* pending = nullptr; // lists before the first cue chunk, in file order
    std::size_t pendingCount = 0;
    std::size_t pendingCapacity = 0;
    KeyPositions cueIds; // where each cueId stands in m.cues
    char infoBuffer[kCommentBytes + 1];
    char labelBuffer[kLabelTextLimit + 1];
};

char* HeaderWalk::InfoTarget(const unsigned char* id, std::size_t* capacity) const {
    *capacity = kTextBytes;
    if (same_id(id, "INAM"))
        return m.info.title;
    if (same_id(id, "IART"))
        return m.info.artist;
    if (same_id(id, "ICOP"))
        return m.info.rightsNotice;
    if (same_id(id, "ICMT")) {
        *capacity = kCommentBytes;
        return m.info.comment;
    }
    return nullptr;
}

bool HeaderWalk::InfoText(char* target, std::size_t capacity, std::uint32_t size) {
    if (!stream::ReadExact(f, infoBuffer, size))
        return false;
    if (size & 1)
        stream::SeekRelative(f, 1);
    infoBuffer[size] = '\0';
    CopyText(target, capacity, infoBuffer);
    return true;
}

CueRecord* HeaderWalk::FirstCue(std::uint32_t cueId) {
    KeyPositions::Match first;
    return cueIds.First(cueId, &first) ? static_cast<CueRecord*>(first.element) : nullptr;
}

bool HeaderWalk::Format(std::uint32_t size) {
    if (size < riff::kFormatBaseBytes)
        return Skip(size);
    unsigned char bytes[riff::kFormatExtensibleBytes] = {};
    if (!stream::ReadExact(f, bytes, riff::kFormatBaseBytes))
        return false;
    std::int64_t consumed = riff::kFormatBaseBytes;
    std::uint16_t tag = read_u16le(bytes + riff::format::kTag);
    std::uint16_t channels = read_u16le(bytes + riff::format::kChannels);
    std::uint32_t sampleRate = read_u32le(bytes + riff::format::kSampleRate);
    std::uint16_t blockAlign = read_u16le(bytes + riff::format::kBlockAlign);
    // Derived from the block alignment, bits per sample can exceed 16 bits (8 x 65535).
    std::uint32_t bits;
    if (size >= riff::format::kBitsPresentFrom) {
        if (!stream::ReadExact(f, bytes + riff::format::kBitsPerSample, 2))
            return false;
        consumed += 2;
        bits = read_u16le(bytes + riff::format::kBitsPerSample);
    } else {
        std::uint32_t derived = channels != 0 ? 8u * blockAlign / channels : 0;
        bits = derived != 0 ? derived : 8;
    }
    std::uint16_t extraSize = 0;
    if (size >= riff::format::kExtraSizePresentFrom) {
        if (!stream::ReadExact(f, bytes + riff::format::kExtraSize, 2))
            return false;
        consumed += 2;
        extraSize = read_u16le(bytes + riff::format::kExtraSize);
    }
    // The extensible chunk names its sample format by a GUID whose first two bytes are a tag.
    std::uint16_t effectiveTag = tag;
    if (tag == riff::kTagExtensible) {
        effectiveTag = 0; // unknown unless the sub-format is proven
        if (size >= riff::kFormatExtensibleBytes && extraSize >= riff::kExtensibleExtraBytes) {
            if (!stream::ReadExact(f, bytes + riff::kFormatWrittenBytes,
                                   riff::kExtensibleExtraBytes))
                return false;
            consumed += riff::kExtensibleExtraBytes;
            const unsigned char* guid = bytes + riff::format::kSubFormat;
            std::uint16_t subTag = read_u16le(guid);
            // Only integer PCM and IEEE float are recognised inside the extensible chunk.
            if (std::memcmp(guid + 2, kSubFormatSuffix, sizeof kSubFormatSuffix) == 0 &&
                (subTag == riff::kTagPcm || subTag == riff::kTagFloat))
                effectiveTag = subTag;
        }
    }
    // Whatever the extra-size field claims, the walk goes on where the chunk ends.
    std::int64_t rest = Padded(size) - consumed;
    if (rest > 0 && !stream::SeekRelative(f, rest))
        return false;

    m.info.channels = channels;
    m.info.sampleRate = sampleRate;
    m.info.bitsPerSample = static_cast<std::int32_t>(bits);
    const FormatName* named = nullptr;
    for (const FormatName& entry : kFormatNames)
        if (entry.tag == effectiveTag)
            named = &entry;
    if (named != nullptr) {
        CopyText(m.info.formatName, kTextBytes, named->name);
        m.isFloat = named->isFloat;
    } else {
        CopyText(m.info.formatName, kTextBytes, "Unknown");
    }
    formatIsPcm = effectiveTag == riff::kTagPcm;
    return true;
}

bool HeaderWalk::Data(std::uint32_t size) {
    std::uint64_t bytes = size;
    if (sixtyFour && size == riff::kSizeInDs64 && haveLongDataSize)
        bytes = longDataSize;
    if (bytes > static_cast<std::uint64_t>(INT64_MAX) - 1)
        bytes = static_cast<std::uint64_t>(INT64_MAX) - 1;
    std::int64_t start = stream::Tell(f);
    // dataOffset has 32 bits: a data chunk that starts beyond them cannot be read.
    dataSeen = start >= 0 && start <= static_cast<std::int64_t>(UINT32_MAX);
    if (dataSeen) {
        m.info.frameCount = static_cast<std::int64_t>(bytes);
        m.dataOffset = static_cast<std::uint32_t>(start);
    }
    // Data the stream cannot seek past (a 64-bit size beyond what it addresses) runs to the end
    // of the file: the walk ends here rather than read samples as chunk headers.
    return stream::SeekRelative(f, static_cast<std::int64_t>(bytes + (bytes & 1)));
}

// The "ds64" chunk of an RF64 or BW64 file: the RIFF size, the data size and the sample count
// in 64 bits, then a table of other chunks' sizes that the reader does not need.
bool HeaderWalk::SizeTable(std::uint32_t size) {
    if (size < riff::kDs64MinimumBytes)
        return Skip(size);
    unsigned char bytes[riff::kDs64MinimumBytes];
    if (!stream::ReadExact(f, bytes, sizeof bytes))
        return false;
    longDataSize = riff::read_u64le(bytes + riff::kDs64DataSize);
    haveLongDataSize = true;
    return stream::SeekRelative(f, Padded(size) - static_cast<std::int64_t>(sizeof bytes));
}

void HeaderWalk::KeepForLater(std::uint32_t size) {
    if (pendingCount == pendingCapacity) {
        std::size_t capacity = pendingCapacity == 0 ? 4 : pendingCapacity * 2;
        void* grown = std::realloc(pending, capacity * sizeof(ListSpan));
        if (grown == nullptr)
            return; // out of memory: this list's texts stay unattached
        pending = static_cast<ListSpan*>(grown);
        pendingCapacity = capacity;
    }
    pending[pendingCount++] = {stream::Tell(f), size};
}

void HeaderWalk::WalkKeptLists() {
    if (pendingCount == 0)
        return;
    std::int64_t resume = stream::Tell(f);
    if (!m.cues.IsEmpty())
        for (std::size_t i = 0; i < pendingCount; ++i)
            if (stream::SeekAbsolute(f, pending[i].start))
                List(pending[i].size, true);
    stream::SeekAbsolute(f, resume);
}

// Reads up to count records of RecordBytes file bytes each and hands each to take; stops
// early when the stream runs out (more becomes false). Returns the records read.
template <std::size_t RecordBytes, typename Take>
std::uint32_t ReadRecords(std::FILE* f, std::uint32_t count, bool* more, Take take) {
    unsigned char bytes[RecordBytes];
    std::uint32_t read = 0;
    for (; read < count; ++read) {
        if (!stream::ReadExact(f, bytes, sizeof bytes)) {
            *more = false;
            break;
        }
        take(bytes);
    }
    return read;
}

bool HeaderWalk::Cues() {
    unsigned char countBytes[riff::kCountBytes];
    if (!stream::ReadExact(f, countBytes, sizeof countBytes))
        return false;
    // A later cue chunk replaces an earlier one, as a later data chunk does.
    for (POSITION pos = m.cues.GetHeadPosition(); pos != nullptr;)
        delete static_cast<CueRecord*>(m.cues.GetNext(pos));
    m.cues.RemoveAll();
    m.cueCount = 0;
    std::uint32_t count = read_u32le(countBytes);
    if (count == 0)
        return true;
    // The count tells the host how many marker records to offer; a count that runs past the end
    // of the file is brought down to the points actually there. A record that cannot be
    // allocated drops its point.
    bool more = true;
    std::uint32_t read =
        ReadRecords<riff::kCuePointBytes>(f, count, &more, [&](const unsigned char* bytes) {
            CueRecord* cue = new (std::nothrow) CueRecord;
            if (cue == nullptr)
                return;
            std::memcpy(cue->cuePoint, bytes, riff::kCuePointBytes);
            std::memset(cue->label, 0, sizeof cue->label);
            std::memset(cue->note, 0, sizeof cue->note);
            cue->start = read_u32le(bytes + riff::cue_point::kSampleOffset);
            cue->end = 0;
            cue->markerType = kMarkerPlain;
            if (m.cues.AddTail(cue) == nullptr)
                delete cue;
        });
    m.cueCount = static_cast<std::int32_t>(read > INT32_MAX ? INT32_MAX : read);
    return more;
}

bool HeaderWalk::PlayList() {
    unsigned char countBytes[riff::kCountBytes];
    if (!stream::ReadExact(f, countBytes, sizeof countBytes))
        return false;
    // A later play-list chunk replaces an earlier one, as a later cue chunk does.
    for (POSITION pos = m.playList.GetHeadPosition(); pos != nullptr;)
        delete static_cast<PlayListRecord*>(m.playList.GetNext(pos));
    m.playList.RemoveAll();
    std::int32_t count = static_cast<std::int32_t>(read_u32le(countBytes));
    bool more = true;
    std::uint32_t read = ReadRecords<riff::kPlaySegmentBytes>(
        f, count > 0 ? static_cast<std::uint32_t>(count) : 0, &more,
        [&](const unsigned char* bytes) {
            PlayListRecord* segment = new (std::nothrow) PlayListRecord;
            if (segment == nullptr)
                return;
            segment->cueId = read_u32le(bytes + riff::kSegmentCueId);
            segment->length = read_u32le(bytes + riff::kSegmentLength);
            segment->repeatCount = read_u32le(bytes + riff::kSegmentRepeats);
            if (m.playList.AddTail(segment) == nullptr)
                delete segment;
        });
    m.playListCount = static_cast<std::int32_t>(read);
    return more;
}

bool HeaderWalk::SubText(std::int64_t length, bool* taken) {
    *taken = length > 0 && length < static_cast<std::int64_t>(kLabelTextLimit);
    if (!*taken)
        return length == 0 || stream::SeekRelative(f, length);
    if (!stream::ReadExact(f, labelBuffer, static_cast<std::size_t>(length)))
        return false;
    labelBuffer[length] = '\0';
    return true;
}

// "ltxt": every one makes its cue a region, whatever its purpose; its text is not kept.
bool HeaderWalk::Region(std::uint32_t size) {
    unsigned char fixed[riff::kLtxtFixedBytes];
    bool taken;
    if (!stream::ReadExact(f, fixed, sizeof fixed) ||
        !SubText(Padded(size) - static_cast<std::int64_t>(sizeof fixed), &taken))
        return false;
    CueRecord* cue = FirstCue(read_u32le(fixed + riff::kLtxtCueId));
    if (cue != nullptr) {
        std::int32_t length =
            static_cast<std::int32_t>(read_u32le(fixed + riff::kLtxtSampleLength));
        cue->end = cue->start + length - 1;
        cue->markerType = kMarkerRegion;
    }
    return true;
}

// "labl" and "note": the text goes to the first cue with the id, cut to the 128-byte field.
bool HeaderWalk::CueText(std::uint32_t size, bool isLabel) {
    unsigned char idBytes[riff::kCueIdBytes];
    bool taken;
    if (!stream::ReadExact(f, idBytes, sizeof idBytes) ||
        !SubText(Padded(size) - static_cast<std::int64_t>(sizeof idBytes), &taken))
        return false;
    CueRecord* cue = taken ? FirstCue(read_u32le(idBytes)) : nullptr;
    if (cue != nullptr)
        CopyText(isLabel ? cue->label : cue->note, sizeof cue->label, labelBuffer);
    return true;
}

bool HeaderWalk::List(std::uint32_t size, bool again) {
    unsigned char header[riff::kChunkHeaderBytes];
    if (!stream::ReadExact(f, header, riff::kListTypeBytes))
        return false;
    std::int64_t remaining =
        size >= riff::kListTypeBytes ? static_cast<std::int64_t>(size - riff::kListTypeBytes) : 0;
    while (remaining > static_cast<std::int64_t>(riff::kChunkHeaderBytes)) {
        if (!stream::ReadExact(f, header, sizeof header))
            return false;
        const unsigned char* id = header;
        std::uint32_t subSize = read_u32le(header + riff::kSizeAt);
        remaining -= static_cast<std::int64_t>(riff::kChunkHeaderBytes) + Padded(subSize);
        std::size_t capacity = 0;
        char* infoTarget = InfoTarget(id, &capacity);
        if (same_id(id, "ltxt")) {
            if (!Region(subSize))
                return false;
        } else if (same_id(id, "labl") || same_id(id, "note")) {
            if (!CueText(subSize, same_id(id, "labl")))
                return false;
        } else if (infoTarget != nullptr && subSize <= capacity && !again) {
            if (!InfoText(infoTarget, capacity, subSize))
                return false;
        } else if (!Skip(subSize)) {
            return false;
        }
    }
    return true;
}

void HeaderWalk::Run() {
    unsigned char header[riff::kChunkHeaderBytes];
    while (stream::ReadExact(f, header, sizeof header)) {
        const unsigned char* id = header;
        std::uint32_t size = read_u32le(header + riff::kSizeAt);
        std::size_t capacity = 0;
        char* infoTarget = InfoTarget(id, &capacity);
        const std::int64_t start = stream::Tell(f);
        // Counted chunks and lists are read by their contents; when these end before the
        // declared size does (spare room after the last point, a list walk that stops short),
        // the walk goes on at the chunk's declared end. Contents that overrun it are followed.
        bool counted = false;
        bool more;
        if (sixtyFour && same_id(id, "ds64"))
            more = SizeTable(size);
        else if (same_id(id, "fmt "))
            more = Format(size);
        else if (same_id(id, "data"))
            more = Data(size);
        else if (infoTarget != nullptr && size <= capacity)
            more = InfoText(infoTarget, capacity, size);
        else if (same_id(id, "CUE ")) {
            more = Cues();
            cueIds.Restart();
            WalkKeptLists();
            counted = true;
        } else if (same_id(id, "LIST") && size < riff::kListTypeBytes) {
            more = Skip(size); // not even room for its type: an empty chunk
        } else if (same_id(id, "LIST")) {
            KeepForLater(size);
            more = List(size);
            counted = true;
        } else if (same_id(id, "PLST")) {
            more = PlayList();
            counted = true;
        } else
            more = Skip(size);
        if (!more)
            break;
        const std::int64_t end = start + Padded(size);
        if (counted && start >= 0 && end > stream::Tell(f) && !stream::SeekAbsolute(f, end))
            break;
    }
}

} // namespace

std::int32_t WavePlugin::ReadHeader() {
    FreeRecords();
    if (file == nullptr)
        return 0;
    unsigned char header[riff::kRiffHeaderBytes];
    if (!stream::ReadExact(file, header, sizeof header) || !same_id(header + riff::kFormAt, "WAVE"))
        return 0;
    // RF64 and BW64 files keep the RIFF WAVE layout and add 64-bit sizes.
    bool sixtyFour = same_id(header, "RF64") || same_id(header, "BW64");
    if (!sixtyFour && !same_id(header, "RIFF"))
        return 0;
    CopyText(info.containerName, kTextBytes, kContainerName);

    std::int32_t result = 0;
    {
        HeaderWalk walk(*this, sixtyFour);
        walk.Run();
        // Frames need whole bytes per sample and at least one channel; the writer stores bits
        // per sample in 16 bits, so a file whose format derives more is not taken either.
        bool usable = walk.formatIsPcm && walk.dataSeen && info.channels > 0 &&
                      info.bitsPerSample > 0 && info.bitsPerSample % 8 == 0 &&
                      info.bitsPerSample <= UINT16_MAX;
        if (usable) {
            info.frameCount = info.frameCount / info.channels / (info.bitsPerSample / 8);
            stream::SeekAbsolute(file, dataOffset);
            result = 1;
        }
    }
    SetFramesRemaining(info.frameCount);
    return result;
}
