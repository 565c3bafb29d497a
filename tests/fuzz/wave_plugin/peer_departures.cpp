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
     "spelling and passes any other over by its size, in step: for fmt the file's acceptance, "
     "format and samples, for data its acceptance, frames and samples, else the cues, labels or "
     "texts of that chunk; a ds64 chunk's sizes, where the data chunk's length then differs, "
     "its frames and samples and what each walk meets after it"},
    {kTopLevelText, kTexts, "top-level-text",
     "P: INAM, IART, ICOP and ICMT chunks at the top level are taken as inside a list; the peer "
     "takes texts from lists only: those texts"},
    {kInfoChunkOutsideList, kEveryField, "info-chunk-outside-list",
     "S: a chunk named INFO is not a list (that is a LIST chunk of type INFO); the plug-in passes "
     "it over, the peer walks it as a list: the labels and texts it takes there (everything "
     "where it meets data or exif), and where it leaves the chunk out of step, what each walk "
     "meets after"},
    {kLongText, kTexts, "long-text",
     "P: an INFO text chunk over 260 bytes (520 for the comment) is not taken, and a text is cut "
     "to the 259 (519) characters its buffer holds: that text"},
    {kLongLabel, kLabels, "long-label",
     "P: a label of 260 bytes or more with its pad is not taken (the one before stays): that "
     "label"},
    {kSeveralFormats, kEveryField, "several-formats",
     "P: the last format chunk of at least 14 bytes describes the file; in RIFF the peer keeps "
     "the first, and (S) does not skip a later one's contents but reads them as the next chunk "
     "header: the file's acceptance, format and samples, and what each walk meets after the "
     "second (in RF64 the peer reads each and keeps the last, as the plug-in does)"},
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
     "for them, and the walk goes on after the last; the peer takes the same cue points by "
     "their count, skips the play list by its size and goes on at the chunk's declared end: "
     "what each walk meets after the chunk"},
    {kCuesPastEnd, kCues, "cues-past-end",
     "S: for a cue count that runs past the end of the file the peer reports the whole count, "
     "the missing points empty; the plug-in reports the points there: the peer's points after "
     "those, which must be empty"},
    {kManyCues, kCues | kLabels, "many-cues",
     "S: the peer passes over a cue chunk that counts more than 2500 points, a limit of its own "
     "(RIFF sets none): the cues and labels"},
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
     "what each walk meets after the list, up to where the peer's comes back to a chunk of the "
     "plug-in's"},
    {kLabelsBeforeCues, kLabels, "labels-before-cues",
     "S: the peer drops labels whose list comes before the cue chunk (or before a later cue "
     "chunk that replaces the first); RIFF sets no order of chunks, and recorders write the "
     "list first: those labels"},
    {kOddTextPad, kTexts, "odd-text-pad",
     "S: the peer keeps the pad byte after an odd-sized INFO text as a character of it: that "
     "text"},
    {kUnprintableId, kEveryField, "unprintable-id",
     "S: at a chunk identifier with an unprintable byte the peer ends its walk, or where the "
     "header ends off the 4-byte grid steps back 3 bytes and reads on; the plug-in passes the "
     "chunk over by its size: what each walk meets after, up to where the peer's comes back to "
     "a chunk of the plug-in's"},
    {kCutHeader, kAccepted | kFrames | kSamples | kCues | kLabels | kTexts, "cut-header",
     "P: the walk ends at a chunk header that the end of the file cuts short; the peer reads the "
     "identifier of 4 to 7 bytes there and, as its read of the size comes up short, takes a "
     "size of 0: an empty data chunk at the end of the file (which may be the only one), or an "
     "empty cue chunk; in a list, an empty text"},
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
     "ds64 chunk's contents as chunks; the plug-in passes each over by its size and takes the "
     "sizes of the last of at least 24 bytes: the frames and samples where the data lengths "
     "then differ, and what each walk meets after a ds64 chunk where they part there"},
    {kSixtyFourOddChunk, kEveryField, "rf64-odd-chunk",
     "S: in RF64 the peer skips no pad byte after an odd-sized chunk, so it reads the next "
     "chunk header a byte early; RF64 pads chunks as RIFF does: what each walk meets after the "
     "chunk, up to where the peer's comes back to a chunk of the plug-in's"},
    {kSixtyFourHugeData, kEveryField, "rf64-huge-data",
     "S: with a ds64 data size near 2^63 the peer's 64-bit sums overflow: it delivers none of the "
     "samples that are there, and its seek past them fails, so its walk goes on at their start: "
     "the frames and samples, and what the peer meets in the samples"},
    {kSixtyFourNoDs64, kEveryField, "rf64-no-ds64",
     "S: in RF64 a data size of 0xFFFFFFFF with no whole ds64 chunk before it leaves the peer "
     "with the length of an earlier data chunk, or none, and its walk goes on in the samples; "
     "the plug-in takes the size as it stands, as in RIFF: the frames and samples, and what "
     "each walk meets after"},
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
        if (row.fields & kCues)
            e.cuesKept = std::min(e.cuesKept, touched.cuesKept);
    }
    return e;
}

namespace {

constexpr std::uint32_t kPeerBuffer = 2048; // the peer's buffer for a text or label
const char* const kTextIds[kTextKinds] = {"INAM", "IART", "ICOP", "ICMT"};

// Walks the chunks by the RIFF rules (sizes, pad bytes, lists of sub-chunks) and notes where
// the peer's walk departs from them and what that touches. It shares no code with either
// reader. It never reads a data chunk's samples as chunks, except where the peer does.
//
// Where the two walks part (they read their next chunk headers at different places), each is
// followed on its own from there: the plug-in's by its rules, the peer's by the peer's, chunk by
// chunk, until it comes back to the start of a chunk of the plug-in's, where the two are in
// step again and the scan goes on.
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
    static constexpr std::uint64_t kNowhere = UINT64_MAX / 4; // sums with it do not wrap
    static constexpr std::uint32_t kPeerMostCues = 2500;      // more, and the peer reads none

    std::uint32_t U32(std::uint64_t at) const { return at + 4 <= n ? riff::read_u32le(d + at) : 0; }
    std::uint16_t U16(std::uint64_t at) const { return at + 2 <= n ? riff::read_u16le(d + at) : 0; }
    std::uint64_t U64(std::uint64_t at) const {
        return at + 8 <= n ? U32(at) | static_cast<std::uint64_t>(U32(at + 4)) << 32 : 0;
    }
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
    // Every byte of the identifier at `at` is a printable ASCII character (the peer's test).
    bool Printable(std::uint64_t at) const {
        for (int i = 0; i < 4; ++i)
            if (d[at + i] < 0x20 || d[at + i] > 0x7E)
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
    void Format(std::uint64_t at, std::uint64_t body, std::uint32_t size);
    // A list chunk; the peer passes over one whose identifier is not exactly "LIST". Returns
    // where the peer reads its next header (before its pad byte), and in *crossed whether it
    // read one across the list's end.
    std::uint64_t List(std::uint64_t body, std::uint32_t size, bool exact, bool* crossed);
    // The labels and texts the plug-in takes from a list's sub-chunks from `at` to `end`.
    void PluginListItems(std::uint64_t at, std::uint64_t end, Trait t);
    // What the plug-in takes from the chunks from `at` up to `until` (or the end of the file),
    // which the peer does not see there.
    void PluginChunks(std::uint64_t at, Trait t, std::uint64_t until = kNowhere);
    // What the peer may find when its walk goes on from `at` where it is not followed chunk by
    // chunk (it takes an unprintable identifier as a cue to step on a few bytes, so any chunk
    // after may be met): every identifier from there on.
    void PeerResync(std::uint64_t at, Trait t);
    // The walks part: the peer reads its next header at `peerAt` after a pad byte of
    // `peerJump` (RIFF only), the plug-in at `pluginAt`. Each is followed from there, noting
    // for t what it meets; returns where the two are in step again, or kNowhere.
    std::uint64_t Part(std::uint64_t peerAt, std::uint32_t peerJump, std::uint64_t pluginAt,
                       Trait t);
    // The peer's walk of the top level from `at`, by its rules, up to the first of `meet` (the
    // starts of the plug-in's chunks, in order) it reads a header at, which it returns; kNowhere
    // where it ends first or is not followed further.
    std::uint64_t PeerWalk(std::uint64_t at, std::uint32_t jump, Trait t,
                           const std::vector<std::uint64_t>& meet);
    // Where the plug-in's walk goes on after the chunk at `at`: its declared end, or past it
    // where counted contents or a list's sub-chunk run on, or where a ds64 size ends the data.
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
    int formats = 0;                        // format chunks, in any letters
    int peerFormats = 0;                    // format chunks the peer takes
    std::vector<std::uint32_t> labelsSoFar; // cue ids of the labels in lists so far
    // The data length in ds64 as each reader takes it: the peer from the first chunk named
    // exactly so, whatever its size, the plug-in from the last of at least 24 bytes.
    std::uint64_t peerLongSize = 0, pluginLongSize = 0;
    bool peerHasDs64 = false, pluginHasDs64 = false;
    bool pluginDs64Exact = true;      // the plug-in's ds64 sizes come from a chunk named exactly so
    std::uint64_t peerRiffSize = 0;   // the RIFF size in the peer's ds64
    std::uint64_t peerDataLength = 0; // the length the peer gave the last data chunk
};

void Scanner::Format(std::uint64_t at, std::uint64_t body, std::uint32_t size) {
    ++formats;
    if (!Exact(at, "fmt "))
        Note(kIdentifierCase, kAccepted | kFormat | kFrames | kSamples);
    else
        ++peerFormats;
    // In RIFF the peer keeps the first; in RF64 it keeps the last, as the plug-in does.
    if (formats > 1 && !sixtyFour)
        Note(kSeveralFormats, kAccepted | kFormat | kFrames | kSamples);
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
    } else if (sixtyFour && Folded(at, "data") && size == 0xFFFFFFFF && pluginHasDs64) {
        return pluginLongSize > n ? kNowhere : body + pluginLongSize + (pluginLongSize & 1);
    }
    return std::max(end, read);
}

void Scanner::PeerResync(std::uint64_t at, Trait t) {
    // A header that the end of the file cuts short counts too: the peer reads its identifier.
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

void Scanner::PluginChunks(std::uint64_t at, Trait t, std::uint64_t until) {
    for (std::uint64_t p = at; p < until && p + 8 <= n; p = PluginNext(p)) {
        const std::uint32_t size = U32(p + 4);
        const int kind = TextKind(p);
        // A later format or data chunk replaces the one before.
        if (Folded(p, "fmt "))
            Note(t, kAccepted | kFormat | kFrames | kSamples);
        else if (Folded(p, "data"))
            Note(t, kAccepted | kFrames | kSamples);
        else if (Folded(p, "cue "))
            Note(t, kCues | kLabels);
        else if (Folded(p, "LIST"))
            PluginListItems(p + 12, p + 8 + size, t);
        else if (kind >= 0)
            NoteText(t, kind);
    }
}

std::uint64_t Scanner::Part(std::uint64_t peerAt, std::uint32_t peerJump, std::uint64_t pluginAt,
                            Trait t) {
    found.traits |= 1u << t; // the file has the trait, whatever the walks then meet
    std::vector<std::uint64_t> starts;
    for (std::uint64_t p = pluginAt; p + 8 <= n && starts.size() < 65536; p = PluginNext(p))
        starts.push_back(p);
    const std::uint64_t again = PeerWalk(peerAt, peerJump, t, starts);
    PluginChunks(pluginAt, t, again);
    return again;
}

std::uint64_t Scanner::PeerWalk(std::uint64_t at, std::uint32_t jump, Trait t,
                                const std::vector<std::uint64_t>& meet) {
    // The stream's place is the furthest byte read (a step back re-reads what the peer holds);
    // its tests of the place use that.
    std::uint64_t furthest = at;
    bool hasFormat = peerFormats > 0;
    for (int steps = 0; steps < 65536; ++steps) {
        furthest = std::max(furthest, at);
        if (at >= n || furthest + 4 >= n) // it ends with fewer than 4 bytes left
            return kNowhere;
        const std::uint64_t pos = at + (sixtyFour ? 0 : jump);
        if (std::binary_search(meet.begin(), meet.end(), pos))
            return pos;
        if (pos + 4 > n || U32(pos) == 0)
            return kNowhere;
        if (pos + 8 > n) { // a header cut short: its size reads as 0
            if (Exact(pos, "data"))
                Note(t, kAccepted | kFrames | kSamples);
            else if (Exact(pos, "fmt "))
                Note(t, kEveryField);
            else if (!sixtyFour && Exact(pos, "cue "))
                Note(t, kCues | kLabels);
            return kNowhere;
        }
        const std::uint32_t size = U32(pos + 4);
        const std::uint64_t body = pos + 8;
        furthest = std::max(furthest, body);
        std::uint64_t next = body + size;
        jump = size & 1;
        if (sixtyFour && Exact(pos, "data")) {
            // A later data chunk replaces the one before; its length is the one in the ds64
            // chunk the peer read, else the chunk's own, or where that is 0xFFFFFFFF the last
            // data chunk's. The peer goes on after it, without a pad byte; where the sum
            // overflows, its seek fails and it goes on at the start of the samples.
            Note(t, kAccepted | kFrames | kSamples);
            std::uint64_t length = peerHasDs64          ? peerLongSize
                                   : size == 0xFFFFFFFF ? peerDataLength
                                                        : size;
            if (size == 0 && peerRiffSize == 8 && n > 44)
                return kNowhere;
            next = length > static_cast<std::uint64_t>(INT64_MAX) - n ? body : body + length;
            at = next;
            continue;
        }
        if (Exact(pos, "data")) {
            // A later data chunk replaces the one before; the peer goes on after its length,
            // as far as the end of the file, and the pad byte, or guesses that it runs to the
            // end of the file.
            Note(t, kAccepted | kFrames | kSamples);
            if (size == 0 && U32(4) == 8 && n > 44)
                return kNowhere;
            next = body + std::min<std::uint64_t>(size, n - body) + (size & 1);
            jump = 0;
            at = next;
            continue;
        }
        if (Exact(pos, "fmt ")) {
            // A format chunk of fewer than 16 bytes makes the peer refuse the file; in RIFF it
            // reads the contents of one after the first as chunks.
            Note(t, kAccepted | kFormat | kFrames | kSamples);
            if (!sixtyFour && hasFormat)
                next = body;
            hasFormat = true;
        } else if (!sixtyFour && (Exact(pos, "RIFF") || Exact(pos, "RIFX")))
            return kNowhere; // the peer refuses the file
        else if (Exact(pos, "LIST") || Exact(pos, "INFO")) {
            if (size > 8) {
                const std::uint32_t length =
                    body + size > n ? static_cast<std::uint32_t>(n - body) : size;
                next = body + PeerList(body, length, 0, &t).at;
            }
        } else if (!sixtyFour && Exact(pos, "cue ")) {
            Note(t, kCues | kLabels);
            // Points read past the end of the file leave it short of the declared end.
            if (U32(body) <= kPeerMostCues && body + 4 + 24 * std::uint64_t{U32(body)} > n) {
                PeerResync(body, t);
                return kNowhere;
            }
        } else if (!sixtyFour && Exact(pos, "fact")) {
            next = body + std::max<std::uint32_t>(size, 4);
        } else if (Exact(pos, "bext") || Exact(pos, "cart") || Exact(pos, "PEAK") ||
                   (sixtyFour && Exact(pos, "ds64")) ||
                   (!sixtyFour && (Exact(pos, "smpl") || Exact(pos, "acid")))) {
            PeerResync(pos, t); // read by rules of their own, not followed here
            return kNowhere;
        } else if (size >= 0xFFFF0000u) {
            return kNowhere;
        } else if (!sixtyFour && std::memcmp(d + pos, "TAG", 3) == 0 && pos + 128 == n) {
            return kNowhere; // an ID3 trailer
        } else if (!Printable(pos)) {
            if (!(furthest & 3))
                return kNowhere;
            next = pos + 5; // three bytes back from the header's end
        }
        if (size >= n)
            return kNowhere;
        furthest = std::max(furthest, std::min<std::uint64_t>(next, n));
        at = next;
    }
    return kNowhere;
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

std::uint64_t Scanner::List(std::uint64_t body, std::uint32_t size, bool exact, bool* crossed) {
    const std::uint64_t end = body + size;
    const std::uint64_t paddedEnd = end + (size & 1);
    *crossed = false;
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
        return end;
    }
    // A list of 8 bytes or less the peer passes over, reading its type only.
    if (size <= 8)
        return end;
    // A last header that the list's end cuts short the peer reads whole, and goes on after it.
    const PeerListEnd peer = PeerList(body, peerLength, 0, nullptr);
    *crossed = peer.crossed;
    const std::uint64_t peerAt = body + peer.at;
    if (!Exact(body, "INFO") && !Exact(body, "adtl")) {
        PluginListItems(body + 4, end, kListOfOtherType);
        const Trait t = kListOfOtherType;
        PeerList(body, peerLength, 0, &t);
        return peerAt;
    }
    std::uint64_t p = body + 4;
    while (p + 8 <= end && p + 8 <= n) {
        const std::uint32_t subSize = U32(p + 4);
        const std::uint64_t subEnd = p + 8 + static_cast<std::uint64_t>(subSize) + (subSize & 1);
        const int kind = TextKind(p);
        const bool last = p + 8 >= end; // the plug-in does not walk a last bare header
        if (U32(p) == 0) {              // the peer jumps to the list's end
            PluginListItems(p, end, kListFramingId);
            return peerAt;
        }
        if (Exact(p, "INFO") || Exact(p, "adtl") || Exact(p, "exif")) {
            PluginListItems(p, end, kListFramingId);
            const Trait t = kListFramingId;
            PeerList(body, peerLength, static_cast<std::uint32_t>(p - body), &t);
            return peerAt;
        }
        if (Exact(p, "data")) {
            Note(kListFramingId, kEveryField);
            return peerAt;
        }
        if (subSize == 0xFFFFFFFF && !last) {
            const Trait t = kListWrappedSize;
            PeerList(body, peerLength, static_cast<std::uint32_t>(p - body), &t);
            return peerAt;
        }
        if (subEnd > std::min<std::uint64_t>(end, n) && !last) {
            PluginListItems(p, end, kSubChunkOverrun); // the peer drops it and the rest
            return peerAt;
        }
        const std::uint32_t textBytes = subSize >= 4 ? subSize - 4 : 0;
        if (last) {
            // A bare header: only the peer reads it, and finds no room for contents.
        } else if (kind >= 0 && !Exact(p, kTextIds[kind])) {
            NoteText(kIdentifierCase, kind);
        } else if (kind >= 0) {
            if (subSize + (subSize & 1) >= kPeerBuffer) {
                PluginListItems(p, end, kListWalkStopsEarly);
                return peerAt;
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
                return peerAt;
            }
            labelsSoFar.push_back(U32(p + 8));
            if (padded >= kTextBytes)
                NoteLabel(kLongLabel, U32(p + 8));
        } else if (Exact(p, "ltxt") || Exact(p, "note") || Exact(p, "DISP")) {
            PluginListItems(subEnd, end, kListWalkStopsEarly);
            return peerAt;
        }
        p = subEnd;
    }
    // The peer reads an identifier wherever a byte of the list is left, so a data one in the
    // list's last bytes is its data too.
    if (p < end && Exact(p, "data"))
        Note(kListFramingId, kEveryField);
    return peerAt;
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
        // Where each walk reads its next header: the peer at peerAt after a pad byte of
        // peerJump (in RIFF; it skips none in RF64), the plug-in at pluginAt; and the row that
        // explains it where the two differ. By default both pass the chunk over by its size.
        std::uint64_t peerAt = body + size;
        std::uint32_t peerJump = size & 1;
        std::uint64_t pluginAt = PluginNext(pos);
        Trait parting = kSixtyFourOddChunk;

        if (!Printable(pos) && size < 0xFFFF0000u) {
            // The peer's walk ends here, or where the header ends off the 4-byte grid, it steps
            // back 3 bytes and reads on; the plug-in's goes on after the chunk.
            peerAt = pos;
            peerJump = 0;
            parting = kUnprintableId;
        } else if (Exact(pos, "INFO")) {
            const Trait t = kInfoChunkOutsideList;
            if (size > 8) {
                const std::uint32_t length =
                    body + size > n ? static_cast<std::uint32_t>(n - body) : size;
                peerAt = body + PeerList(body, length, 0, &t).at;
                if (peerAt != body + size)
                    parting = t;
            }
        } else if (sixtyFour && Folded(pos, "ds64")) {
            if (!Exact(pos, "ds64")) {
                // The peer passes it over by its size.
            } else if (peerHasDs64) {
                peerAt = body; // the peer reads a second one's contents as chunks
                peerJump = 0;
                parting = kSixtyFourDs64Size;
            } else {
                peerHasDs64 = true;
                peerRiffSize = U64(body);
                peerLongSize = body + 16 <= n ? U64(body + 8) : 0;
                const std::uint32_t table = body + 28 <= n ? U32(body + 24) : 0;
                const std::uint64_t read = 28 + std::uint64_t{table};
                if (size != read && !(size >= read + 4 && !Exact(body + read, "fmt ")))
                    peerAt = body + read;
                if (peerAt != body + size)
                    parting = kSixtyFourDs64Size;
            }
            if (size >= 24 && body + 24 <= n) {
                pluginLongSize = U64(body + 8);
                pluginHasDs64 = true;
                pluginDs64Exact = Exact(pos, "ds64");
            }
        } else if (Folded(pos, "fmt ")) {
            Format(pos, body, size);
            if (Exact(pos, "fmt ") && peerFormats > 1 && !sixtyFour) {
                peerAt = body; // the peer reads a second one's contents as chunks
                parting = kSeveralFormats;
            }
        } else if (Exact(pos, "data")) {
            // The length each reader takes.
            std::uint64_t peerLength = size;
            if (sixtyFour && peerHasDs64)
                peerLength = peerLongSize;
            else if (sixtyFour && size == 0xFFFFFFFF)
                peerLength = peerDataLength;
            const bool unclosed =
                size == 0 && n > 44 && (sixtyFour ? peerRiffSize == 8 : U32(4) == 8);
            if (unclosed)
                peerLength = n - body; // to the peer the rest of the file is samples
            peerDataLength = peerLength;
            const std::uint64_t pluginLength =
                sixtyFour && size == 0xFFFFFFFF && pluginHasDs64 ? pluginLongSize : size;
            // Where the walks go on: the peer after its length, in RIFF with the pad and
            // no further than the end of the file, in RF64 without; the plug-in after its
            // length and the pad.
            peerAt = sixtyFour ? body + peerLength
                               : body + std::min<std::uint64_t>(peerLength, n - body) + (size & 1);
            peerJump = 0;
            if (!sixtyFour && size >= n)
                peerAt = n;
            if (sixtyFour && peerLength > static_cast<std::uint64_t>(INT64_MAX) - n) {
                // Its sums overflow: no samples, and its seek past them fails.
                Note(kSixtyFourHugeData, kFrames | kSamples);
                peerAt = body;
                parting = kSixtyFourHugeData;
            } else if (unclosed) {
                Note(kUnclosedData, kFrames | kSamples);
                parting = kUnclosedData;
            } else if (peerLength != pluginLength) {
                if (sixtyFour && size == 0xFFFFFFFF && !peerHasDs64)
                    parting = pluginHasDs64 ? kIdentifierCase : kSixtyFourNoDs64;
                else if (sixtyFour && size != 0xFFFFFFFF)
                    parting = kSixtyFourDataSize;
                else
                    parting = pluginDs64Exact ? kSixtyFourDs64Size : kIdentifierCase;
                Note(parting, kFrames | kSamples);
            }
            if (pluginLength > n - body)
                Note(kDataPastEnd, kFrames);
        } else if (Folded(pos, "data")) {
            Note(kIdentifierCase, kAccepted | kFrames | kSamples);
            parting = kIdentifierCase;
        } else if (kind >= 0) {
            if (size <= Capacity(kind))
                NoteText(kTopLevelText, kind);
        } else if (Folded(pos, "cue ")) {
            const bool read = Exact(pos, "cue ") && !sixtyFour; // the peer reads the points
            const std::uint64_t count = U32(body);
            if (!Exact(pos, "cue "))
                Note(kIdentifierCase, kCues | kLabels);
            if (sixtyFour)
                Note(kSixtyFourCues, kCues | kLabels);
            if (read && count > kPeerMostCues)
                Note(kManyCues, kCues | kLabels);
            for (std::uint32_t id : labelsSoFar)
                NoteLabel(kLabelsBeforeCues, id);
            if (4 + count * 24 > size)
                parting = kCountedChunkOverrun;
            if (body + 4 + count * 24 > n) {
                found.traits |= 1u << kCuesPastEnd;
                found.touched[kCuesPastEnd].cuesKept =
                    body + 4 <= n ? static_cast<std::uint32_t>((n - body - 4) / 24) : 0;
                // Its reads past the end of the file leave the peer up to 3 bytes short of
                // the declared end, where it goes on.
                if (read && count <= kPeerMostCues && body + size < n) {
                    PeerResync(body + size >= 3 ? body + size - 3 : 0, kCountedChunkOverrun);
                    return found;
                }
            }
        } else if (Folded(pos, "plst")) {
            if (pluginAt > end)
                parting = kCountedChunkOverrun;
        } else if (Folded(pos, "LIST") && size >= 4 && body + 4 <= n) {
            bool crossed = false;
            peerAt = List(body, size, Exact(pos, "LIST"), &crossed);
            if (crossed)
                parting = kListTail;
            else if (peerAt < body + size)
                parting = kListFramingId; // it took a data sub-chunk for the file's data
            else if (pluginAt > end)
                parting = kSubChunkOverrun;
        }

        // The peer's walk ends with fewer than 4 bytes left, or after a chunk (other than the
        // data) that claims the whole file.
        const bool peerEnds = peerAt + 4 >= n || (size >= n && !Exact(pos, "data"));
        const bool pluginEnds = pluginAt + 8 > n;
        if (peerEnds && pluginEnds)
            return found;
        if (!peerEnds && peerAt + (sixtyFour ? 0 : peerJump) == pluginAt) {
            pos = pluginAt;
            continue;
        }
        pos = Part(peerEnds ? n : peerAt, peerJump, pluginEnds ? n : pluginAt, parting);
        if (pos == kNowhere)
            return found;
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
