// The table of departures holds no row that nothing needs: with a row left out, the seed named
// after it (departure-<row>.wav) is no longer explained. The corpus is replayed once per row.
// And a row excuses no more than its reason touches: see NarrowRowsLeaveTheOtherReadingsCompared.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "peer_judge.h"

using namespace wave_peer;

namespace {

struct Seed {
    std::string name;
    std::vector<unsigned char> bytes;
};

std::vector<Seed> Corpus() {
    std::vector<Seed> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(PEER_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        seeds.push_back({entry.path().filename().string(),
                         std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                                    std::istreambuf_iterator<char>())});
    }
    return seeds;
}

TEST(PeerDepartures, EveryRowIsNeededByItsOwnSeed) {
    const std::vector<Seed> corpus = Corpus();
    for (std::size_t i = 0; i < kDepartureCount; ++i) {
        const Departure& row = kDepartures[i];
        const std::string own = std::string("departure-") + row.name + ".wav";
        SCOPED_TRACE(own);
        EXPECT_TRUE(std::any_of(corpus.begin(), corpus.end(),
                                [&](const Seed& s) { return s.name == own; }));
        std::vector<std::string> failing;
        for (const Seed& seed : corpus) {
            // Only an input with the row's trait can change.
            if (!(ScanTraits(seed.bytes.data(), seed.bytes.size()).traits & (1u << row.trait)))
                continue;
            if (Judge(seed.bytes.data(), seed.bytes.size(), &row, Say::kNothing).unexplained)
                failing.push_back(seed.name);
        }
        std::string needers;
        for (const std::string& name : failing)
            needers += " " + name;
        EXPECT_NE(failing.end(), std::find(failing.begin(), failing.end(), own))
            << "seeds that need the row:" << needers;
    }
}

TEST(PeerDepartures, EveryDepartureSeedNamesARow) {
    for (const Seed& seed : Corpus()) {
        if (seed.name.rfind("departure-", 0) != 0)
            continue;
        // departure-<row>.wav, or departure-<row>-<what>.wav for more of the same
        bool named = false;
        for (std::size_t i = 0; i < kDepartureCount; ++i) {
            const std::string row = std::string("departure-") + kDepartures[i].name;
            named = named || seed.name == row + ".wav" || seed.name.rfind(row + "-", 0) == 0;
        }
        EXPECT_TRUE(named) << seed.name;
    }
}

// Each row excuses only what its reason touches in the file at hand: a seed named after it
// (narrow-<row>.wav) has its trait and readings elsewhere that it does not touch, and each of
// those, made wrong in the plug-in's view, is caught.
TEST(PeerDepartures, NarrowRowsLeaveTheOtherReadingsCompared) {
    const char* const narrowed[] = {"identifier-case", "info-chunk-outside-list",
                                    "several-formats", "counted-chunk-overrun",
                                    "cues-past-end",   "list-tail",
                                    "unprintable-id",  "rf64-ds64-size",
                                    "rf64-odd-chunk",  "rf64-huge-data",
                                    "rf64-no-ds64"};
    const std::vector<Seed> corpus = Corpus();
    for (const char* name : narrowed) {
        const std::string own = std::string("narrow-") + name + ".wav";
        SCOPED_TRACE(own);
        const auto seed = std::find_if(corpus.begin(), corpus.end(),
                                       [&](const Seed& s) { return s.name == own; });
        ASSERT_NE(corpus.end(), seed);
        const Departure* row =
            std::find_if(kDepartures, kDepartures + kDepartureCount,
                         [&](const Departure& r) { return r.name == std::string(name); });
        ASSERT_NE(kDepartures + kDepartureCount, row);
        const Verdict plain = Judge(seed->bytes.data(), seed->bytes.size());
        ASSERT_NE(Compared::kNot, plain.compared);
        EXPECT_TRUE(plain.findings.traits & (1u << row->trait));
        EXPECT_EQ(0u, plain.unexplained);
        EXPECT_EQ(0u, plain.copyDifferences);
        int caught = 0;
        for (unsigned field = 1; field <= kEveryField; field <<= 1) {
            if (plain.excuse.fields & field)
                continue;
            const Verdict v =
                Judge(seed->bytes.data(), seed->bytes.size(), nullptr, Say::kNothing, field);
            if (!(v.tampered & field))
                continue; // nothing of it in the file (no cue to label)
            EXPECT_TRUE(v.unexplained & field) << FieldName(field) << " made wrong, not seen";
            caught += (v.unexplained & field) != 0;
        }
        // Not only the acceptance and format: the samples or what the header holds besides.
        EXPECT_GE(caught, 3);
    }
}

} // namespace
