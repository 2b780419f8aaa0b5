#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace lobby_sim {

using Clock = std::chrono::steady_clock;

// The listening end of the lobby link on 127.0.0.1, with one connection at a time.
class LobbyServer {
public:
    LobbyServer() = default;
    ~LobbyServer();
    LobbyServer(const LobbyServer&) = delete;
    LobbyServer& operator=(const LobbyServer&) = delete;

    // False, with the reason in `error`, when the port cannot be listened on.
    bool listen(int port, std::string& error);
    // Ends the connection and stops listening.
    void closeAll();

    // Waits until `deadline` for Update to connect; the new connection replaces
    // the old one.
    bool accept(Clock::time_point deadline);
    bool connected() const { return m_connection >= 0; }

    // Writes all of `bytes` at once (no delay for small writes). False when the
    // connection is gone.
    bool write(std::string_view bytes);
    // Waits until `deadline` for bytes and appends what came to `received`.
    // False when the connection has ended (it is then closed).
    bool read(Clock::time_point deadline, std::string& received);

private:
    void closeConnection();

    int m_listener = -1;
    int m_connection = -1;
};

} // namespace lobby_sim
