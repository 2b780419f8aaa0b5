#include "lobby_server.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lobby_sim {
namespace {

// True when `fd` became readable before `deadline`.
bool waitReadable(int fd, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(std::clamp<long long>(left, 0, 1000000)));
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

} // namespace

LobbyServer::~LobbyServer() {
    closeAll();
}

bool LobbyServer::listen(int port, std::string& error) {
    closeAll();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    // A restarted lobby client must get its port back while the old connection
    // lingers in TIME_WAIT.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                std::error_code(errno, std::generic_category()).message();
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    m_listener = fd;
    return true;
}

void LobbyServer::closeConnection() {
    if (m_connection >= 0) {
        ::close(m_connection);
        m_connection = -1;
    }
}

void LobbyServer::closeAll() {
    closeConnection();
    if (m_listener >= 0) {
        ::close(m_listener);
        m_listener = -1;
    }
}

bool LobbyServer::accept(Clock::time_point deadline) {
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

bool LobbyServer::write(std::string_view bytes) {
    while (m_connection >= 0 && !bytes.empty()) {
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

bool LobbyServer::read(Clock::time_point deadline, std::string& received) {
    if (m_connection < 0) {
        return false;
    }
    if (!waitReadable(m_connection, deadline)) {
        return true;
    }
    char buffer[8192];
    const ssize_t count = ::recv(m_connection, buffer, sizeof buffer, 0);
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

} // namespace lobby_sim
