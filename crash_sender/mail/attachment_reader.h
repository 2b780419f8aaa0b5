#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace crash_mail {

// Base64 lines of 76 characters (RFC 2045), which keeps every line of the message
// far below SMTP's limit of 1000 octets.
constexpr std::size_t kBase64LineChars = 76;

enum class FileReadResult {
    Encoded = 0,    // the whole file was encoded and taken
    Missing = 1,    // nothing exists under the path
    Unreadable = 2, // not a regular file, cannot be opened, empty, or shorter than
                    // the size it had when it was opened
    Refused = 3,    // the sink asked to stop
};

// Takes the next piece of Base64 text; returns false to stop the reading.
using Base64Sink = std::function<bool(std::string_view piece)>;

// Reads the file at `path` piece by piece and hands its Base64 text to `out`, so that
// memory does not grow with the file: lines of kBase64LineChars characters separated
// by CR LF, with no line end after the last line. Exactly the bytes the file had when
// it was opened are encoded. A read error after some pieces were taken still gives
// Unreadable.
FileReadResult ReadFileBase64(const std::string& path, const Base64Sink& out);

} // namespace crash_mail
