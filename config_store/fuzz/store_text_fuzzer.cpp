// libFuzzer entry: any bytes as a store file. Reading must not crash, and what is
// read must come back unchanged through writing and reading again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config_store/store_text.h"
#include "platform/leading_integer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const config_store::Store first = config_store::parseStoreText(input);
    const std::string written = config_store::formatStoreText(first);
    const config_store::Store second = config_store::parseStoreText(written);
    if (config_store::formatStoreText(second) != written ||
        second.sections().size() != first.sections().size()) {
        std::abort();
    }
    for (const config_store::Section& section : second.sections()) {
        for (const config_store::KeyEntry& key : section.keys()) {
            const config_store::KeyEntry* found = first.findKey(section.name(), key.name);
            if (found == nullptr || found->value != key.value) {
                std::abort();
            }
            platform::leadingInteger(key.value);
        }
    }
    platform::leadingInteger(input);
    return 0;
}
