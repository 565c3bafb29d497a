// Reads one input through the wave plug-in and through libsndfile and compares the readings
// under the table of departures (peer_departures.h).
#pragma once

#include <cstddef>

#include "peer_departures.h"

namespace wave_peer {

enum class Compared { kNot, kInFull, kExcused };

struct Verdict {
    Compared compared = Compared::kNot; // not: libsndfile does not read it as a WAVE file
    unsigned differences = 0;           // the readings in which the two differ
    unsigned unexplained = 0;           // those the table does not excuse
    // The readings in which the plug-in's copy of the file, made through its writer, reads
    // differently in libsndfile from what the plug-in read; and a play-list hand-over that
    // points outside the host's markers (as cues). No row excuses these.
    unsigned copyDifferences = 0;
    unsigned tampered = 0; // the readings Judge's `tamper` made wrong
    Findings findings;
    Excuse excuse;
};

// Which differences Judge describes on standard error.
enum class Say { kNothing, kUnexplained, kEvery };

// Judges one input; `without` reads the table as if that row were not there. `tamper` makes
// those readings of the plug-in's wrong before they are compared (for labels and texts, the
// first the excuse leaves), to prove that the judge sees them.
Verdict Judge(const unsigned char* data, std::size_t size, const Departure* without = nullptr,
              Say say = Say::kUnexplained, unsigned tamper = 0);

} // namespace wave_peer
