#include "python_server.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <openssl/evp.h>

extern char** environ;

namespace crash_mail::testing {
namespace {

// The system's interpreter: a python3 earlier on PATH may not see Debian's aiosmtpd.
constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 10'000;

// Reads the first line the server prints, within the start time-out.
std::string readFirstLine(int fd) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kStartTimeoutMs) <= 0) {
            break;
        }
        char chunk[64];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        line.append(chunk, static_cast<std::size_t>(got));
    }
    return line;
}

} // namespace

std::filesystem::path scriptDirectory() {
    return CRASH_MAIL_TEST_SCRIPTS;
}

PythonServer::PythonServer(const std::string& script, const std::vector<std::string>& arguments,
                           const std::filesystem::path& errorLog) {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> words = {kPython, (scriptDirectory() / script).string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    if (!errorLog.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    if (::posix_spawn(&m_pid, kPython, &actions, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (m_pid > 0) {
        const int port = std::atoi(readFirstLine(output[0]).c_str());
        m_port = port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
    }
    ::close(output[0]);
}

PythonServer::~PythonServer() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (!waitExit(std::chrono::seconds(3))) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool PythonServer::waitExit(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t done = ::waitpid(m_pid, nullptr, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR)) {
            m_pid = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void PythonServer::signal(int signal) const {
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

std::string binaryBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (auto& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

std::string base64Decode(const std::string& text) {
    std::string compact;
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            compact += c;
        }
    }
    std::string bytes(compact.size() / 4 * 3 + 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(compact.data()),
                                       static_cast<int>(compact.size()));
    if (length < 0) {
        return "<invalid base64>";
    }
    // EVP_DecodeBlock counts the zero bytes that stand for the "=" fill.
    std::size_t fill = 0;
    for (auto it = compact.rbegin(); it != compact.rend() && *it == '='; ++it) {
        ++fill;
    }
    bytes.resize(static_cast<std::size_t>(length) - fill);
    return bytes;
}

std::uint16_t unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

} // namespace crash_mail::testing
