#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config_store/name_index.h"

namespace config_store {

struct KeyEntry {
    std::string name;
    std::string value;
};

// One section: its keys in the order they were first written, each name spelled
// as first written and found without regard to ASCII letter case.
class Section {
public:
    explicit Section(std::string name)
        : m_name(std::move(name)) {}

    const std::string& name() const { return m_name; }
    const std::vector<KeyEntry>& keys() const { return m_keys; }
    const KeyEntry* find(std::string_view key) const;

    // Gives `key` the value, appending the key when it is new. True when something
    // changed.
    bool set(std::string_view key, std::string_view value);
    // True when the key was there.
    bool erase(std::string_view key);
    // A key read from a file. A later duplicate of a name is dropped: the first wins.
    void addFromFile(std::string&& key, std::string&& value);

private:
    std::string m_name;
    std::vector<KeyEntry> m_keys;
    NameIndex m_index;
};

// The whole content of one configuration file in memory, and whether it differs
// from what was read.
class Store {
public:
    const std::vector<Section>& sections() const { return m_sections; }
    const Section* findSection(std::string_view name) const;
    const KeyEntry* findKey(std::string_view section, std::string_view key) const;

    // Each returns true when the content changed; they create the section as needed.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);
    bool eraseKey(std::string_view section, std::string_view key);
    bool eraseSection(std::string_view name);

    // The section named by a header read from a file: an existing one (a repeated
    // header continues it) or a new one. Reading does not count as a change.
    Section& sectionFromFile(std::string&& name);

    bool isModified() const { return m_modified; }

private:
    std::optional<std::size_t> positionOf(std::string_view name) const;
    Section& appendSection(std::string&& name);

    std::vector<Section> m_sections;
    NameIndex m_index;
    bool m_modified = false;
};

} // namespace config_store
