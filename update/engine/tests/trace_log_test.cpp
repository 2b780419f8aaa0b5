#include "update/engine/trace_log.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/testing/test_files.h"
#include "platform/text_codec.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::readFile;
using platform::testing::writeFile;

class TraceLogTest : public ::testing::Test {
protected:
    platform::testing::ScratchDirectory m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(TraceLogTest, LinesAreLegacyCodePageWithCrLfAndReachTheFileAtOnce) {
    const fs::path path = m_dir / "output.txt";
    update::TraceLog log(path);
    ASSERT_TRUE(log.isOpen());
    log.writeLine("http://127.0.0.1/index.ini");
    log.writeLine("下载完毕开始解压");
    // Read while the log is still open: nothing may sit in a buffer.
    EXPECT_EQ(readFile(path), "http://127.0.0.1/index.ini\r\n" +
                                  platform::legacyFromUtf8("下载完毕开始解压") + "\r\n");
}

TEST_F(TraceLogTest, OpeningTruncatesThePreviousLog) {
    const fs::path path = m_dir / "output.txt";
    writeFile(path, "old run\r\nold line\r\n");
    update::TraceLog log(path);
    log.writeLine("new");
    EXPECT_EQ(readFile(path), "new\r\n");
}

TEST_F(TraceLogTest, UnopenableLogIgnoresEveryWrite) {
    update::TraceLog log(m_dir / "missing-folder" / "output.txt");
    EXPECT_FALSE(log.isOpen());
    log.writeLine("nothing happens");
    EXPECT_FALSE(fs::exists(m_dir / "missing-folder"));
}

TEST_F(TraceLogTest, ProcessLogIsCreatedInTheStartingDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(m_dir);
    update::traceLog().writeLine("删除完毕");
    fs::current_path(previous);
    EXPECT_EQ(readFile(m_dir / "output.txt"), platform::legacyFromUtf8("删除完毕") + "\r\n");
}

TEST_F(TraceLogTest, LinesFromEightThreadsNeverInterleave) {
    const fs::path path = m_dir / "output.txt";
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 2000;
    {
        update::TraceLog log(path);
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&log, t] {
                // Long lines of one repeated character make any torn write visible.
                const std::string body(200 + t * 37, static_cast<char>('a' + t));
                for (int i = 0; i < kLinesEach; ++i) {
                    log.writeLine("执行命令:" + body + std::to_string(i));
                }
            });
        }
        for (auto& writer : writers) {
            writer.join();
        }
    }
    std::istringstream content(readFile(path));
    std::vector<std::set<int>> seen(kThreads);
    std::string line;
    const std::string prefix = platform::legacyFromUtf8("执行命令:");
    while (std::getline(content, line, '\n')) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
        const std::string rest = line.substr(prefix.size());
        const int t = rest.front() - 'a';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        const size_t bodyLength = 200 + static_cast<size_t>(t) * 37;
        ASSERT_EQ(rest.find_first_not_of(rest.front()), bodyLength) << line;
        seen[t].insert(std::stoi(rest.substr(bodyLength)));
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(seen[t].size(), static_cast<size_t>(kLinesEach)) << "thread " << t;
    }
}

} // namespace
