#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "config_store/ascii_names.h"

namespace config_store {

// Case-insensitive lookup from a name to its position in an order vector kept by
// the owner. Open addressing with linear probing in one flat array: no allocation
// per name, and the stored hashes let the table grow without reading the names.
class NameIndex {
public:
    // Position of the entry whose name equals `name`; `nameAt(position)` yields the
    // owner's name at a position.
    template <typename NameAt>
    std::optional<std::size_t> find(std::string_view name, NameAt nameAt) const {
        if (m_slots.empty()) {
            return std::nullopt;
        }
        const std::uint32_t hash = nameHash(name);
        const std::size_t mask = m_slots.size() - 1;
        // The load factor stays at most one half, so a free slot ends every probe.
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.entry == 0) {
                return std::nullopt;
            }
            if (slot.hash == hash && namesEqual(nameAt(slot.entry - 1), name)) {
                return slot.entry - 1;
            }
        }
    }

    // Files `position` under `name`. The caller has made sure the name is new.
    void add(std::string_view name, std::size_t position);

    // Forgets `position`; positions above it move down by one, as they do in the
    // owner's vector when that entry is erased.
    void removeAndShift(std::size_t position);

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = 0; // position + 1; 0 marks a free slot
    };

    void place(Slot slot);
    void rehash(std::size_t capacity, std::optional<std::size_t> removed);

    std::vector<Slot> m_slots; // size is 0 or a power of two
    std::size_t m_count = 0;
};

} // namespace config_store
