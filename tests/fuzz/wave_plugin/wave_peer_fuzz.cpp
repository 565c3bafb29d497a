// Arbitrary bytes read by the wave plug-in and by libsndfile: where libsndfile opens them as
// integer PCM WAVE, both must agree on acceptance, format, frames, the samples as the host
// receives them (read through, and a frame after a seek to a few places), cue positions as the
// host receives them (all 64 bits) and labels, and the INFO texts, unless the file has a trait
// that peer_departures.cpp names for that reading. The markers and play list are handed over
// to host records, and what the plug-in read is written through its writer: libsndfile must
// read that copy as the plug-in read the file. Any other difference aborts.
//
// With WAVE_PEER_SURVEY set, each input is said to be compared in full, compared with some
// readings excused, or not compared, every difference is printed with the rows that explain it,
// and nothing aborts: a way to see what a corpus holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "peer_judge.h"

using namespace wave_peer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool survey = std::getenv("WAVE_PEER_SURVEY") != nullptr;
    const Verdict v = Judge(data, size, nullptr, survey ? Say::kEvery : Say::kUnexplained);
    if (survey) {
        // How far the input was compared: in full, with readings excused, or not at all.
        const Excuse& e = v.excuse;
        unsigned excused = e.fields | (e.labels.empty() ? 0u : unsigned{kLabels}) |
                           (e.texts != 0 ? unsigned{kTexts} : 0u);
        std::fprintf(stderr, "wave_peer_fuzz: %s",
                     v.compared == Compared::kNot      ? "not compared"
                     : v.compared == Compared::kInFull ? "compared in full"
                                                       : "compared, excused:");
        for (unsigned f = 1; f <= kEveryField; f <<= 1)
            if (excused & f)
                std::fprintf(stderr, " %s", FieldName(f));
        if (e.cuesKept != kEveryCue)
            std::fprintf(stderr, " cues-after-%u", e.cuesKept);
        std::fprintf(stderr, "\n");
    }
    if ((v.unexplained != 0 || v.copyDifferences != 0) && !survey)
        std::abort();
    return 0;
}
