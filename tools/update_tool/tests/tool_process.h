#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace update_tool_test {

struct ToolRun {
    int exitCode = -1; // -1 when it did not exit by itself
    std::string stdoutText;
    std::string stderrText;
};

// A program of ours started in a folder, its output captured into files there.
// The destructor kills it if it is still running.
class ToolProcess {
public:
    ToolProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& directory);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool started() const { return m_pid > 0; }
    void signal(int number) const;
    // Waits for the end, at most `seconds` (then kills it and says so in stderrText).
    ToolRun wait(int seconds);

private:
    pid_t m_pid = -1;
    std::filesystem::path m_directory;
};

// Starts, waits at most 30 s, returns what it printed and its exit code.
ToolRun runTool(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& directory);

} // namespace update_tool_test
