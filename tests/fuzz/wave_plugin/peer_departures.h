// Where the wave plug-in and libsndfile read a WAVE file differently on purpose: the traits of
// a file that explain a difference, found by a chunk scanner of its own (not the plug-in's
// walk), and the one table that says which readings each trait may change and why.
#pragma once

#include <cstddef>
#include <cstdint>

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

// A property of the file, each the subject of one row of the table.
enum Trait : unsigned {
    kIdentifierCase,
    kTopLevelText,
    kInfoChunkOutsideList,
    kLongText,
    kLongLabel,
    kSeveralFormats,
    kExtensibleShort,
    kSeveralData,
    kDataPastEnd,
    kUnclosedData,
    kOddData,
    kCountedChunkOverrun,
    kCuesPastEnd,
    kManyCues,
    kSubChunkOverrun,
    kListFramingId,
    kListOfOtherType,
    kListWalkStopsEarly,
    kLabelsBeforeCues,
    kOddTextPad,
    kUnprintableId,
    kCutHeader,
    kSixtyFourCues,
    kSixtyFourDataSize,
    kSixtyFourOddChunk,
    kSixtyFourHugeData,
    kSixtyFourNoDs64,
    kTraitCount,
};

struct Departure {
    Trait trait;
    unsigned fields; // the readings a file with this trait may get differently
    const char* name;
    const char* reason;
};

extern const Departure kDepartures[];
extern const std::size_t kDepartureCount;

// The traits of a file's bytes, one bit per Trait.
std::uint32_t ScanTraits(const unsigned char* data, std::size_t size);

// The fields that the traits excuse.
unsigned ExcusedFields(std::uint32_t traits);

// Name of a field bit, for reports.
const char* FieldName(unsigned field);

} // namespace wave_peer
