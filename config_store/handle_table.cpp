#include "config_store/handle_table.h"

#include <utility>

namespace config_store {

namespace {
// Callers on the original platform took any handle below 16 for a failure.
constexpr std::uint32_t kFirstHandle = 16;
} // namespace

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

std::uint32_t HandleTable::add(std::unique_ptr<OpenStore> store) {
    const std::lock_guard lock(m_mutex);
    std::uint32_t handle = 0;
    do {
        if (m_next < kFirstHandle) {
            m_next = kFirstHandle;
        }
        handle = m_next++;
    } while (m_open.contains(handle));
    m_open.emplace(handle, std::move(store));
    return handle;
}

OpenStore* HandleTable::find(std::uint32_t handle) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_open.find(handle);
    return found == m_open.end() ? nullptr : found->second.get();
}

std::unique_ptr<OpenStore> HandleTable::take(std::uint32_t handle) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_open.find(handle);
    if (found == m_open.end()) {
        return nullptr;
    }
    std::unique_ptr<OpenStore> store = std::move(found->second);
    m_open.erase(found);
    return store;
}

} // namespace config_store
