#include "config_store/name_index.h"

#include <utility>

namespace config_store {

namespace {
constexpr std::size_t kInitialCapacity = 16;
}

void NameIndex::add(std::string_view name, std::size_t position) {
    if ((m_count + 1) * 2 > m_slots.size()) {
        rehash(m_slots.empty() ? kInitialCapacity : m_slots.size() * 2, std::nullopt);
    }
    place(Slot{nameHash(name), static_cast<std::uint32_t>(position + 1)});
    ++m_count;
}

void NameIndex::removeAndShift(std::size_t position) {
    rehash(m_slots.size(), position);
}

void NameIndex::place(Slot slot) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = slot.hash & mask;
    while (m_slots[i].entry != 0) {
        i = (i + 1) & mask;
    }
    m_slots[i] = slot;
}

// Linear probing cannot simply clear a slot, so removal rebuilds the table; erasing
// from the owner's vector costs as much anyway.
void NameIndex::rehash(std::size_t capacity, std::optional<std::size_t> removed) {
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(capacity));
    m_count = 0;
    const std::uint32_t removedEntry = removed ? static_cast<std::uint32_t>(*removed + 1) : 0;
    for (Slot slot : old) {
        if (slot.entry == 0 || slot.entry == removedEntry) {
            continue;
        }
        if (removedEntry != 0 && slot.entry > removedEntry) {
            --slot.entry;
        }
        place(slot);
        ++m_count;
    }
}

} // namespace config_store
