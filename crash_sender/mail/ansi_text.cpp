#include "ansi_text.h"

#include "platform/text_codec.h"

namespace crash_mail {

std::string AnsiToUtf8(std::string_view text) {
    return platform::utf8FromUnknown(text);
}

} // namespace crash_mail
