#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The listening end of a TCP link on 127.0.0.1, holding one connection at a time,
// with a deadline on every wait: stands in for a local peer such as the lobby client.
// Every socket is closed by the destructor. One thread at a time.
class LoopbackListener {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes taken by one readSome() at most, unless the caller asks for fewer.
    static constexpr std::size_t kReadChunk = 8192;

    LoopbackListener() = default;
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Listens on 127.0.0.1:`port`, or on a free port when `port` is 0 (see port()),
    // after ending the connection and the listening socket held before. A port
    // still in TIME_WAIT can be listened on again. False, with the reason in
    // `error`, when the port cannot be listened on or is not 0 to 65535.
    bool listen(int port, std::string& error);
    bool listening() const { return m_listener >= 0; }
    // The port of the last successful listen(), 0 before any. closeAll() keeps it,
    // so that a peer that has "ended" can listen on the same port again.
    int port() const { return m_port; }

    // Waits until `deadline` for a connection. A new connection replaces the
    // current one; when none comes, the current one stays.
    bool accept(Clock::time_point deadline);
    bool connected() const { return m_connection >= 0; }

    // Writes all of `bytes` at once (no delay for small writes). False when there
    // is no connection or it has gone (it is then closed).
    bool write(std::string_view bytes);
    // Waits until `deadline` for bytes and appends what one receive brought, at
    // most `most` bytes, to `received`; true also when nothing came. False when
    // there is no connection or it has ended (it is then closed).
    bool readSome(Clock::time_point deadline, std::string& received, std::size_t most = kReadChunk);
    // Reads `count` bytes; fewer when the deadline passes or the connection ends
    // first.
    std::string readFully(std::size_t count, Clock::time_point deadline);
    // True when the peer ends the connection by `deadline` without sending more.
    bool peerClosed(Clock::time_point deadline);

    void closeConnection();
    // Ends the connection and stops listening, as a peer that has ended.
    void closeAll();

private:
    int m_port = 0;
    int m_listener = -1;
    int m_connection = -1;
};

} // namespace platform
