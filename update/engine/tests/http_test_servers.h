#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/testing/test_files.h"

// Real HTTP servers on 127.0.0.1 for the tests of the update engine, each run as a
// child process of the test and stopped by its owner object, also when the test
// fails. A child also gets SIGTERM when the thread that started it ends, so a test
// that crashes leaves no server behind: start servers from the test's own thread.
namespace update::test_servers {

using platform::testing::ScratchDirectory;

// One running server.
class HttpTestServer {
public:
    HttpTestServer(pid_t pid, int port, std::filesystem::path scratch, std::string scheme = "http");
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return m_port; }

    // "http://127.0.0.1:PORT" (or "https://...") followed by `path`, which starts
    // with '/'.
    std::string url(std::string_view path) const;

    // Terminates the server and waits for it (SIGKILL after 5 s). Idempotent.
    void stop();

private:
    pid_t m_pid;
    int m_port;
    std::filesystem::path m_scratch; // the server's own files, removed by stop()
    std::string m_scheme;
};

// Starts http_test_server.py (see its routes) serving the files under `root`.
// Returns null, with the reason in `error`, when it is not listening within 10 s.
std::unique_ptr<HttpTestServer> startFaultServer(const std::filesystem::path& root,
                                                 std::string& error);

// The same speaking HTTPS with a self-signed certificate for 127.0.0.1, which a
// client that checks certificates refuses.
std::unique_ptr<HttpTestServer> startTlsFaultServer(const std::filesystem::path& root,
                                                    std::string& error);

// Starts nginx (/usr/sbin/nginx) serving the files under `root` as plain static
// files. Returns null, with the reason in `error`, when it is not listening within
// 10 s.
std::unique_ptr<HttpTestServer> startNginx(const std::filesystem::path& root, std::string& error);

// A loopback port on which nothing listened at the time of the call: connections
// to it are refused.
int unusedLoopbackPort();

} // namespace update::test_servers
