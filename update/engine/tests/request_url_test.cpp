// The URL handed to curl, and whether the environment names a proxy for it.
#include "update/engine/request_url.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "update/engine/tests/download_fixture.h"

namespace {

using update::download_testing::ScopedEnvironment;

struct UrlCase {
    std::string url;
    std::string expected;
};

void PrintTo(const UrlCase& c, std::ostream* out) {
    *out << c.url;
}

class RequestUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(RequestUrlTest, EncodesOnlyWhatCurlRefuses) {
    EXPECT_EQ(update::requestUrl(GetParam().url), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, RequestUrlTest,
    ::testing::Values(UrlCase{"http://h/a/b.zip?x=1#f", "http://h/a/b.zip?x=1#f"},
                      UrlCase{"http://h/my game/a b.zip", "http://h/my%20game/a%20b.zip"},
                      UrlCase{"http://h/%E6%B8%B8.zip", "http://h/%E6%B8%B8.zip"},
                      UrlCase{"http://h/游戏.zip", "http://h/%E6%B8%B8%E6%88%8F.zip"},
                      UrlCase{"http://h/a\tb\x7f", "http://h/a%09b%7F"},
                      UrlCase{"http://user@游戏.cn:80/x y", "http://user@游戏.cn:80/x%20y"},
                      UrlCase{"http://h?q=a b", "http://h?q=a%20b"}, UrlCase{"h/a b", "h/a%20b"}));

struct ProxyCase {
    const char* name;
    const char* url;
    const char* httpProxy;
    const char* httpsProxyUpper;
    const char* allProxy;
    const char* noProxy;
    bool proxied;
};

void PrintTo(const ProxyCase& c, std::ostream* out) {
    *out << c.name;
}

class ProxyTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyTest, FollowsCurlsVariables) {
    const ProxyCase& c = GetParam();
    const ScopedEnvironment http("http_proxy", c.httpProxy);
    const ScopedEnvironment httpUpper("HTTP_PROXY", "http://ignored:1");
    const ScopedEnvironment https("https_proxy", nullptr);
    const ScopedEnvironment httpsUpper("HTTPS_PROXY", c.httpsProxyUpper);
    const ScopedEnvironment all("all_proxy", c.allProxy);
    const ScopedEnvironment allUpper("ALL_PROXY", nullptr);
    const ScopedEnvironment no("no_proxy", c.noProxy);
    const ScopedEnvironment noUpper("NO_PROXY", nullptr);
    EXPECT_EQ(update::proxyConfiguredFor(c.url), c.proxied);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ProxyTest,
    ::testing::Values(ProxyCase{"None", "http://h/a", nullptr, nullptr, nullptr, nullptr, false},
                      ProxyCase{"Http", "http://h/a", "p:3128", nullptr, nullptr, nullptr, true},
                      ProxyCase{"HttpsUpperCase", "https://h/a", nullptr, "p:3128", nullptr,
                                nullptr, true},
                      ProxyCase{"HttpProxyNotForHttps", "https://h/a", "p:3128", nullptr, nullptr,
                                nullptr, false},
                      ProxyCase{"All", "https://h/a", nullptr, nullptr, "p:1080", nullptr, true},
                      ProxyCase{"NoProxyHost", "http://Dl.Game.cn:8080/a", "p:1", nullptr, nullptr,
                                "x.org, .game.cn", false},
                      ProxyCase{"NoProxyOtherHost", "http://game.cn.evil/a", "p:1", nullptr,
                                nullptr, "game.cn", true},
                      ProxyCase{"NoProxyStar", "http://h/a", "p:1", nullptr, nullptr, "*", false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
