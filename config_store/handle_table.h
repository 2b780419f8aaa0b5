#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "config_store/store.h"

namespace config_store {

struct OpenStore {
    std::filesystem::path path; // absolute, so a later change of folder saves to the same file
    Store store;
};

// The process-wide table of open stores. Only the table is shared between threads
// and guarded here; a store itself is used by one thread at a time, so calls work on
// it after the lock is released.
class HandleTable {
public:
    static HandleTable& instance();

    // Files the store under a new handle: at least 16, never one that is in use, and
    // not repeated until the 32-bit counter wraps.
    std::uint32_t add(std::unique_ptr<OpenStore> store);
    // Null for a handle that is not open. The store stays valid until take().
    OpenStore* find(std::uint32_t handle);
    // Removes the store from the table and hands it over; null when not open.
    std::unique_ptr<OpenStore> take(std::uint32_t handle);

private:
    std::mutex m_mutex;
    std::unordered_map<std::uint32_t, std::unique_ptr<OpenStore>> m_open; // guarded by m_mutex
    std::uint32_t m_next = 0;                                             // guarded by m_mutex
};

} // namespace config_store
