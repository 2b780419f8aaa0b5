#include "platform/debug_trace.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/testing/test_files.h"

namespace {

std::mutex g_capturedMutex;
std::vector<std::string> g_captured;

void captureLine(std::string_view line) {
    std::lock_guard lock(g_capturedMutex);
    g_captured.emplace_back(line);
}

TEST(DebugTrace, LinesReachTheInstalledSinkAndNothingAfterSilencing) {
    g_captured.clear();
    const auto previous = platform::setDebugTraceSink(captureLine);
    platform::debugTrace("qel: first");
    platform::setDebugTraceSink(nullptr);
    platform::debugTrace("qel: dropped");
    platform::setDebugTraceSink(previous);
    EXPECT_EQ(g_captured, std::vector<std::string>{"qel: first"});
}

TEST(DebugTrace, DefaultSinkWritesOneLinePerCallToStandardError) {
    char path[] = "/tmp/debug_trace_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const int savedStderr = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    platform::debugTrace("dorp123: update SetClientSimpleSocket port no  6123");
    platform::debugTrace("qel: 线程");
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    close(fd);
    const std::string content = platform::testing::readFile(path);
    std::remove(path);
    EXPECT_EQ(content, "dorp123: update SetClientSimpleSocket port no  6123\nqel: 线程\n");
}

} // namespace
