#include "peer_departures.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace wave_peer {

// "P:" the plug-in keeps a rule of its own on purpose; "S:" the peer's behaviour is wrong.
const Departure kDepartures[] = {
    {kIdentifierCase, kEveryField, "identifier-case",
     "P: identifiers are compared without regard to letter case (\"CUE \", \"list\", \"riff\", "
     "\"wave\" all count); the peer takes only the exact spelling"},
    {kTopLevelText, kTexts, "top-level-text",
     "P: INAM, IART, ICOP and ICMT chunks at the top level are taken as inside a list; the peer "
     "takes texts from lists only"},
    {kInfoChunkOutsideList, kEveryField, "info-chunk-outside-list",
     "S: a chunk named INFO is not a list (that is a LIST chunk of type INFO); the plug-in passes "
     "it over, the peer walks it as a list and takes what it finds there, a data chunk too"},
    {kLongText, kTexts, "long-text",
     "P: INFO texts of 260 bytes or more (520 for the comment) are not taken: the buffers hold "
     "259 characters"},
    {kLongLabel, kLabels, "long-label",
     "P: labels are cut to the host's 127-character field, and not taken at 260 bytes or more"},
    {kSeveralFormats, kEveryField, "several-formats",
     "P: the last format chunk of at least 14 bytes describes the file; the peer keeps the first, "
     "and (S) does not skip a later one's contents but reads them as the next chunk header"},
    {kExtensibleShort, kAccepted | kFormat | kFrames | kSamples, "extensible-short",
     "P: an extensible format chunk without its 22 extra bytes names no sample format: Unknown, "
     "refused"},
    {kSeveralData, kFrames | kSamples, "several-data",
     "P: a later data chunk replaces an earlier one wherever it stands"},
    {kDataPastEnd, kFrames, "data-past-end",
     "P: a data chunk cut short by the end of the file keeps the frame count its size gives (the "
     "frames present are delivered); the peer counts the frames present"},
    {kUnclosedData, kFrames | kSamples, "unclosed-data",
     "P: a data chunk of size 0 is empty; the peer guesses that it runs to the end of the file "
     "when the RIFF size is 8"},
    {kOddData, kFrames | kSamples, "odd-data",
     "S: the peer counts the pad byte after odd-sized data as sample data"},
    {kCountedChunkOverrun, kEveryField, "counted-chunk-overrun",
     "P: cue points and play-list segments are read by their count, past a chunk size too small "
     "for them, and the walk goes on after the last; the peer skips the play list by its size "
     "and goes back to the cue chunk's declared end"},
    {kCuesPastEnd, kCues | kLabels, "cues-past-end",
     "S: for a cue count that runs past the end of the file the peer reports the whole count, "
     "the missing points empty; the plug-in reports the points there"},
    {kManyCues, kCues | kLabels, "many-cues", "S: the peer skips a cue chunk of over 2500 points"},
    {kSubChunkOverrun, kEveryField, "sub-chunk-overrun",
     "P: a list's sub-chunk that runs past the list's end is read whole and the walk goes on "
     "after it; the peer drops it and resumes at the list's end"},
    {kListFramingId, kEveryField, "list-framing-id",
     "S: in a list the peer takes INFO, adtl and exif as bare 4-byte markers, ends the list at a "
     "zero identifier and takes a data sub-chunk as the file's data; each is a sub-chunk with a "
     "size"},
    {kListOfOtherType, kEveryField, "list-of-other-type",
     "P: a list of any type is walked for texts and labels; the peer reads the type of a list "
     "that is neither INFO nor adtl as the first sub-chunk's identifier, and what follows out of "
     "step"},
    {kListWalkStopsEarly, kLabels | kTexts, "list-walk-stops-early",
     "S: the peer stops walking a list at an ltxt, note or DISP sub-chunk, a text of 2048 bytes "
     "or more, or a label with no room for its text; the rest of the list is lost to it"},
    {kLabelsBeforeCues, kLabels, "labels-before-cues",
     "S: the peer drops labels whose list comes before the cue chunk (or before a later cue "
     "chunk that replaces the first); RIFF sets no order of chunks, and recorders write the "
     "list first"},
    {kOddTextPad, kLabels | kTexts, "odd-text-pad",
     "S: the peer keeps the pad byte after an odd-sized text as a character of it"},
    {kUnprintableId, kEveryField, "unprintable-id",
     "S: at a chunk identifier with an unprintable byte the peer ends its walk or steps back 3 "
     "bytes; the plug-in passes the chunk over by its size"},
    {kCutHeader, kEveryField, "cut-header",
     "P: the walk ends at a chunk header that the end of the file cuts short; the peer reads "
     "what is there as a whole header, the missing bytes as zeros"},
    {kSixtyFourCues, kCues | kLabels, "rf64-cues", "S: the peer reads no cue chunk in RF64"},
    {kSixtyFourDataSize, kFrames | kSamples, "rf64-data-size",
     "S: in RF64 the peer takes the ds64 data size even when the data chunk's own size is not "
     "0xFFFFFFFF, which is what sends a reader to ds64"},
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

unsigned ExcusedFields(std::uint32_t traits) {
    unsigned fields = 0;
    for (std::size_t i = 0; i < kDepartureCount; ++i)
        if (traits & (1u << kDepartures[i].trait))
            fields |= kDepartures[i].fields;
    return fields;
}

namespace {

// Walks the chunks by the RIFF rules alone (sizes, pad bytes, lists of sub-chunks) and notes
// what the table names. It shares no code with either reader.
class Scanner {
public:
    Scanner(const unsigned char* data, std::size_t size) : d(data), n(size) {}
    std::uint32_t Run();

private:
    std::uint32_t U32(std::uint64_t at) const {
        return at + 4 <= n ? d[at] | d[at + 1] << 8 | d[at + 2] << 16 |
                                 static_cast<std::uint32_t>(d[at + 3]) << 24
                           : 0;
    }
    std::uint16_t U16(std::uint64_t at) const {
        return at + 2 <= n ? static_cast<std::uint16_t>(d[at] | d[at + 1] << 8) : 0;
    }
    // The identifier at `at` is `id` exactly, or only up to letter case (noted).
    bool Is(std::uint64_t at, const char* id) {
        bool exact = std::memcmp(d + at, id, 4) == 0;
        bool folded = true;
        for (int i = 0; i < 4; ++i)
            folded = folded &&
                     std::tolower(d[at + i]) == std::tolower(static_cast<unsigned char>(id[i]));
        if (folded && !exact)
            Note(kIdentifierCase);
        return folded;
    }
    bool IsText(std::uint64_t at) {
        return Is(at, "INAM") || Is(at, "IART") || Is(at, "ICOP") || Is(at, "ICMT");
    }
    void Note(Trait t) { traits |= 1u << t; }
    void Format(std::uint64_t body, std::uint32_t size);
    void Text(std::uint64_t id, std::uint64_t body, std::uint32_t size);
    void List(std::uint64_t body, std::uint32_t size);
    void CheckPad(std::uint64_t text, std::uint32_t length);

    const unsigned char* d;
    std::size_t n;
    std::uint32_t traits = 0;
    int formats = 0;
    int dataChunks = 0;
    bool labelsBeforeCues = false; // labels met since the last cue chunk
    std::uint64_t longDataSize = 0;
    bool haveDs64 = false;
};

void Scanner::Format(std::uint64_t body, std::uint32_t size) {
    if (++formats > 1)
        Note(kSeveralFormats);
    if (U16(body) == 0xFFFE && (size < 40 || U16(body + 16) < 22))
        Note(kExtensibleShort);
}

// An odd-sized text whose pad byte is not NUL and whose text has no NUL of its own.
void Scanner::CheckPad(std::uint64_t text, std::uint32_t length) {
    if (!(length & 1) || text + length >= n || d[text + length] == 0)
        return;
    if (std::memchr(d + text, 0, length) == nullptr)
        Note(kOddTextPad);
}

void Scanner::Text(std::uint64_t id, std::uint64_t body, std::uint32_t size) {
    bool comment = Is(id, "ICMT");
    if (size >= (comment ? 519u : 259u))
        Note(kLongText);
    CheckPad(body, size);
}

void Scanner::List(std::uint64_t body, std::uint32_t size) {
    std::uint64_t end = body + size;
    std::uint64_t p = body + 4;
    if (std::memcmp(d + body, "INFO", 4) != 0 && std::memcmp(d + body, "adtl", 4) != 0)
        Note(kListOfOtherType);
    bool stopped = false; // where the peer's walk of this list has stopped
    while (p + 8 <= end && p + 8 <= n) {
        std::uint32_t subSize = U32(p + 4);
        std::uint64_t subEnd = p + 8 + subSize + (subSize & 1);
        if (stopped)
            Note(kListWalkStopsEarly);
        if (subEnd > end)
            Note(kSubChunkOverrun);
        if (std::memcmp(d + p, "INFO", 4) == 0 || std::memcmp(d + p, "adtl", 4) == 0 ||
            std::memcmp(d + p, "exif", 4) == 0 || std::memcmp(d + p, "data", 4) == 0 || U32(p) == 0)
            Note(kListFramingId);
        if (IsText(p)) {
            Text(p, p + 8, subSize);
            stopped = stopped || subSize + (subSize & 1) >= 2048;
        } else if (Is(p, "labl") || Is(p, "note")) {
            bool label = Is(p, "labl");
            labelsBeforeCues = true;
            if (subSize >= 4 + 128)
                Note(kLongLabel);
            if (subSize >= 4)
                CheckPad(p + 12, subSize - 4);
            std::uint32_t text = subSize - 4 + ((subSize - 4) & 1);
            stopped = stopped || !label || subSize < 5 || text >= 2048;
        } else if (Is(p, "ltxt") || std::memcmp(d + p, "DISP", 4) == 0) {
            stopped = true;
        }
        p = subEnd;
    }
}

std::uint32_t Scanner::Run() {
    if (n < 12)
        return 0;
    bool sixtyFour = Is(0, "RF64") || Is(0, "BW64");
    if (!sixtyFour)
        Is(0, "RIFF");
    Is(8, "WAVE");
    std::uint64_t pos = 12;
    while (pos + 8 <= n) {
        std::uint32_t size = U32(pos + 4);
        std::uint64_t body = pos + 8;
        std::uint64_t end = body + size + (size & 1);
        for (int i = 0; i < 4; ++i)
            if (!std::isprint(d[pos + i]))
                Note(kUnprintableId);
        if (sixtyFour && (size & 1) && end < n)
            Note(kSixtyFourOddChunk);
        if (std::memcmp(d + pos, "INFO", 4) == 0)
            Note(kInfoChunkOutsideList);
        if (sixtyFour && Is(pos, "ds64") && size >= 24 && body + 16 <= n) {
            longDataSize = U32(body + 8) | static_cast<std::uint64_t>(U32(body + 12)) << 32;
            haveDs64 = true;
        } else if (Is(pos, "fmt ")) {
            Format(body, size);
        } else if (Is(pos, "data")) {
            // The peer takes the ds64 size whatever the data chunk's own size says.
            if (sixtyFour && longDataSize > static_cast<std::uint64_t>(INT64_MAX) - n)
                Note(kSixtyFourHugeData);
            if (sixtyFour && size == 0xFFFFFFFF) {
                // The size is in ds64, and what follows lies beyond it.
                if (!haveDs64)
                    Note(kSixtyFourNoDs64);
                if (longDataSize > n - body)
                    Note(kDataPastEnd);
                return traits;
            }
            if (++dataChunks > 1)
                Note(kSeveralData);
            if (size & 1)
                Note(kOddData);
            if (body + size > n)
                Note(kDataPastEnd);
            if (size == 0 && U32(4) == 8)
                Note(kUnclosedData);
            if (sixtyFour)
                Note(kSixtyFourDataSize);
        } else if (IsText(pos)) {
            Note(kTopLevelText);
            Text(pos, body, size);
        } else if (Is(pos, "cue ")) {
            if (labelsBeforeCues)
                Note(kLabelsBeforeCues);
            std::uint64_t count = U32(body);
            if (4 + count * 24 > size)
                Note(kCountedChunkOverrun);
            if (body + 4 + count * 24 > n)
                Note(kCuesPastEnd);
            if (count > 2500)
                Note(kManyCues);
            if (sixtyFour)
                Note(kSixtyFourCues);
        } else if (Is(pos, "plst")) {
            std::uint64_t count = U32(body);
            if (count < 0x80000000u && 4 + count * 12 > size)
                Note(kCountedChunkOverrun);
        } else if (Is(pos, "LIST") && size >= 4 && body + 4 <= n) {
            List(body, size);
        }
        pos = end;
    }
    if (pos < n)
        Note(kCutHeader);
    return traits;
}

} // namespace

std::uint32_t ScanTraits(const unsigned char* data, std::size_t size) {
    return Scanner(data, size).Run();
}

} // namespace wave_peer
