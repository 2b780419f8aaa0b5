#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace update::testing {

// The lobby client's side of the link, for tests: listens on 127.0.0.1, accepts
// one connection at a time, and reads and writes it with time limits. Every socket
// is closed by the destructor, also when the test fails.
class LoopbackListener {
public:
    // Listens on `port`, or on a free port when it is 0; see listening().
    explicit LoopbackListener(int port = 0);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool listening() const { return m_listener >= 0; }
    int port() const { return m_port; }

    // Waits at most `limit` for a connection and makes it the current one.
    bool accept(std::chrono::milliseconds limit);
    bool connected() const { return m_connection >= 0; }

    // Writes all of `bytes` to the current connection.
    bool write(std::string_view bytes);
    // Reads exactly `count` bytes, waiting at most `limit`; what came is returned
    // also when it is less.
    std::string read(std::size_t count, std::chrono::milliseconds limit);
    // True when the peer has closed the connection within `limit`.
    bool peerClosed(std::chrono::milliseconds limit);

    void closeConnection();
    // Stops listening too, as a lobby client that has ended; listen() again later.
    void closeAll();
    bool listen();

private:
    int m_port;
    int m_listener = -1;
    int m_connection = -1;
};

} // namespace update::testing
