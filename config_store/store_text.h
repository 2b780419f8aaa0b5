#pragma once

#include <string>
#include <string_view>

#include "config_store/store.h"

namespace config_store {

// Reads the text of a store file. Any byte sequence is accepted: lines that are
// neither a section header nor a key line of a section are skipped, and so are
// comment lines and keys before the first header.
Store parseStoreText(std::string_view text);

// The text of a store file holding `store`; parseStoreText gives the same content
// back.
std::string formatStoreText(const Store& store);

} // namespace config_store
