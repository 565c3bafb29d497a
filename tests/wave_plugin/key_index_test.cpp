// The first-match, last-match and all-matches lookups over a pointer list, with the index and
// without it (memory refused from the start, or part-way through), against a plain search.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "key_index.h"
#include "pointer_list.h"

namespace {

// Elements are pointers into this array; the key is the value they point at, 0 for none.
struct Keyed {
    std::vector<std::uint64_t> keys;
    CPtrList list;
    void Add(std::uint64_t key) { keys.push_back(key); }
    void Link(std::size_t from) {
        for (std::size_t i = from; i < keys.size(); ++i)
            list.AddTail(keys[i] == 0 ? nullptr : &keys[i]);
    }
};

bool KeyOf(const void* element, std::uint64_t* key) {
    if (element == nullptr)
        return false;
    *key = *static_cast<const std::uint64_t*>(element);
    return true;
}

void* Refuse(std::size_t, std::size_t) {
    return nullptr;
}

int g_budget = 0; // allocations still granted
void* Budgeted(std::size_t count, std::size_t size) {
    return g_budget-- > 0 ? std::calloc(count, size) : nullptr;
}

// Positions of key among the keyed elements, by plain search.
std::vector<int> Expected(const std::vector<std::uint64_t>& keys, std::uint64_t key) {
    std::vector<int> positions;
    int position = 0;
    for (std::uint64_t k : keys) {
        if (k == 0)
            continue;
        if (k == key)
            positions.push_back(position);
        ++position;
    }
    return positions;
}

void ExpectLookups(const KeyPositions& lookup, const Keyed& data, std::uint64_t keyRange) {
    for (std::uint64_t key = 1; key <= keyRange; ++key) {
        SCOPED_TRACE(key);
        std::vector<int> expected = Expected(data.keys, key);
        std::vector<int> all;
        lookup.ForEach(key, [&](const KeyPositions::Match& m) {
            all.push_back(m.position);
            EXPECT_EQ(key, *static_cast<std::uint64_t*>(m.element));
        });
        EXPECT_EQ(expected, all);
        KeyPositions::Match first{-1, nullptr}, last{-1, nullptr};
        ASSERT_EQ(!expected.empty(), lookup.First(key, &first));
        ASSERT_EQ(!expected.empty(), lookup.Last(key, &last));
        if (!expected.empty()) {
            EXPECT_EQ(expected.front(), first.position);
            EXPECT_EQ(expected.back(), last.position);
        }
    }
}

// Keys drawn from a small range so that most repeat; every seventh element null.
void Draw(Keyed& data, std::size_t count, std::uint64_t keyRange, std::uint32_t seed) {
    data.keys.reserve(count * 2); // elements point into the array: it must not move
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        data.Add(i % 7 == 6 ? 0 : 1 + (seed >> 8) % keyRange);
    }
    data.Link(0);
}

TEST(KeyPositions, IndexedAndFallbackGiveThePlainSearchsAnswers) {
    const std::uint64_t range = 40;
    Keyed data;
    Draw(data, 1000, range, 7);
    KeyPositions indexed(data.list, KeyOf);
    EXPECT_TRUE(indexed.Indexed());
    ExpectLookups(indexed, data, range + 1);

    KeyPositions refused(data.list, KeyOf, Refuse);
    EXPECT_FALSE(refused.Indexed());
    ExpectLookups(refused, data, range + 1);

    // Memory runs out part-way: the lookups switch to the search and stay right.
    for (int budget : {1, 2, 3}) {
        SCOPED_TRACE(budget);
        g_budget = budget;
        KeyPositions partial(data.list, KeyOf, Budgeted);
        EXPECT_FALSE(partial.Indexed());
        ExpectLookups(partial, data, range + 1);
    }
}

TEST(KeyPositions, ElementsAppendedLaterAreTakenInByUpdate) {
    const std::uint64_t range = 9;
    Keyed data;
    Draw(data, 30, range, 3);
    KeyPositions indexed(data.list, KeyOf);
    KeyPositions refused(data.list, KeyOf, Refuse);
    for (std::uint64_t key : {4u, 0u, 4u, 11u, 2u}) // a null element among them
        data.Add(key);
    data.Link(30);
    indexed.Update();
    refused.Update();
    ExpectLookups(indexed, data, range + 2);
    ExpectLookups(refused, data, range + 2);
}

TEST(KeyPositions, FirstVisitOncePerKeyWithTheIndexEveryTimeWithout) {
    Keyed data;
    Draw(data, 20, 3, 1);
    KeyPositions indexed(data.list, KeyOf);
    EXPECT_TRUE(indexed.FirstVisit(2));
    EXPECT_FALSE(indexed.FirstVisit(2));
    EXPECT_FALSE(indexed.FirstVisit(99)); // no element has it
    KeyPositions refused(data.list, KeyOf, Refuse);
    EXPECT_TRUE(refused.FirstVisit(2));
    EXPECT_TRUE(refused.FirstVisit(2));
}

TEST(KeyPositions, EmptyListFindsNothing) {
    CPtrList empty;
    KeyPositions lookup(empty, KeyOf);
    KeyPositions::Match m;
    EXPECT_FALSE(lookup.First(1, &m));
    EXPECT_FALSE(lookup.Last(1, &m));
    int calls = 0;
    lookup.ForEach(1, [&](const KeyPositions::Match&) { ++calls; });
    EXPECT_EQ(0, calls);
}

} // namespace
