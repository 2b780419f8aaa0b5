#include "config_store/config_store.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "config_store/file_io.h"
#include "config_store/handle_table.h"
#include "config_store/store_text.h"
#include "platform/leading_integer.h"

using config_store::HandleTable;
using config_store::OpenStore;

namespace {

// A position is the index of the next entry plus one, so null stays "none" and a
// stale position can only point past the end, never at freed memory.
CfgPosition positionAt(std::size_t index, std::size_t count) {
    return index < count ? reinterpret_cast<CfgPosition>(static_cast<std::uintptr_t>(index) + 1)
                         : nullptr;
}

std::size_t indexOf(CfgPosition position) {
    return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(position) - 1);
}

OpenStore* findStore(CfgHandle handle) {
    return HandleTable::instance().find(handle);
}

const config_store::KeyEntry* findKey(CfgHandle handle, const char* section, const char* key) {
    const OpenStore* open = findStore(handle);
    if (open == nullptr || section == nullptr || key == nullptr) {
        return nullptr;
    }
    return open->store.findKey(section, key);
}

const config_store::Section* findSection(CfgHandle handle, const char* section) {
    const OpenStore* open = findStore(handle);
    return open == nullptr || section == nullptr ? nullptr : open->store.findSection(section);
}

} // namespace

CfgHandle cfgOpenFile(const char* path, const char* /*options*/) {
    if (path == nullptr || *path == '\0') {
        return 0;
    }
    std::error_code error;
    auto open = std::make_unique<OpenStore>();
    open->path = std::filesystem::absolute(path, error);
    if (error) {
        return 0;
    }
    const config_store::ReadResult read = config_store::readFileContent(open->path);
    if (read.status == config_store::ReadStatus::Unreadable) {
        return 0;
    }
    open->store = config_store::parseStoreText(read.content);
    return HandleTable::instance().add(std::move(open));
}

bool cfgClose(CfgHandle handle, std::string* failure) {
    const std::unique_ptr<OpenStore> open = HandleTable::instance().take(handle);
    if (!open) {
        if (failure != nullptr) {
            *failure = "no store is open under handle " + std::to_string(handle);
        }
        return false;
    }
    if (!open->store.isModified()) {
        return true;
    }
    const config_store::SaveResult saved =
        config_store::replaceFileAtomically(open->path, config_store::formatStoreText(open->store));
    if (saved.status != config_store::SaveStatus::Saved && failure != nullptr) {
        *failure = saved.detail;
    }
    return saved.status == config_store::SaveStatus::Saved;
}

std::int32_t cfgGetValue(CfgHandle handle, const char* section, const char* key,
                         std::int32_t defaultValue) {
    const config_store::KeyEntry* found = findKey(handle, section, key);
    return found ? platform::leadingInteger(found->value) : defaultValue;
}

const char* cfgGetValue(CfgHandle handle, const char* section, const char* key,
                        const char* defaultValue) {
    const config_store::KeyEntry* found = findKey(handle, section, key);
    return found ? found->value.c_str() : defaultValue;
}

bool cfgSetValue(CfgHandle handle, const char* section, const char* key, const char* value,
                 int /*reserved*/) {
    OpenStore* open = findStore(handle);
    if (open == nullptr || section == nullptr || key == nullptr || value == nullptr) {
        return false;
    }
    open->store.setValue(section, key, value);
    return true;
}

bool cfgSetValue(CfgHandle handle, const char* section, const char* key, std::int32_t value) {
    return cfgSetValue(handle, section, key, std::to_string(value).c_str(), 0);
}

bool cfgEraseKey(CfgHandle handle, const char* section, const char* key) {
    OpenStore* open = findStore(handle);
    if (open == nullptr || section == nullptr || key == nullptr) {
        return false;
    }
    open->store.eraseKey(section, key);
    return true;
}

bool cfgEraseSection(CfgHandle handle, const char* section) {
    OpenStore* open = findStore(handle);
    if (open == nullptr || section == nullptr) {
        return false;
    }
    open->store.eraseSection(section);
    return true;
}

CfgPosition cfgFindFirstSectionPosition(CfgHandle handle) {
    const OpenStore* open = findStore(handle);
    return open == nullptr ? nullptr : positionAt(0, open->store.sections().size());
}

const char* cfgFindNextSection(CfgHandle handle, CfgPosition& position) {
    const OpenStore* open = findStore(handle);
    const std::size_t count = open == nullptr ? 0 : open->store.sections().size();
    const std::size_t index = indexOf(position);
    if (position == nullptr || index >= count) {
        position = nullptr;
        return nullptr;
    }
    position = positionAt(index + 1, count);
    return open->store.sections()[index].name().c_str();
}

CfgPosition cfgFindFistKeyPosition(CfgHandle handle, const char* section) {
    const config_store::Section* found = findSection(handle, section);
    return found == nullptr ? nullptr : positionAt(0, found->keys().size());
}

bool cfgFindNextKey(CfgHandle handle, const char* section, CfgPosition& position, std::string& key,
                    std::string& value, int& number) {
    const config_store::Section* found = findSection(handle, section);
    const std::size_t count = found == nullptr ? 0 : found->keys().size();
    const std::size_t index = indexOf(position);
    if (position == nullptr || index >= count) {
        position = nullptr;
        return false;
    }
    const config_store::KeyEntry& entry = found->keys()[index];
    key = entry.name;
    value = entry.value;
    number = platform::leadingInteger(entry.value);
    position = positionAt(index + 1, count);
    return true;
}
