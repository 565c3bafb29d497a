#include "key_index.h"

#include <cstdlib>

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

KeyIndex::~KeyIndex() {
    std::free(m_slots);
}

bool KeyIndex::Grow() {
    std::size_t capacity = m_capacity == 0 ? 64 : m_capacity * 2;
    if (capacity < m_capacity)
        return false;
    Entry* slots = static_cast<Entry*>(std::calloc(capacity, sizeof(Entry)));
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
