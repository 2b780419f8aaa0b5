// UrlExists against real servers on loopback: only a 404 or no answer at all
// counts as missing.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "update/engine/http_download.h"
#include "update/engine/tests/download_fixture.h"

namespace update::download_testing {
namespace {

struct ExistsCase {
    const char* name;
    bool nginx;
    std::string path; // on the server; empty: a port nobody listens on
    bool exists;
};

void PrintTo(const ExistsCase& c, std::ostream* out) {
    *out << c.name;
}

class UrlExistsTest : public DownloadTest, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(UrlExistsTest, AnswersByStatus) {
    const ExistsCase& c = GetParam();
    writeFile(servedFolder() / "there.bin", pattern(5000000));
    std::string url;
    if (c.path.empty()) {
        url = "http://127.0.0.1:" + std::to_string(test_servers::unusedLoopbackPort()) + "/x";
    } else {
        url = c.nginx ? nginxUrl(c.path) : faultUrl(c.path);
    }
    EXPECT_EQ(UrlExists(url), c.exists) << url;
    EXPECT_TRUE(shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UrlExistsTest,
    ::testing::Values(ExistsCase{"NginxFile", true, "/there.bin", true},
                      ExistsCase{"NginxMissingFile", true, "/missing.bin", false},
                      ExistsCase{"Status200", false, "/status/200", true},
                      ExistsCase{"Status404", false, "/status/404", false},
                      ExistsCase{"Status500", false, "/status/500", true},
                      ExistsCase{"Status403", false, "/status/403", true},
                      ExistsCase{"RedirectToFile", false, "/redirect/302?to=/there.bin", true},
                      ExistsCase{"RedirectToMissing", false, "/redirect/301?to=/status/404", false},
                      ExistsCase{"Unreachable", false, "", false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace update::download_testing
