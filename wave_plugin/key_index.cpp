#include "key_index.h"

#include <cstdlib>
#include <cstring>

namespace {

std::size_t Mix(std::uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    key *= 0xc4ceb9fe1a85ec53ULL;
    key ^= key >> 33;
    return static_cast<std::size_t>(key);
}

// Runs of 16 consecutive keys (cue ids 1, 2, 3, ... in the usual file) share one scattered
// group of 16 slots, so that walking such keys in order touches memory in order; keys that
// differ above the low four bits are spread by the mix.
std::size_t Hash(std::uint64_t key) {
    return Mix(key >> 4) * 16 + static_cast<std::size_t>(key & 15);
}

} // namespace

// --- KeyIndex ---------------------------------------------------------------------------------

KeyIndex::~KeyIndex() {
    std::free(m_slots);
}

void KeyIndex::Clear() {
    std::free(m_slots);
    m_slots = nullptr;
    m_capacity = 0;
    m_used = 0;
    m_failed = false;
}

bool KeyIndex::Grow() {
    std::size_t capacity = m_capacity == 0 ? 64 : m_capacity * 2;
    if (capacity < m_capacity)
        return false;
    Entry* slots = static_cast<Entry*>(m_allocate(capacity, sizeof(Entry)));
    if (slots == nullptr)
        return false;
    for (std::size_t i = 0; i < m_capacity; ++i) {
        if (!m_slots[i].used)
            continue;
        std::size_t j = Hash(m_slots[i].key) & (capacity - 1);
        while (slots[j].used)
            j = (j + 1) & (capacity - 1);
        slots[j] = m_slots[i];
    }
    std::free(m_slots);
    m_slots = slots;
    m_capacity = capacity;
    return true;
}

bool KeyIndex::Add(std::uint64_t key, int position, void* value) {
    if (m_failed)
        return false;
    if ((m_used + 1) * 2 > m_capacity && !Grow()) {
        m_failed = true;
        return false;
    }
    std::size_t j = Hash(key) & (m_capacity - 1);
    while (m_slots[j].used) {
        if (m_slots[j].key == key) {
            m_slots[j].last = position;
            return true;
        }
        j = (j + 1) & (m_capacity - 1);
    }
    m_slots[j].used = true;
    m_slots[j].key = key;
    m_slots[j].first = position;
    m_slots[j].last = position;
    m_slots[j].aux = 0;
    m_slots[j].value = value;
    ++m_used;
    return true;
}

KeyIndex::Entry* KeyIndex::Find(std::uint64_t key) const {
    if (m_capacity == 0)
        return nullptr;
    std::size_t j = Hash(key) & (m_capacity - 1);
    while (m_slots[j].used) {
        if (m_slots[j].key == key)
            return &m_slots[j];
        j = (j + 1) & (m_capacity - 1);
    }
    return nullptr;
}

// --- KeyPositions -----------------------------------------------------------------------------

KeyPositions::KeyPositions(const CPtrList& list, KeyOf keyOf, Allocate allocate)
    : m_list(list), m_keyOf(keyOf), m_allocate(allocate), m_index(allocate) {
    Update();
}

KeyPositions::~KeyPositions() {
    std::free(m_next);
    std::free(m_elements);
}

bool KeyPositions::Reserve(int capacity) {
    if (capacity <= m_capacity)
        return true;
    int* next = static_cast<int*>(m_allocate(static_cast<std::size_t>(capacity), sizeof(int)));
    void** elements =
        static_cast<void**>(m_allocate(static_cast<std::size_t>(capacity), sizeof(void*)));
    if (next == nullptr || elements == nullptr) {
        std::free(next);
        std::free(elements);
        return false;
    }
    if (m_count > 0) {
        std::memcpy(next, m_next, static_cast<std::size_t>(m_count) * sizeof(int));
        std::memcpy(elements, m_elements, static_cast<std::size_t>(m_count) * sizeof(void*));
    }
    std::free(m_next);
    std::free(m_elements);
    m_next = next;
    m_elements = elements;
    m_capacity = capacity;
    return true;
}

bool KeyPositions::Append(std::uint64_t key, void* element) {
    KeyIndex::Entry* e = m_index.Find(key);
    int previous = e != nullptr ? e->last : -1;
    if (!m_index.Add(key, m_count, element))
        return false;
    m_next[m_count] = -1;
    m_elements[m_count] = element;
    if (previous >= 0)
        m_next[previous] = m_count;
    ++m_count;
    return true;
}

void KeyPositions::Update() {
    if (!m_indexed)
        return;
    // Room for every node not taken in yet, in one allocation.
    if (!Reserve(m_count + (m_list.GetCount() - m_nodesTaken))) {
        m_indexed = false; // from now on every lookup walks the list
        return;
    }
    POSITION pos = m_taken;
    if (pos == nullptr)
        pos = m_list.GetHeadPosition();
    else
        m_list.GetNext(pos); // the node after the last one taken in
    while (pos != nullptr) {
        POSITION node = pos;
        void* element = m_list.GetNext(pos);
        m_taken = node;
        ++m_nodesTaken;
        std::uint64_t key;
        if (m_keyOf(element, &key) && !Append(key, element)) {
            m_indexed = false;
            return;
        }
    }
}

void KeyPositions::Restart() {
    m_index.Clear();
    m_count = 0;
    m_nodesTaken = 0;
    m_taken = nullptr;
    m_indexed = true;
    Update();
}

bool KeyPositions::Find(std::uint64_t key, bool last, Match* match) const {
    if (m_indexed) {
        const KeyIndex::Entry* e = m_index.Find(key);
        if (e == nullptr)
            return false;
        int position = last ? e->last : e->first;
        *match = Match{position, m_elements[position]};
        return true;
    }
    bool found = false;
    Walk(key, [&](const Match& m) {
        *match = m;
        found = true;
        return last; // the first match ends the walk; for the last, it goes on
    });
    return found;
}

bool KeyPositions::FirstVisit(std::uint64_t key) {
    if (!m_indexed)
        return true;
    KeyIndex::Entry* e = m_index.Find(key);
    if (e == nullptr || e->aux != 0)
        return false;
    e->aux = 1;
    return true;
}
