#include "http_test_servers.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/testing/test_files.h"

namespace update::test_servers {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr int kNginxAttempts = 3;

// A file descriptor closed on destruction.
class Fd {
public:
    explicit Fd(int fd = -1)
        : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool acceptsConnections(int port) {
    Fd socketFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopbackAddress(port);
    return socketFd.get() >= 0 &&
           ::connect(socketFd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
               0;
}

// Starts `argv` with its standard output on `stdoutFd` (or inherited when -1). The
// child gets SIGTERM when the calling thread ends.
pid_t spawn(const std::vector<std::string>& args, int stdoutFd) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        if (stdoutFd >= 0 && ::dup2(stdoutFd, STDOUT_FILENO) < 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

bool hasExited(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

// Reads the first line the child writes to `fd`; empty on time-out or end of file.
std::string readFirstLine(int fd) {
    std::string line;
    const auto deadline = Clock::now() + kStartTimeout;
    while (Clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&entry, 1, static_cast<int>(left.count()) + 1) <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            return {};
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
    return {};
}

void replaceAll(std::string& text, std::string_view from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

fs::path makeScratchFolder(const char* stem) {
    std::string pattern = (fs::temp_directory_path() / stem).string() + "XXXXXX";
    return ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

// Waits until nginx accepts connections on `port`; false when it has ended instead.
bool waitUntilListening(pid_t pid, int port) {
    const auto deadline = Clock::now() + kStartTimeout;
    while (Clock::now() < deadline) {
        if (acceptsConnections(port)) {
            return true;
        }
        if (hasExited(pid)) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Starts http_test_server.py, with TLS or without.
std::unique_ptr<HttpTestServer> startPythonServer(const fs::path& root, bool tls,
                                                  std::string& error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    Fd readEnd(pipeFds[0]);
    Fd writeEnd(pipeFds[1]);
    std::vector<std::string> args{"/usr/bin/python3", HTTP_TEST_SERVER_SCRIPT};
    if (tls) {
        args.insert(args.end(), {"--tls", SELF_SIGNED_TLS_PEM});
    }
    args.push_back(root.string());
    const pid_t pid = spawn(args, writeEnd.get());
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return nullptr;
    }
    writeEnd.reset();
    const int port = std::atoi(readFirstLine(readEnd.get()).c_str());
    if (port <= 0) {
        HttpTestServer(pid, 0, fs::path()).stop();
        error = "http_test_server.py did not report its port within 10 s";
        return nullptr;
    }
    return std::make_unique<HttpTestServer>(pid, port, fs::path(), tls ? "https" : "http");
}

} // namespace

HttpTestServer::HttpTestServer(pid_t pid, int port, fs::path scratch, std::string scheme)
    : m_pid(pid)
    , m_port(port)
    , m_scratch(std::move(scratch))
    , m_scheme(std::move(scheme)) {}

HttpTestServer::~HttpTestServer() {
    stop();
}

std::string HttpTestServer::url(std::string_view path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

void HttpTestServer::stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + kStopTimeout;
        bool ended = hasExited(m_pid);
        while (!ended && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ended = hasExited(m_pid);
        }
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    if (!m_scratch.empty()) {
        std::error_code ignored;
        fs::remove_all(m_scratch, ignored);
        m_scratch.clear();
    }
}

std::unique_ptr<HttpTestServer> startFaultServer(const fs::path& root, std::string& error) {
    return startPythonServer(root, false, error);
}

std::unique_ptr<HttpTestServer> startTlsFaultServer(const fs::path& root, std::string& error) {
    return startPythonServer(root, true, error);
}

std::unique_ptr<HttpTestServer> startNginx(const fs::path& root, std::string& error) {
    const std::string conf = platform::testing::readFile(NGINX_TEST_CONF);
    if (conf.empty()) {
        error = "cannot read " NGINX_TEST_CONF;
        return nullptr;
    }
    for (int attempt = 0; attempt < kNginxAttempts; ++attempt) {
        fs::path prefix = makeScratchFolder("update_test_nginx_");
        if (prefix.empty()) {
            error = std::string("mkdtemp: ") + std::strerror(errno);
            return nullptr;
        }
        // The port may be taken between our probe and nginx's bind: then try again.
        const int port = unusedLoopbackPort();
        std::string text = conf;
        replaceAll(text, "@PREFIX@", prefix.string());
        replaceAll(text, "@ROOT@", fs::absolute(root).string());
        replaceAll(text, "@PORT@", std::to_string(port));
        platform::testing::writeFile(prefix / "nginx.conf", text);
        const pid_t pid = spawn({"/usr/sbin/nginx", "-q", "-p", prefix.string(), "-c",
                                 (prefix / "nginx.conf").string()},
                                -1);
        if (pid < 0) {
            error = std::string("fork: ") + std::strerror(errno);
            std::error_code ignored;
            fs::remove_all(prefix, ignored);
            return nullptr;
        }
        auto server = std::make_unique<HttpTestServer>(pid, port, prefix);
        if (waitUntilListening(pid, port)) {
            return server;
        }
        error = "nginx did not start: " + platform::testing::readFile(prefix / "error.log");
    }
    return nullptr;
}

int unusedLoopbackPort() {
    Fd socketFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (socketFd.get() < 0 ||
        ::bind(socketFd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socketFd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

} // namespace update::test_servers
