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
    Findings findings;
    Excuse excuse;
};

// Which differences Judge describes on standard error.
enum class Say { kNothing, kUnexplained, kEvery };

// Judges one input; `without` reads the table as if that row were not there.
Verdict Judge(const unsigned char* data, std::size_t size, const Departure* without = nullptr,
              Say say = Say::kUnexplained);

} // namespace wave_peer
