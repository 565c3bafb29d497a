// Lookups of where keys stand in a pointer list, for the first-match and last-match rules of
// the header reader, the hand-over and the writer.
//
// KeyIndex is a small open-addressing map from a 64-bit key to the first and the last position
// added under it. KeyPositions builds on it over a list: the first and the last position of a
// key and every position that holds it, in list order, so that a lookup costs no more than its
// matches. When memory for the index cannot be had, KeyPositions walks the list instead and
// gives the same answers. Memory comes from an allocation function (calloc unless a test gives
// another), so nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pointer_list.h"

// calloc's signature: count elements of size bytes each, zero-filled; null when none is left.
using Allocate = void* (*)(std::size_t count, std::size_t size);

class KeyIndex {
public:
    struct Entry {
        std::uint64_t key;
        int first;   // position first added under the key
        int last;    // position last added under the key
        int aux;     // free for the caller; 0 when the key is added
        void* value; // the value given with the first position
        bool used;
    };

    explicit KeyIndex(Allocate allocate = std::calloc) : m_allocate(allocate) {}
    ~KeyIndex();
    KeyIndex(const KeyIndex&) = delete;
    KeyIndex& operator=(const KeyIndex&) = delete;

    // Records position under key (first stays, last moves on). False when out of memory; the
    // index is then no longer usable (see Usable).
    bool Add(std::uint64_t key, int position, void* value = nullptr);
    // The entry for key, or null.
    Entry* Find(std::uint64_t key) const;
    bool Usable() const { return !m_failed; }
    // Forgets every key, as a new index.
    void Clear();

private:
    bool Grow();

    Allocate m_allocate;
    Entry* m_slots = nullptr;
    std::size_t m_capacity = 0; // a power of two, or 0
    std::size_t m_used = 0;
    bool m_failed = false;
};

class KeyPositions {
public:
    // The key of an element; false for an element that has none (it takes no position).
    using KeyOf = bool (*)(const void* element, std::uint64_t* key);
    struct Match {
        int position; // 0-based, counting only elements that have a key
        void* element;
    };

    KeyPositions(const CPtrList& list, KeyOf keyOf, Allocate allocate = std::calloc);
    ~KeyPositions();
    KeyPositions(const KeyPositions&) = delete;
    KeyPositions& operator=(const KeyPositions&) = delete;

    // Takes in the elements appended to the list since construction or the last call.
    void Update();
    // Starts again from the head of the list, after it was emptied and refilled.
    void Restart();
    // The first or the last element with the key; false when none has it.
    bool First(std::uint64_t key, Match* match) const { return Find(key, false, match); }
    bool Last(std::uint64_t key, Match* match) const { return Find(key, true, match); }
    // Calls f(const Match&) for every element with the key, in list order.
    template <typename F> void ForEach(std::uint64_t key, F f) const;
    // True only at the first call for a key, so that a caller can act once per key (with the
    // index; without it, every call is a first).
    bool FirstVisit(std::uint64_t key);
    // False once memory for the index could not be had: lookups then walk the list.
    bool Indexed() const { return m_indexed; }

private:
    bool Reserve(int capacity);
    bool Append(std::uint64_t key, void* element);
    bool Find(std::uint64_t key, bool last, Match* match) const;
    // Without the index: the walk over the list, stopping when f returns false.
    template <typename F> void Walk(std::uint64_t key, F f) const;

    const CPtrList& m_list;
    KeyOf m_keyOf;
    Allocate m_allocate;
    KeyIndex m_index;
    int* m_next = nullptr;       // position -> next position with the same key, or -1
    void** m_elements = nullptr; // position -> element
    int m_count = 0;             // positions taken in
    int m_capacity = 0;
    int m_nodesTaken = 0;       // nodes taken in, with a key or without
    POSITION m_taken = nullptr; // the last node taken in
    bool m_indexed = true;
};

template <typename F> void KeyPositions::Walk(std::uint64_t key, F f) const {
    int position = 0;
    for (POSITION pos = m_list.GetHeadPosition(); pos != nullptr;) {
        void* element = m_list.GetNext(pos);
        std::uint64_t k;
        if (!m_keyOf(element, &k))
            continue;
        if (k == key && !f(Match{position, element}))
            return;
        ++position;
    }
}

template <typename F> void KeyPositions::ForEach(std::uint64_t key, F f) const {
    if (!m_indexed) {
        Walk(key, [&](const Match& m) {
            f(m);
            return true;
        });
        return;
    }
    const KeyIndex::Entry* e = m_index.Find(key);
    for (int i = e != nullptr ? e->first : -1; i >= 0; i = m_next[i])
        f(Match{i, m_elements[i]});
}
