// A small open-addressing map from a 64-bit key to two positions (the first and the last
// position added under that key). The header reader, the hand-over and the writer use it to
// keep their first-match and last-match rules without searching a whole list per item.
// Memory comes from malloc; when none can be had the map reports it and callers fall back to
// a plain search, so nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>

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

    KeyIndex() = default;
    ~KeyIndex();
    KeyIndex(const KeyIndex&) = delete;
    KeyIndex& operator=(const KeyIndex&) = delete;

    // Records position under key (first stays, last moves on). False when out of memory; the
    // index is then no longer usable (see Usable).
    bool Add(std::uint64_t key, int position, void* value = nullptr);
    // The entry for key, or null.
    Entry* Find(std::uint64_t key) const;
    bool Usable() const { return !m_failed; }

private:
    bool Grow();

    Entry* m_slots = nullptr;
    std::size_t m_capacity = 0; // a power of two, or 0
    std::size_t m_used = 0;
    bool m_failed = false;
};
