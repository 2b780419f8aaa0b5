#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/testing/test_files.h"

namespace crash_mail::testing {

// The folder that holds the test servers' Python scripts.
std::filesystem::path scriptDirectory();

// A test server in Python, run by the system's interpreter (the one that can import
// Debian's packages). It prints its port on its first line of output. The object
// stops it by its pid, also when the test fails.
class PythonServer {
public:
    // Runs `script` of scriptDirectory() with `arguments`; its standard error goes to
    // `errorLog` when given.
    PythonServer(const std::string& script, const std::vector<std::string>& arguments,
                 const std::filesystem::path& errorLog = {});
    ~PythonServer();
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;

    // 0 when the server did not come up within a few seconds.
    std::uint16_t port() const { return m_port; }

    // Waits for the server to end by itself; false when it still runs after `timeout`.
    bool waitExit(std::chrono::milliseconds timeout);

    // Sends `signal` to the server.
    void signal(int signal) const;

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

using platform::testing::readFile;
using platform::testing::ScratchDirectory;
using platform::testing::writeFile;

// Bytes that look like a binary crash dump: every value occurs, nothing repeats soon.
std::string binaryBytes(std::size_t count, unsigned seed);

// Decodes Base64 text; line breaks are skipped.
std::string base64Decode(const std::string& text);

// A port of 127.0.0.1 on which nothing listens (bound, read back, released).
std::uint16_t unusedPort();

} // namespace crash_mail::testing
