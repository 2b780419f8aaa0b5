#include "task_record.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/text_codec.h"

namespace update {
namespace {

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    const auto end = std::find(field, field + N, '\0');
    return platform::utf8FromLegacy(std::string_view(field, static_cast<std::size_t>(end - field)));
}

} // namespace

sUpdateStruct::sUpdateStruct()
    : TaskWireImage{} {}

std::string sUpdateStruct::gameName() const {
    return fieldText(g_GameName);
}
std::string sUpdateStruct::url() const {
    return fieldText(g_url);
}
std::string sUpdateStruct::version() const {
    return fieldText(g_ver);
}

void setWireText(char* field, std::size_t fieldSize, const std::string& utf8) {
    const std::string legacy = platform::legacyFromUtf8(utf8);
    std::size_t length = std::min(legacy.size(), fieldSize - 1);
    // Never cut a double-byte character in half: its lead byte alone would turn
    // the field's last character into garbage for the peer.
    std::size_t i = 0;
    while (i < length) {
        const bool lead = static_cast<unsigned char>(legacy[i]) >= 0x81;
        if (lead && i + 1 >= length) {
            break;
        }
        i += lead ? 2 : 1;
    }
    length = std::min(i, length);
    std::memset(field, 0, fieldSize);
    std::memcpy(field, legacy.data(), length);
}

} // namespace update
