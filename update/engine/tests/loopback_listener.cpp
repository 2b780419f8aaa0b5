#include "loopback_listener.h"

#include <algorithm>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace update::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool waitReadable(int fd, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0))) == 1;
}

void closeSocket(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

LoopbackListener::LoopbackListener(int port)
    : m_port(port) {
    listen();
}

LoopbackListener::~LoopbackListener() {
    closeAll();
}

bool LoopbackListener::listen() {
    closeSocket(m_listener);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(m_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
    return true;
}

bool LoopbackListener::accept(std::chrono::milliseconds limit) {
    closeConnection();
    if (m_listener < 0 || !waitReadable(m_listener, Clock::now() + limit)) {
        return false;
    }
    m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    return m_connection >= 0;
}

bool LoopbackListener::write(std::string_view bytes) {
    while (m_connection >= 0 && !bytes.empty()) {
        const ssize_t written = ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return bytes.empty();
}

std::string LoopbackListener::read(std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::string bytes;
    char buffer[4096];
    while (m_connection >= 0 && bytes.size() < count && waitReadable(m_connection, deadline)) {
        const ssize_t received =
            ::recv(m_connection, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
        if (received <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(received));
    }
    return bytes;
}

bool LoopbackListener::peerClosed(std::chrono::milliseconds limit) {
    char byte;
    return m_connection >= 0 && waitReadable(m_connection, Clock::now() + limit) &&
           ::recv(m_connection, &byte, 1, MSG_PEEK) == 0;
}

void LoopbackListener::closeConnection() {
    closeSocket(m_connection);
}

void LoopbackListener::closeAll() {
    closeConnection();
    closeSocket(m_listener);
}

} // namespace update::testing
