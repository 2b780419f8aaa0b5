// Finding the final response among the header blocks curl hands over.
#include "update/engine/response_headers.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct HeaderCase {
    const char* name;
    std::vector<std::string> lines;
    int finalLine; // index of the line that ends the final block; -1: none does
    int status;
    std::int64_t contentLength;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class ResponseHeadersTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ResponseHeadersTest, FindsTheFinalResponse) {
    const HeaderCase& c = GetParam();
    update::ResponseHeaders headers;
    int finalLine = -1;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        if (headers.addLine(c.lines[i])) {
            EXPECT_EQ(finalLine, -1) << "a second final block at line " << i;
            finalLine = static_cast<int>(i);
        }
    }
    EXPECT_EQ(finalLine, c.finalLine);
    EXPECT_EQ(headers.isFinal(), c.finalLine >= 0);
    EXPECT_EQ(headers.status(), c.status);
    EXPECT_EQ(headers.contentLength(), c.contentLength);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ResponseHeadersTest,
    ::testing::Values(
        HeaderCase{
            "Plain", {"HTTP/1.1 200 OK\r\n", "Content-Length: 5000\r\n", "\r\n"}, 2, 200, 5000},
        HeaderCase{"NoLength", {"HTTP/1.1 200 OK\r\n", "\r\n"}, 1, 200, 0},
        HeaderCase{
            "Http2LowerCase", {"HTTP/2 404\r\n", "content-length:  17 \r\n", "\r\n"}, 2, 404, 17},
        HeaderCase{"ChunkedIgnoresLength",
                   {"HTTP/1.1 200 OK\r\n", "Content-Length: 99\r\n",
                    "Transfer-Encoding: chunked\r\n", "\r\n"},
                   3,
                   200,
                   0},
        HeaderCase{
            "InvalidLength", {"HTTP/1.1 200 OK\r\n", "Content-Length: -5\r\n", "\r\n"}, 2, 200, 0},
        HeaderCase{"ContinueThenOk",
                   {"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 200 OK\r\n",
                    "Content-Length: 3\r\n", "\r\n"},
                   4,
                   200,
                   3},
        HeaderCase{"RedirectFollowed",
                   {"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "Content-Length: 0\r\n", "\r\n",
                    "HTTP/1.1 200 OK\r\n", "Content-Length: 8\r\n", "\r\n"},
                   6,
                   200,
                   8},
        HeaderCase{"RedirectWithoutLocationIsFinal",
                   {"HTTP/1.1 302 Found\r\n", "Content-Length: 4\r\n", "\r\n"},
                   2,
                   302,
                   4},
        HeaderCase{
            "TrailersAfterTheFinalBlockIgnored",
            {"HTTP/1.1 200 OK\r\n", "Content-Length: 1\r\n", "\r\n", "HTTP/1.1 500 X\r\n", "\r\n"},
            2,
            200,
            1},
        HeaderCase{"Unfinished", {"HTTP/1.1 200 OK\r\n", "Content-Length: 1\r\n"}, -1, 200, 1}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
