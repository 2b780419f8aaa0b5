#pragma once

#include <cstdint>
#include <string_view>

namespace update {

// Follows the header lines of the responses of one request, as curl hands them to
// its header callback, to find the final response: the first one that is neither
// interim (1xx) nor a redirect that curl follows (3xx with a Location).
class ResponseHeaders {
public:
    // Takes one line with its line end. Returns true when the line ends the header
    // block of the final response; lines after that are ignored.
    bool addLine(std::string_view line);

    bool isFinal() const { return m_final; }

    // The status code of the response being read, 0 before its status line.
    int status() const { return m_status; }

    // The length the response announced; 0 when it announced none, announced an
    // invalid one or is sent in chunks (its Content-Length does not count then).
    std::int64_t contentLength() const { return m_chunked ? 0 : m_contentLength; }

private:
    bool m_final = false;
    int m_status = 0;
    std::int64_t m_contentLength = 0;
    bool m_chunked = false;
    bool m_location = false;
};

} // namespace update
