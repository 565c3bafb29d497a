#include "peer_departures.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "riff_bytes.h"
#include "wave_plugin.h"

namespace wave_peer {

// "P:" the plug-in keeps a rule of its own on purpose; "S:" the peer's behaviour is wrong.
// Where a row names "the labels and texts after" something, it excuses the labels of those
// cues and those texts only, not the others of the file.
const Departure kDepartures[] = {
    {kIdentifierCase, kEveryField, "identifier-case",
     "P: identifiers are compared without regard to letter case; the peer takes only the exact "
     "spelling and passes any other over by its size: the cues, labels or texts of that chunk "
     "(everything for fmt, data and ds64)"},
    {kTopLevelText, kTexts, "top-level-text",
     "P: INAM, IART, ICOP and ICMT chunks at the top level are taken as inside a list; the peer "
     "takes texts from lists only: those texts"},
    {kInfoChunkOutsideList, kEveryField, "info-chunk-outside-list",
     "S: a chunk named INFO is not a list (that is a LIST chunk of type INFO); the plug-in passes "
     "it over, the peer walks it as a list and takes what it finds there, a data chunk too"},
    {kLongText, kTexts, "long-text",
     "P: an INFO text chunk over 260 bytes (520 for the comment) is not taken, and a text is cut "
     "to the 259 (519) characters its buffer holds: that text"},
    {kLongLabel, kLabels, "long-label",
     "P: a label of 260 bytes or more with its pad is not taken (the one before stays): that "
     "label"},
    {kSeveralFormats, kEveryField, "several-formats",
     "P: the last format chunk of at least 14 bytes describes the file; the peer keeps the first, "
     "and (S) does not skip a later one's contents but reads them as the next chunk header"},
    {kExtensibleShort, kAccepted | kFormat | kFrames | kSamples, "extensible-short",
     "P: an extensible format chunk without its 22 extra bytes names no sample format: Unknown, "
     "refused"},
    {kDataPastEnd, kFrames, "data-past-end",
     "P: a data chunk cut short by the end of the file keeps the frame count its size gives (the "
     "frames present are delivered); the peer counts the frames present"},
    {kUnclosedData, kEveryField, "unclosed-data",
     "P: a data chunk of size 0 is empty and the walk goes on after it; the peer guesses that it "
     "runs to the end of the file when the RIFF size is 8: the frames, and what the chunks after "
     "it hold"},
    {kCountedChunkOverrun, kEveryField, "counted-chunk-overrun",
     "P: cue points and play-list segments are read by their count, past a chunk size too small "
     "for them, and the walk goes on after the last; the peer skips the play list by its size "
     "and goes back to the cue chunk's declared end"},
    {kCuesPastEnd, kCues | kLabels, "cues-past-end",
     "S: for a cue count that runs past the end of the file the peer reports the whole count, "
     "the missing points empty; the plug-in reports the points there"},
    {kSubChunkOverrun, kEveryField, "sub-chunk-overrun",
     "P: a list's sub-chunk that runs past the list's end (its pad byte counted) is read whole; "
     "the peer drops it and the rest of the list: the labels and texts from it on, and when it "
     "runs past the list's pad too, what follows, as the plug-in's walk goes on after it and the "
     "peer's at the list's end"},
    {kListFramingId, kEveryField, "list-framing-id",
     "S: in a list the peer takes INFO, adtl and exif as bare 4-byte markers and reads on out of "
     "step, ends the list at a zero identifier, and takes a data sub-chunk as the file's data; "
     "each is a sub-chunk with a size: the labels and texts after it (everything for data and "
     "exif)"},
    {kListOfOtherType, kEveryField, "list-of-other-type",
     "P: a list of any type is walked for texts and labels; the peer reads the type of a list "
     "that is neither INFO nor adtl as the first sub-chunk's identifier, and the list out of "
     "step: the labels and texts either finds there (everything where the peer meets data or "
     "exif)"},
    {kListWrappedSize, kEveryField, "list-wrapped-size",
     "S: the peer adds the pad byte to a list sub-chunk's size of 0xFFFFFFFF in 32 bits, gets 0 "
     "and reads on out of step right after the header: the labels and texts it finds there "
     "(everything where it meets data or exif)"},
    {kListWalkStopsEarly, kLabels | kTexts, "list-walk-stops-early",
     "S: the peer stops walking a list at an ltxt, note or DISP sub-chunk, a text of 2048 bytes "
     "or more, or a label with no room for its text: the labels and texts after the stop"},
    {kListTail, kEveryField, "list-tail",
     "S: where 1 to 7 bytes of a list remain after its last whole sub-chunk, the peer reads a "
     "sub-chunk header there that runs past the list's end, and goes on after it, out of step: "
     "what the chunks after the list hold"},
    {kLabelsBeforeCues, kLabels, "labels-before-cues",
     "S: the peer drops labels whose list comes before the cue chunk (or before a later cue "
     "chunk that replaces the first); RIFF sets no order of chunks, and recorders write the "
     "list first: those labels"},
    {kOddTextPad, kTexts, "odd-text-pad",
     "S: the peer keeps the pad byte after an odd-sized INFO text as a character of it: that "
     "text"},
    {kUnprintableId, kEveryField, "unprintable-id",
     "S: at a chunk identifier with an unprintable byte the peer ends its walk or steps back 3 "
     "bytes; the plug-in passes the chunk over by its size: what the chunks after it hold"},
    {kCutHeader, kAccepted | kFrames | kSamples | kCues | kLabels | kTexts, "cut-header",
     "P: the walk ends at a chunk header that the end of the file cuts short; the peer reads "
     "4 to 7 bytes there as a whole header, the missing bytes as zeros: a data chunk of a few "
     "bytes (which may be the only one), or an empty cue chunk; in a list, an empty text"},
    {kCutFormat, kAccepted | kFormat | kFrames | kSamples, "cut-format",
     "P: a format chunk whose fields the end of the file cuts short (the extra-size field too, "
     "where the chunk's size has one) describes nothing; the peer takes the fields it could "
     "read, and in RF64 it needs no format chunk before the data: the file's acceptance and "
     "format"},
    {kSixtyFourCues, kCues | kLabels, "rf64-cues", "S: the peer reads no cue chunk in RF64"},
    {kSixtyFourDataSize, kEveryField, "rf64-data-size",
     "S: in RF64 the peer takes the ds64 data size even when the data chunk's own size is not "
     "0xFFFFFFFF, which is what sends a reader to ds64: where the two differ, the frames, and "
     "what the chunks after the data hold, as the walks go on at different places"},
    {kSixtyFourDs64Size, kEveryField, "rf64-ds64-size",
     "S: the peer reads the first ds64 chunk as its 28 bytes and its table, whatever the chunk's "
     "size says (where a format chunk follows those bytes, it reads that next), and a second "
     "ds64 chunk's contents as chunks; the plug-in passes each over by its size"},
    {kSixtyFourOddChunk, kEveryField, "rf64-odd-chunk",
     "S: in RF64 the peer skips no pad byte after an odd-sized chunk, so it reads the next "
     "chunk header a byte early; RF64 pads chunks as RIFF does"},
    {kSixtyFourHugeData, kEveryField, "rf64-huge-data",
     "S: with a ds64 data size near 2^63 the peer's 64-bit sums overflow: it delivers none of the "
     "samples that are there, and its walk goes on at a wrapped position, in the samples"},
    {kSixtyFourNoDs64, kEveryField, "rf64-no-ds64",
     "S: in RF64 a data size of 0xFFFFFFFF with no whole ds64 chunk before it leaves the peer "
     "with the length of an earlier data chunk, or none, and its walk goes on in the samples; "
     "the plug-in takes the size as it stands, as in RIFF"},
};
const std::size_t kDepartureCount = sizeof kDepartures / sizeof kDepartures[0];
static_assert(sizeof kDepartures / sizeof kDepartures[0] == kTraitCount, "a row per trait");

const FormStandIn kFormStandIns[] = {
    {"BW64", "RF64",
     "BW64 is RF64 under another name, read alike by the plug-in; the peer knows only RF64"},
};
const std::size_t kFormStandInCount = sizeof kFormStandIns / sizeof kFormStandIns[0];

const char* FieldName(unsigned field) {
    switch (field) {
    case kAccepted:
        return "accepted";
    case kFormat:
        return "format";
    case kFrames:
        return "frames";
    case kSamples:
        return "samples";
    case kCues:
        return "cues";
    case kLabels:
        return "labels";
    case kTexts:
        return "texts";
    default:
        return "?";
    }
}

bool Excuse::Label(std::uint32_t cueId) const {
    return (fields & kLabels) || std::find(labels.begin(), labels.end(), cueId) != labels.end();
}

Excuse Excused(const Findings& findings, const Departure* without) {
    Excuse e;
    for (std::size_t i = 0; i < kDepartureCount; ++i) {
        const Departure& row = kDepartures[i];
        if (&row == without || !(findings.traits & (1u << row.trait)))
            continue;
        const Excuse& touched = findings.touched[row.trait];
        e.fields |= touched.fields & row.fields;
        if (row.fields & kLabels)
            e.labels.insert(e.labels.end(), touched.labels.begin(), touched.labels.end());
        if (row.fields & kTexts)
            e.texts |= touched.texts;
    }
    return e;
}

namespace {

constexpr std::uint32_t kPeerBuffer = 2048; // the peer's buffer for a text or label
const char* const kTextIds[kTextKinds] = {"INAM", "IART", "ICOP", "ICMT"};

// Walks the chunks by the RIFF rules (sizes, pad bytes, lists of sub-chunks) and notes where
// the peer's walk departs from them and what that touches. It shares no code with either
// reader. It never reads a data chunk's samples as chunks.
class Scanner {
public:
    Scanner(const unsigned char* data, std::size_t size) : d(data), n(size) {}
    Findings Run();
    // The peer's walk of a list whose contents start at body, length bytes long, from the
    // byte at `from` on; notes for *t what it takes. Where the walk leaves the list (its count
    // from body), and whether its count wraps round, which makes it walk for ever.
    struct PeerListEnd {
        std::uint32_t at;
        bool loops;
        bool crossed; // it read a header across the list's end
    };
    PeerListEnd PeerList(std::uint64_t body, std::uint32_t length, std::uint32_t from,
                         const Trait* t);

private:
    std::uint32_t U32(std::uint64_t at) const { return at + 4 <= n ? riff::read_u32le(d + at) : 0; }
    std::uint16_t U16(std::uint64_t at) const { return at + 2 <= n ? riff::read_u16le(d + at) : 0; }
    // The identifier at `at` is `id` exactly (the peer's test).
    bool Exact(std::uint64_t at, const char* id) const {
        return at + 4 <= n && std::memcmp(d + at, id, 4) == 0;
    }
    // The identifier at `at` is `id` up to letter case (the plug-in's test).
    bool Folded(std::uint64_t at, const char* id) const {
        if (at + 4 > n)
            return false;
        for (int i = 0; i < 4; ++i)
            if (std::tolower(d[at + i]) != std::tolower(static_cast<unsigned char>(id[i])))
                return false;
        return true;
    }
    // Which of the four texts the identifier at `at` names, up to letter case; -1 for none.
    int TextKind(std::uint64_t at) const {
        for (int k = 0; k < kTextKinds; ++k)
            if (Folded(at, kTextIds[k]))
                return k;
        return -1;
    }
    static std::uint32_t Capacity(int kind) {
        return kind == kComment ? kCommentBytes : kTextBytes;
    }
    void Note(Trait t, unsigned fields) {
        found.traits |= 1u << t;
        found.touched[t].fields |= fields;
    }
    void NoteLabel(Trait t, std::uint32_t cueId) {
        found.traits |= 1u << t;
        found.touched[t].labels.push_back(cueId);
    }
    void NoteText(Trait t, int kind) {
        found.traits |= 1u << t;
        found.touched[t].texts |= 1u << kind;
    }
    void Format(std::uint64_t body, std::uint32_t size);
    // A list chunk; the peer passes over one whose identifier is not exactly "LIST".
    void List(std::uint64_t body, std::uint32_t size, bool exact);
    // The labels and texts the plug-in takes from a list's sub-chunks from `at` to `end`.
    void PluginListItems(std::uint64_t at, std::uint64_t end, Trait t);
    // What the plug-in takes from the chunks from `at` to the end of the file, which the peer
    // does not see there.
    void PluginChunks(std::uint64_t at, Trait t);
    // What the peer may find when its walk goes on out of step from `at`: it takes an
    // unprintable identifier as a cue to step on a few bytes, so any chunk after may be met.
    void PeerResync(std::uint64_t at, Trait t);
    // Where the plug-in's walk goes on after the chunk at `at`: its declared end, or past it
    // where counted contents or a list's sub-chunk run on.
    std::uint64_t PluginNext(std::uint64_t at) const;
    // An odd-sized text whose pad byte is not NUL and whose text has no NUL of its own.
    bool PadInText(std::uint64_t text, std::uint32_t length) const {
        return (length & 1) && text + length < n && d[text + length] != 0 &&
               std::memchr(d + text, 0, length) == nullptr;
    }

    const unsigned char* d;
    std::size_t n;
    Findings found;
    bool sixtyFour = false;
    int formats = 0;
    std::vector<std::uint32_t> labelsSoFar; // cue ids of the labels in lists so far
    std::uint64_t longDataSize = 0;
    bool haveDs64 = false;
    int ds64Chunks = 0;
};

void Scanner::Format(std::uint64_t body, std::uint32_t size) {
    if (++formats > 1)
        Note(kSeveralFormats, kEveryField);
    if (U16(body) == 0xFFFE && (size < 40 || U16(body + 16) < 22))
        Note(kExtensibleShort, kEveryField);
    // The fields the plug-in reads: 14 bytes, bits per sample from a size of 15, the extra size
    // from 17, and an extensible chunk's 22 extra bytes.
    std::uint64_t fields = size >= 17 ? 18 : size >= 15 ? 16 : 14;
    if (size >= 40 && U16(body) == 0xFFFE && U16(body + 16) >= 22)
        fields = 40;
    if (size >= 14 && body + fields > n)
        Note(kCutFormat, kAccepted | kFormat | kFrames | kSamples);
}

void Scanner::PluginListItems(std::uint64_t at, std::uint64_t end, Trait t) {
    // The plug-in walks while more than a header's 8 bytes of the list remain.
    for (std::uint64_t p = at; p + 8 < end && p + 8 <= n;) {
        std::uint32_t size = U32(p + 4);
        int kind = TextKind(p);
        if (kind >= 0)
            NoteText(t, kind);
        else if (Folded(p, "labl"))
            NoteLabel(t, U32(p + 8));
        p += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
}

std::uint64_t Scanner::PluginNext(std::uint64_t at) const {
    const std::uint32_t size = U32(at + 4);
    const std::uint64_t body = at + 8;
    const std::uint64_t end = body + size + (size & 1);
    std::uint64_t read = end; // where the contents read by count or sub-chunk end
    if (Folded(at, "cue ")) {
        read = body + 4 + 24 * static_cast<std::uint64_t>(U32(body));
    } else if (Folded(at, "plst")) {
        const std::int32_t count = static_cast<std::int32_t>(U32(body));
        read = body + 4 + 12 * static_cast<std::uint64_t>(count > 0 ? count : 0);
    } else if (Folded(at, "LIST") && size >= 4) {
        for (std::uint64_t p = body + 4; p + 8 < body + size && p + 8 <= n;) {
            const std::uint32_t subSize = U32(p + 4);
            read = p + 8 + static_cast<std::uint64_t>(subSize) + (subSize & 1);
            if (read > body + size)
                break;
            p = read;
        }
    }
    return std::max(end, read);
}

void Scanner::PeerResync(std::uint64_t at, Trait t) {
    // A header that the end of the file cuts short counts too: the peer reads the missing bytes
    // as zeros.
    for (std::uint64_t q = at; q + 4 <= n; ++q) {
        if (Exact(q, "fmt ") || Exact(q, "data")) {
            Note(t, kEveryField);
            return;
        }
        if (Exact(q, "cue "))
            Note(t, kCues | kLabels);
        else if (Exact(q, "LIST") || Exact(q, "INFO"))
            Note(t, kLabels | kTexts);
    }
}

void Scanner::PluginChunks(std::uint64_t at, Trait t) {
    for (std::uint64_t p = at; p + 8 <= n; p = PluginNext(p)) {
        const std::uint32_t size = U32(p + 4);
        const int kind = TextKind(p);
        if (Folded(p, "fmt ") || Folded(p, "data")) {
            Note(t, kEveryField);
            return;
        }
        if (Folded(p, "cue "))
            Note(t, kCues | kLabels);
        else if (Folded(p, "LIST"))
            PluginListItems(p + 12, p + 8 + size, t);
        else if (kind >= 0)
            NoteText(t, kind);
    }
}

Scanner::PeerListEnd Scanner::PeerList(std::uint64_t body, std::uint32_t length, std::uint32_t from,
                                       const Trait* t) {
    // As the peer counts: in 32 bits, each header and contents as it frames them. Where it
    // stops, it jumps to the list's end, unless the header it read runs past that already.
    std::uint32_t read = from;
    auto stop = [&] { return PeerListEnd{std::max(read, length), false, read > length}; };
    while (read < length) {
        const std::uint64_t p = body + read;
        read += 4;
        if (Exact(p, "INFO") || Exact(p, "adtl"))
            continue;
        // exif is walked by rules of its own, and data taken as the file's data with the walk
        // going on at it: anything may follow.
        if (Exact(p, "exif") || Exact(p, "data")) {
            if (t != nullptr)
                Note(*t, kEveryField);
            if (Exact(p, "data"))
                return {read - 4, false, read > length};
            return stop();
        }
        if (U32(p) == 0)
            return stop();
        std::uint32_t size = U32(p + 4);
        read += 4;
        int kind = TextKind(p);
        if (kind >= 0 && Exact(p, kTextIds[kind])) {
            if (p + 8 > n) { // the end of the file cuts the header: the text is kept empty
                NoteText(kCutHeader, kind);
                return stop();
            }
            size += size & 1;
            if (size >= kPeerBuffer || read + size > length)
                return stop();
            if (t != nullptr)
                NoteText(*t, kind);
            read += size;
        } else if (Exact(p, "labl")) {
            read += 4;
            size -= 4;
            size += size & 1;
            if (size < 1 || size >= kPeerBuffer || read + size > length)
                return stop();
            if (t != nullptr)
                NoteLabel(*t, U32(p + 8));
            read += size;
        } else if (Exact(p, "DISP") || Exact(p, "ltxt") || Exact(p, "note")) {
            return stop();
        } else {
            size += size & 1;
            if (read + size > length)
                return stop();
            if (static_cast<std::uint64_t>(read) + size > UINT32_MAX)
                return {read, true, false};
            read += size;
        }
    }
    return stop();
}

void Scanner::List(std::uint64_t body, std::uint32_t size, bool exact) {
    const std::uint64_t end = body + size;
    const std::uint64_t paddedEnd = end + (size & 1);
    // The peer cuts the list at the end of the file.
    const std::uint32_t peerLength =
        end > n ? static_cast<std::uint32_t>(n - body) : static_cast<std::uint32_t>(size);
    // The plug-in reads a sub-chunk that runs past the list's end whole and goes on after it,
    // whatever the peer makes of the list; past the list's pad byte too, the two walks go on
    // at different places.
    for (std::uint64_t p = body + 4; p + 8 < end && p + 8 <= n;) {
        const std::uint32_t subSize = U32(p + 4);
        const std::uint64_t subEnd = p + 8 + static_cast<std::uint64_t>(subSize) + (subSize & 1);
        if (subEnd > end) {
            if (subEnd > paddedEnd) {
                PluginChunks(paddedEnd, kSubChunkOverrun);
                PluginChunks(subEnd, kSubChunkOverrun);
            }
            break;
        }
        p = subEnd;
    }
    if (!exact) {
        PluginListItems(body + 4, end, kIdentifierCase);
        return;
    }
    // A last header that the list's end cuts short the peer reads whole, and goes on after it:
    // what it finds there, and what it misses after the list.
    const PeerListEnd peer = PeerList(body, peerLength, 0, nullptr);
    if (end <= n && peer.crossed && peer.at != peerLength) {
        PeerResync(body + peer.at + (size & 1), kListTail);
        PluginChunks(paddedEnd, kListTail);
    }
    if (!Exact(body, "INFO") && !Exact(body, "adtl")) {
        PluginListItems(body + 4, end, kListOfOtherType);
        const Trait t = kListOfOtherType;
        PeerList(body, peerLength, 0, &t);
        return;
    }
    std::uint64_t p = body + 4;
    while (p + 8 <= end && p + 8 <= n) {
        const std::uint32_t subSize = U32(p + 4);
        const std::uint64_t subEnd = p + 8 + static_cast<std::uint64_t>(subSize) + (subSize & 1);
        const int kind = TextKind(p);
        const bool last = p + 8 >= end; // the plug-in does not walk a last bare header
        if (U32(p) == 0) {              // the peer jumps to the list's end
            PluginListItems(p, end, kListFramingId);
            return;
        }
        if (Exact(p, "INFO") || Exact(p, "adtl") || Exact(p, "exif")) {
            PluginListItems(p, end, kListFramingId);
            const Trait t = kListFramingId;
            PeerList(body, peerLength, static_cast<std::uint32_t>(p - body), &t);
            return;
        }
        if (Exact(p, "data")) {
            Note(kListFramingId, kEveryField);
            return;
        }
        if (subSize == 0xFFFFFFFF && !last) {
            const Trait t = kListWrappedSize;
            PeerList(body, peerLength, static_cast<std::uint32_t>(p - body), &t);
            return;
        }
        if (subEnd > std::min<std::uint64_t>(end, n) && !last) {
            PluginListItems(p, end, kSubChunkOverrun); // the peer drops it and the rest
            return;
        }
        const std::uint32_t textBytes = subSize >= 4 ? subSize - 4 : 0;
        if (last) {
            // A bare header: only the peer reads it, and finds no room for contents.
        } else if (kind >= 0 && !Exact(p, kTextIds[kind])) {
            NoteText(kIdentifierCase, kind);
        } else if (kind >= 0) {
            if (subSize + (subSize & 1) >= kPeerBuffer) {
                PluginListItems(p, end, kListWalkStopsEarly);
                return;
            }
            if (subSize > Capacity(kind) ||
                std::find(d + p + 8, d + p + 8 + subSize, 0) - (d + p + 8) >=
                    static_cast<std::ptrdiff_t>(Capacity(kind)))
                NoteText(kLongText, kind);
            if (PadInText(p + 8, subSize))
                NoteText(kOddTextPad, kind);
        } else if (Folded(p, "labl") && !Exact(p, "labl")) {
            NoteLabel(kIdentifierCase, U32(p + 8));
        } else if (Exact(p, "labl")) {
            const std::uint32_t padded = textBytes + (textBytes & 1);
            if (subSize < 4 || padded < 1 || padded >= kPeerBuffer) {
                PluginListItems(p, end, kListWalkStopsEarly);
                return;
            }
            labelsSoFar.push_back(U32(p + 8));
            if (padded >= kTextBytes)
                NoteLabel(kLongLabel, U32(p + 8));
        } else if (Exact(p, "ltxt") || Exact(p, "note") || Exact(p, "DISP")) {
            PluginListItems(subEnd, end, kListWalkStopsEarly);
            return;
        }
        p = subEnd;
    }
    // The peer reads an identifier wherever a byte of the list is left, so a data one in the
    // list's last bytes is its data too.
    if (p < end && Exact(p, "data"))
        Note(kListFramingId, kEveryField);
}

Findings Scanner::Run() {
    if (n < 12)
        return found;
    sixtyFour = Exact(0, "RF64") || Exact(0, "BW64");
    std::uint64_t pos = 12;
    while (pos + 8 <= n) {
        const std::uint32_t size = U32(pos + 4);
        const std::uint64_t body = pos + 8;
        const std::uint64_t end = body + size + (size & 1);
        const int kind = TextKind(pos);
        bool printable = true;
        for (int i = 0; i < 4; ++i)
            printable = printable && std::isprint(d[pos + i]);
        if (!printable && size < 0xFFFF0000u) {
            // The peer's walk ends here, or where the header ends off the 4-byte grid, it steps
            // on a byte at a time; the plug-in's goes on.
            PluginChunks(end, kUnprintableId);
            if ((pos + 8) & 3)
                PeerResync(pos + 5, kUnprintableId);
            return found;
        }
        if (sixtyFour && (size & 1) && end < n && !(Exact(pos, "data") && size == 0xFFFFFFFF))
            Note(kSixtyFourOddChunk, kEveryField);
        if (Exact(pos, "INFO"))
            Note(kInfoChunkOutsideList, kEveryField);
        if (sixtyFour && Exact(pos, "ds64")) {
            const std::uint64_t read = 28 + static_cast<std::uint64_t>(U32(body + 24));
            const bool skipped = size >= read + 4 && !Exact(body + read, "fmt ");
            if (ds64Chunks++ > 0 || (size != read && !skipped))
                Note(kSixtyFourDs64Size, kEveryField);
        }
        if (sixtyFour && Exact(pos, "ds64") && size >= 24 && body + 16 <= n) {
            longDataSize = U32(body + 8) | static_cast<std::uint64_t>(U32(body + 12)) << 32;
            haveDs64 = true;
        } else if (Folded(pos, "fmt ") || Folded(pos, "data") ||
                   (sixtyFour && Folded(pos, "ds64"))) {
            if (!Exact(pos, "fmt ") && !Exact(pos, "data") && !Exact(pos, "ds64"))
                Note(kIdentifierCase, kEveryField);
            if (Folded(pos, "fmt "))
                Format(body, size);
        }
        if (Exact(pos, "data")) {
            if (sixtyFour && haveDs64 && longDataSize > static_cast<std::uint64_t>(INT64_MAX) - n)
                Note(kSixtyFourHugeData, kEveryField);
            if (sixtyFour && size == 0xFFFFFFFF) {
                if (!haveDs64) {
                    Note(kSixtyFourNoDs64, kEveryField);
                    return found;
                }
                // The size is in ds64.
                if (longDataSize > n - body) {
                    Note(kDataPastEnd, kFrames);
                    return found;
                }
                if (longDataSize & 1)
                    Note(kSixtyFourOddChunk, kEveryField);
                pos = body + longDataSize + (longDataSize & 1);
                continue;
            }
            if (sixtyFour && haveDs64 && longDataSize != size) {
                Note(kSixtyFourDataSize, kFrames | kSamples);
                // The peer's walk goes on where its size ends, and by rules of its own (a list
                // it leaves early, say), so whatever lies beyond counts.
                if (longDataSize < n - body)
                    PeerResync(body + longDataSize, kSixtyFourDataSize);
                PluginChunks(end, kSixtyFourDataSize);
                return found;
            }
            if (body + size > n)
                Note(kDataPastEnd, kFrames);
            if (size == 0 && U32(4) == 8 && n > 44) {
                // To the peer the rest of the file is samples; to the plug-in, chunks.
                Note(kUnclosedData, kFrames | kSamples);
                PluginChunks(body, kUnclosedData);
                return found;
            }
        } else if (kind >= 0) {
            if (size <= Capacity(kind))
                NoteText(kTopLevelText, kind);
        } else if (Folded(pos, "cue ")) {
            if (!Exact(pos, "cue "))
                Note(kIdentifierCase, kCues | kLabels);
            if (sixtyFour)
                Note(kSixtyFourCues, kCues | kLabels);
            for (std::uint32_t id : labelsSoFar)
                NoteLabel(kLabelsBeforeCues, id);
            const std::uint64_t count = U32(body);
            if (4 + count * 24 > size)
                Note(kCountedChunkOverrun, kEveryField);
            if (body + 4 + count * 24 > n)
                Note(kCuesPastEnd, kCues | kLabels);
        } else if (Folded(pos, "plst")) {
            const std::uint64_t count = U32(body);
            if (count < 0x80000000u && 4 + count * 12 > size)
                Note(kCountedChunkOverrun, kEveryField);
        } else if (Folded(pos, "LIST") && size >= 4 && body + 4 <= n) {
            List(body, size, Exact(pos, "LIST"));
        }
        pos = end;
    }
    // The peer reads a header that 4 to 7 bytes of the file start.
    if (Exact(pos, "data"))
        Note(kCutHeader, kAccepted | kFrames | kSamples);
    if (Exact(pos, "cue "))
        Note(kCutHeader, kCues | kLabels);
    return found;
}

} // namespace

Findings ScanTraits(const unsigned char* data, std::size_t size) {
    return Scanner(data, size).Run();
}

bool PeerWouldLoop(const unsigned char* data, std::size_t size) {
    // The peer may start a list anywhere (it steps through damaged files byte by byte), so
    // every "LIST" or "INFO" in the file is looked at.
    Scanner scanner(data, size);
    for (std::size_t at = 0; at + 12 <= size; ++at) {
        if (std::memcmp(data + at, "LIST", 4) != 0 && std::memcmp(data + at, "INFO", 4) != 0)
            continue;
        std::uint32_t length = riff::read_u32le(data + at + 4);
        if (length > size - at - 8)
            length = static_cast<std::uint32_t>(size - at - 8);
        if (length > 8 && scanner.PeerList(at + 8, length, 0, nullptr).loops)
            return true;
    }
    return false;
}

} // namespace wave_peer
