// crash-mail, the headless sender: its lines, exit codes, cleanup and Ctrl-C.
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "python_server.h"
#include "smtp_dialogue.h"

extern char** environ;

namespace crash_sender {
namespace {

namespace fs = std::filesystem;
using namespace crash_mail::testing;

// A run of crash-mail: its output lines as they come and its exit code.
class ToolRun {
public:
    explicit ToolRun(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), CRASH_MAIL_TOOL);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int output[2];
        EXPECT_EQ(::pipe2(output, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        EXPECT_EQ(::posix_spawn(&m_pid, CRASH_MAIL_TOOL, &actions, nullptr, argv.data(), environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        m_output = output[0];
    }

    ~ToolRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_output);
    }

    // Reads output until `line` was printed or the output ended; false after 10 s.
    bool waitForLine(const std::string& line) {
        while (std::find(m_lines.begin(), m_lines.end(), line) == m_lines.end()) {
            if (!readSome()) {
                return false;
            }
        }
        return true;
    }

    void interrupt() const { ::kill(m_pid, SIGINT); }

    // Reads the rest of the output and returns the exit code (-1 if it did not end).
    int finish() {
        while (readSome()) {
        }
        int status = 0;
        if (::waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::vector<std::string>& lines() const { return m_lines; }

private:
    bool readSome() {
        pollfd entry{m_output, POLLIN, 0};
        if (::poll(&entry, 1, 10'000) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t got = ::read(m_output, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        m_pending.append(chunk, static_cast<std::size_t>(got));
        for (auto end = m_pending.find('\n'); end != std::string::npos;
             end = m_pending.find('\n')) {
            m_lines.push_back(m_pending.substr(0, end));
            m_pending.erase(0, end + 1);
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_pending;
    std::vector<std::string> m_lines;
};

class CrashMailToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_folder.path() / "crash");
        m_report = m_folder.path() / "crash" / "report.dmp";
        writeFile(m_report, binaryBytes(10'000, 2));
        writeFile(m_folder.path() / "script.txt", "");
        writeFile(m_folder.path() / "transcript.bin", "");
    }

    // A scripted server playing `script`.
    std::unique_ptr<PythonServer> serve(const std::string& script) {
        writeFile(m_folder.path() / "script.txt", script);
        auto server = std::make_unique<PythonServer>(
            "scripted_smtp_server.py",
            std::vector<std::string>{(m_folder.path() / "script.txt").string(),
                                     (m_folder.path() / "transcript.bin").string()});
        EXPECT_NE(server->port(), 0);
        return server;
    }

    std::string reportArgument(const char* deleteFlag) const {
        return "crash@example.com#dev@example.com#" + m_report.string() + "#" + deleteFlag +
               "#127.0.0.1#user#pass";
    }

    ScratchDirectory m_folder;
    fs::path m_report;
};

TEST_F(CrashMailToolTest, SendsPrintsEveryLineAndDeletesWhenAsked) {
    const auto server = serve(conformingScript());
    ToolRun run({"--description", "它崩溃了", "--port", std::to_string(server->port()),
                 reportArgument("1")});
    EXPECT_EQ(run.finish(), 0);
    ASSERT_GE(run.lines().size(), 4U);
    EXPECT_EQ(run.lines().front(), "开始发送邮件");
    const std::vector<std::string> last(run.lines().end() - 3, run.lines().end());
    EXPECT_EQ(last,
              (std::vector<std::string>{"发送数据错误: 0。", "发送成功。", "[status_success]"}));
    EXPECT_FALSE(fs::exists(m_report.parent_path()));
    server->waitExit(std::chrono::seconds(3));
    EXPECT_NE(readFile(m_folder.path() / "transcript.bin").find("它崩溃了\r\n"), std::string::npos);
}

TEST_F(CrashMailToolTest, FailureExitsOneAndKeepsTheReport) {
    const auto server =
        serve(scriptEndingAt(Stage::RcptTo, "read\nsend 550 5.1.1 no such user\\r\\n"));
    ToolRun run({"--port", std::to_string(server->port()), reportArgument("1")});
    EXPECT_EQ(run.finish(), 1);
    const std::vector<std::string> last(run.lines().end() - 4, run.lines().end());
    EXPECT_EQ(last, (std::vector<std::string>{"550 5.1.1 no such user", "发送数据错误: 2。",
                                              "出现了严重的错误。", "[status_failed]"}));
    EXPECT_TRUE(fs::exists(m_report));
}

TEST_F(CrashMailToolTest, InterruptCancelsASilentServerWithinASecond) {
    const auto server = serve("hang");
    ToolRun run({"--port", std::to_string(server->port()), reportArgument("0")});
    ASSERT_TRUE(run.waitForLine("连接成功。"));
    const auto interrupted = std::chrono::steady_clock::now();
    run.interrupt();
    EXPECT_EQ(run.finish(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(1));
    const std::vector<std::string> last(run.lines().end() - 4, run.lines().end());
    EXPECT_EQ(last, (std::vector<std::string>{"[cancelled_by_user]", "发送数据错误: 2。",
                                              "出现了严重的错误。", "[status_failed]"}));
}

TEST_F(CrashMailToolTest, WrongCommandLinesAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"a#b#c#1#e##g"}, {}, {"--port", "0", reportArgument("0")}, {"--port"}, {"--bogus", "x"},
    };
    for (const auto& arguments : cases) {
        ToolRun run(arguments);
        EXPECT_EQ(run.finish(), 2);
        EXPECT_TRUE(run.lines().empty());
    }
}

} // namespace
} // namespace crash_sender
