#pragma once

#include <string>
#include <string_view>

namespace crash_mail {

// Text for the mail's UTF-8 parts. Inside this program text is already UTF-8, and so
// is what Linux callers put on the command line; a caller built for the legacy
// platform hands over its code page (GBK) instead. Valid UTF-8 is therefore returned
// unchanged, and anything else is read as the legacy code page and converted, so
// that what the mail declares as UTF-8 always is. Empty for an empty text. Both
// the test and the conversion are platform::utf8FromUnknown's.
std::string AnsiToUtf8(std::string_view text);

} // namespace crash_mail
