#include "socket32.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/debug_trace.h"
#include "simple_socket.h"

namespace update {
namespace {

constexpr std::size_t kReceiveBufferSize = 10240;

constexpr const char* kThreadFailedTrace = "qel: update.exe  线程失败.";
constexpr const char* kReceiveFailedTrace = "qel: SimpleSocket->Receive(..) 错误，可能断线.";

} // namespace

CSocket32::CSocket32(SocketLibrary& library, const std::string& configFile) {
    SocketLibraryVersion obtained;
    if (!library.startup(kSocketVersion, obtained)) {
        return;
    }
    if (obtained != kSocketVersion) {
        library.cleanup();
        return;
    }
    m_configured = true;
    m_nPort = readLobbyPort(configFile);
}

CSocket32::~CSocket32() {
    stop();
}

int CSocket32::SetClientSimpleSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    platform::debugTrace("dorp123: update SetClientSimpleSocket port no  " +
                         std::to_string(m_nPort));
    if (fd >= 0) {
        // Bounds the connect as well as every send.
        const timeval timeout{static_cast<time_t>(kSendTimeout.count()), 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            if (fd >= 0) {
                ::close(fd);
            }
            return 0;
        }
        if (m_socket >= 0) {
            ::close(m_socket);
        }
        // Installed before connecting, so that stop() can end a connect that hangs.
        m_socket = fd;
    }
    if (fd >= 0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            // A connection that timed out may still be made later; without the
            // shutdown the receive loop would wait for it instead of retrying.
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    return 0;
}

bool CSocket32::Start(ISimpleSocket* sink) {
    if (!m_configured || m_receiver.joinable()) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            return false;
        }
    }
    m_pSink = sink;
    if (SetClientSimpleSocket() != 0) {
        return false;
    }
    m_bRunning = true;
    try {
        m_receiver = std::thread(&CSocket32::ReceiveThread, this);
    } catch (const std::system_error&) {
        platform::debugTrace(kThreadFailedTrace);
    }
    return true;
}

int CSocket32::ReceiveThread(CSocket32* link) {
    if (!link) {
        return 0;
    }
    std::vector<char> buffer(kReceiveBufferSize);
    while (link->m_bRunning) {
        const ssize_t received = ::recv(link->currentSocket(), buffer.data(), buffer.size(), 0);
        if (received > 0) {
            link->deliver(buffer.data(), static_cast<std::size_t>(received));
            continue;
        }
        if (received < 0 && errno == EINTR) {
            continue;
        }
        platform::debugTrace(kReceiveFailedTrace);
        link->dropPartialRecord();
        link->pauseBeforeRetry();
        if (link->m_bRunning) {
            link->SetClientSimpleSocket();
        }
    }
    return 0;
}

int CSocket32::currentSocket() {
    std::lock_guard lock(m_mutex);
    return m_socket;
}

void CSocket32::deliver(const char* data, std::size_t length) {
    m_stream.append(data, length, [this](const char* record) {
        if (m_pSink) {
            m_pSink->OnSocketReceive(record, static_cast<int>(kWireRecordSize));
        }
    });
}

void CSocket32::dropPartialRecord() {
    if (const std::size_t dropped = m_stream.reset()) {
        platform::debugTrace("qel: lobby link closed in the middle of a task record; " +
                             std::to_string(dropped) + " bytes dropped");
    }
}

void CSocket32::pauseBeforeRetry() {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, kRetryPause, [this] { return m_stopped; });
}

void CSocket32::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_bRunning = false;
        // Wakes a receive in progress; the socket itself is closed only once the
        // loop can no longer be using its number.
        if (m_socket >= 0) {
            ::shutdown(m_socket, SHUT_RDWR);
        }
    }
    m_wake.notify_all();
    if (m_receiver.joinable()) {
        m_receiver.join();
    }
    std::lock_guard lock(m_mutex);
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

void CSocket32::SendReport(const char* bytes, int length) {
    if (!bytes || length <= 0) {
        return;
    }
    const auto size = static_cast<std::size_t>(length);
    std::size_t sent = 0;
    int error = ENOTCONN;
    std::lock_guard lock(m_mutex);
    while (m_socket >= 0 && sent < size) {
        const ssize_t written = ::send(m_socket, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            error = written < 0 ? errno : EPIPE;
            break;
        }
    }
    if (sent == size) {
        return;
    }
    platform::debugTrace("qel: CSocket32::SendReport: " + std::to_string(sent) + " of " +
                         std::to_string(size) + " bytes sent (" +
                         std::error_code(error, std::generic_category()).message() +
                         "), report lost");
    if (sent > 0) {
        ::shutdown(m_socket, SHUT_RDWR);
    }
}

} // namespace update
