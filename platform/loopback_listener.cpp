#include "loopback_listener.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using Clock = LoopbackListener::Clock;

// poll() takes an int of milliseconds; a far deadline is waited for in steps.
constexpr long long kLongestPollMs = 1000000;

// True when `fd` became readable (or ended) before `deadline`.
bool waitReadable(int fd, Clock::time_point deadline) {
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::clamp<long long>(left, 0, kLongestPollMs)));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 ? errno != EINTR : left <= kLongestPollMs) {
            return false;
        }
    }
}

void closeSocket(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::string listenError(int port, const std::string& reason) {
    return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + reason;
}

} // namespace

LoopbackListener::~LoopbackListener() {
    closeAll();
}

bool LoopbackListener::listen(int port, std::string& error) {
    closeAll();
    if (port < 0 || port > 65535) {
        error = listenError(port, "not a TCP port");
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = listenError(port, std::error_code(errno, std::generic_category()).message());
        return false;
    }
    const int on = 1;
    // A restarted peer must get its port back while the old connection lingers
    // in TIME_WAIT.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = listenError(port, std::error_code(errno, std::generic_category()).message());
        ::close(fd);
        return false;
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
    return true;
}

bool LoopbackListener::accept(Clock::time_point deadline) {
    if (m_listener < 0 || !waitReadable(m_listener, deadline)) {
        return false;
    }
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    closeConnection();
    m_connection = fd;
    // A split write must leave as two segments, not wait to be merged.
    const int on = 1;
    ::setsockopt(m_connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

bool LoopbackListener::write(std::string_view bytes) {
    while (m_connection >= 0 && !bytes.empty()) {
        // MSG_NOSIGNAL: a peer that has gone must not end this process by SIGPIPE.
        const ssize_t written = ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            closeConnection();
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return bytes.empty();
}

bool LoopbackListener::readSome(Clock::time_point deadline, std::string& received,
                                std::size_t most) {
    if (m_connection < 0) {
        return false;
    }
    // A receive of nothing would look like the end of the connection.
    if (most == 0 || !waitReadable(m_connection, deadline)) {
        return true;
    }
    char buffer[kReadChunk];
    const ssize_t count = ::recv(m_connection, buffer, std::min(sizeof buffer, most), 0);
    if (count < 0 && errno == EINTR) {
        return true;
    }
    if (count <= 0) {
        closeConnection();
        return false;
    }
    received.append(buffer, static_cast<std::size_t>(count));
    return true;
}

std::string LoopbackListener::readFully(std::size_t count, Clock::time_point deadline) {
    std::string bytes;
    while (bytes.size() < count) {
        const std::size_t before = bytes.size();
        if (!readSome(deadline, bytes, count - bytes.size()) ||
            (bytes.size() == before && Clock::now() >= deadline)) {
            break;
        }
    }
    return bytes;
}

bool LoopbackListener::peerClosed(Clock::time_point deadline) {
    char byte;
    return m_connection >= 0 && waitReadable(m_connection, deadline) &&
           ::recv(m_connection, &byte, 1, MSG_PEEK) == 0;
}

void LoopbackListener::closeConnection() {
    closeSocket(m_connection);
}

void LoopbackListener::closeAll() {
    closeConnection();
    closeSocket(m_listener);
}

} // namespace platform
