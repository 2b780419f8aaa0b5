#include "config_store/store.h"

#include <utility>

namespace config_store {

const KeyEntry* Section::find(std::string_view key) const {
    const auto position = m_index.find(key, [this](std::size_t i) { return m_keys[i].name; });
    return position ? &m_keys[*position] : nullptr;
}

bool Section::set(std::string_view key, std::string_view value) {
    const auto position = m_index.find(key, [this](std::size_t i) { return m_keys[i].name; });
    if (position) {
        std::string& stored = m_keys[*position].value;
        if (stored == value) {
            return false;
        }
        stored.assign(value);
        return true;
    }
    m_index.add(key, m_keys.size());
    m_keys.push_back(KeyEntry{std::string(key), std::string(value)});
    return true;
}

bool Section::erase(std::string_view key) {
    const auto position = m_index.find(key, [this](std::size_t i) { return m_keys[i].name; });
    if (!position) {
        return false;
    }
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(*position));
    m_index.removeAndShift(*position);
    return true;
}

void Section::addFromFile(std::string&& key, std::string&& value) {
    if (m_index.find(key, [this](std::size_t i) { return m_keys[i].name; })) {
        return;
    }
    m_index.add(key, m_keys.size());
    m_keys.push_back(KeyEntry{std::move(key), std::move(value)});
}

std::optional<std::size_t> Store::positionOf(std::string_view name) const {
    return m_index.find(name, [this](std::size_t i) { return m_sections[i].name(); });
}

Section& Store::appendSection(std::string&& name) {
    m_index.add(name, m_sections.size());
    return m_sections.emplace_back(std::move(name));
}

const Section* Store::findSection(std::string_view name) const {
    const auto position = positionOf(name);
    return position ? &m_sections[*position] : nullptr;
}

const KeyEntry* Store::findKey(std::string_view section, std::string_view key) const {
    const Section* found = findSection(section);
    return found ? found->find(key) : nullptr;
}

bool Store::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const auto position = positionOf(section);
    Section& target = position ? m_sections[*position] : appendSection(std::string(section));
    const bool changed = target.set(key, value);
    m_modified = m_modified || changed;
    return changed;
}

bool Store::eraseKey(std::string_view section, std::string_view key) {
    const auto position = positionOf(section);
    const bool changed = position && m_sections[*position].erase(key);
    m_modified = m_modified || changed;
    return changed;
}

bool Store::eraseSection(std::string_view name) {
    const auto position = positionOf(name);
    if (!position) {
        return false;
    }
    m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(*position));
    m_index.removeAndShift(*position);
    m_modified = true;
    return true;
}

Section& Store::sectionFromFile(std::string&& name) {
    const auto position = positionOf(name);
    return position ? m_sections[*position] : appendSection(std::move(name));
}

} // namespace config_store
