#include "tool_process.h"

#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/testing/test_files.h"

namespace update_tool_test {

ToolProcess::ToolProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& directory)
    : m_directory(directory) {
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string out = (directory / "tool-stdout.txt").string();
    const std::string err = (directory / "tool-stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // A test runs with its signals at their defaults, whatever its runner blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

ToolProcess::~ToolProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

void ToolProcess::signal(int number) const {
    if (m_pid > 0) {
        ::kill(m_pid, number);
    }
}

ToolRun ToolProcess::wait(int seconds) {
    ToolRun run;
    if (m_pid <= 0) {
        run.stderrText = "(not started)";
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    bool killed = false;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            killed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.stdoutText = platform::testing::readFile(m_directory / "tool-stdout.txt");
    run.stderrText = platform::testing::readFile(m_directory / "tool-stderr.txt");
    if (killed) {
        run.stderrText += "\n(killed after " + std::to_string(seconds) + " s)";
    }
    return run;
}

ToolRun runTool(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& directory) {
    ToolProcess process(program, args, directory);
    return process.wait(30);
}

} // namespace update_tool_test
