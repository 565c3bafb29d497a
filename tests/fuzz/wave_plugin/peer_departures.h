// Where the wave plug-in and libsndfile read a WAVE file differently on purpose: the traits of
// a file that explain a difference, found by a chunk scanner of its own (not the plug-in's
// walk), and the one table that says which readings each trait may change and why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wave_peer {

// What the peer fuzzer compares, one bit each.
enum Field : unsigned {
    kAccepted = 1u << 0,
    kFormat = 1u << 1, // channels, sample rate, bits per sample
    kFrames = 1u << 2,
    kSamples = 1u << 3,
    kCues = 1u << 4, // how many, and their sample positions
    kLabels = 1u << 5,
    kTexts = 1u << 6, // title, artist, copyright, comment
    kEveryField = (1u << 7) - 1,
};

// The four texts, in the order the fuzzer keeps them.
enum TextKind { kTitle, kArtist, kCopyright, kComment, kTextKinds };

// A property of the file, each the subject of one row of the table.
enum Trait : unsigned {
    kIdentifierCase,
    kTopLevelText,
    kInfoChunkOutsideList,
    kLongText,
    kLongLabel,
    kSeveralFormats,
    kExtensibleShort,
    kDataPastEnd,
    kUnclosedData,
    kCountedChunkOverrun,
    kCuesPastEnd,
    kManyCues,
    kSubChunkOverrun,
    kListFramingId,
    kListOfOtherType,
    kListWrappedSize,
    kListWalkStopsEarly,
    kListTail,
    kLabelsBeforeCues,
    kOddTextPad,
    kUnprintableId,
    kCutHeader,
    kCutFormat,
    kSixtyFourCues,
    kSixtyFourDataSize,
    kSixtyFourDs64Size,
    kSixtyFourOddChunk,
    kSixtyFourHugeData,
    kSixtyFourNoDs64,
    kTraitCount,
};

struct Departure {
    Trait trait;
    unsigned fields; // the most a file with this trait may get differently
    const char* name;
    const char* reason;
};

extern const Departure kDepartures[];
extern const std::size_t kDepartureCount;

// The file forms that libsndfile does not know by name but reads under another: the fuzzer
// hands it a copy whose first four bytes name the form it knows.
struct FormStandIn {
    const char* form;
    const char* peerForm;
    const char* reason;
};
extern const FormStandIn kFormStandIns[];
extern const std::size_t kFormStandInCount;

constexpr std::uint32_t kEveryCue = UINT32_MAX;

// What may differ: whole readings, the labels of some cues, some texts, and the cues past the
// first cuesKept of the peer's (which the plug-in does not report at all).
struct Excuse {
    unsigned fields = 0;
    std::vector<std::uint32_t> labels; // cue ids whose labels may differ
    unsigned texts = 0;                // bit per TextKind
    std::uint32_t cuesKept = kEveryCue;
    bool Label(std::uint32_t cueId) const;
    bool Text(int kind) const { return (fields & kTexts) || (texts & (1u << kind)); }
    bool Empty() const {
        return fields == 0 && labels.empty() && texts == 0 && cuesKept == kEveryCue;
    }
};

// What the scanner found: the traits of the file, and for each what it touches there.
struct Findings {
    std::uint32_t traits = 0; // bit per Trait
    Excuse touched[kTraitCount];
};

// The traits of a file's bytes.
Findings ScanTraits(const unsigned char* data, std::size_t size);

// What the table excuses for these findings; with `without`, as if that row were not there.
Excuse Excused(const Findings& findings, const Departure* without = nullptr);

// libsndfile walks a list with a 32-bit count of the bytes read; a sub-chunk size that wraps
// that count round within the list makes it walk the same bytes for ever. Such a file is not
// given to it.
bool PeerWouldLoop(const unsigned char* data, std::size_t size);

// Name of a field bit, for reports.
const char* FieldName(unsigned field);

} // namespace wave_peer
