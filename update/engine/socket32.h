#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "lobby_port.h"
#include "record_stream.h"
#include "socket_library.h"
#include "task_window.h"

namespace update {

class ISimpleSocket;

// Update's link to the lobby client: a TCP client of 127.0.0.1 at the port the
// lobby client's configuration names. A thread of its own receives the stream,
// cuts it into task records and hands each one to the receiver; the reports of
// ended tasks go back on the same connection. While it runs, it connects again
// whenever the connection has closed or could not be made, so a lobby client
// that restarts gets its tasks through again.
//
// Threads: Start and stop belong to the owner's thread; SendReport may come from
// any thread; the receiver is called on the link's thread only.
class CSocket32 : public ReportLink {
public:
    // Pause after a failed receive, before connecting again.
    static constexpr std::chrono::milliseconds kRetryPause{500};
    // Longest wait for a connection to be made or a report to be taken.
    static constexpr std::chrono::seconds kSendTimeout{2};
    static constexpr SocketLibraryVersion kSocketVersion{2, 2};

    // Starts the socket library and reads the port from `configFile` (see
    // readLobbyPort). A library that cannot be started at kSocketVersion leaves
    // the link unconfigured: port() is 0 and Start() refuses.
    explicit CSocket32(SocketLibrary& library = systemSocketLibrary(),
                       const std::string& configFile = kLobbyConfigFile);
    // Stops the link (see stop()).
    ~CSocket32() override;
    CSocket32(const CSocket32&) = delete;
    CSocket32& operator=(const CSocket32&) = delete;

    // Makes a new socket, in place of the old one, and connects it to port() on
    // 127.0.0.1, waiting at most kSendTimeout. Whether that worked is left to the
    // receive loop to find out. Returns 0. Called by Start and by the receive loop.
    int SetClientSimpleSocket();

    // Stores the receiver (not owned; it must outlive stop()), connects, and
    // starts the receive loop. True once it got as far as starting the loop,
    // whether the connection and the thread's start succeeded or not (a failed
    // start is traced). False when the link is unconfigured, or was started or
    // stopped before.
    bool Start(ISimpleSocket* sink);

    // The receive loop, on the link's thread, until stop(). Returns 0.
    static int ReceiveThread(CSocket32* link);

    // Closing: ends the connection and the receive loop, and returns once the loop
    // has ended. It waits for a receiver call in progress, so the receiver must
    // not call it. Later calls do nothing.
    void stop();

    // Sends an ended task's report whole, waiting at most kSendTimeout for the
    // lobby client to take it. A report that cannot be sent is lost (traced); if
    // only part of it went out, the connection is dropped, so the lobby client
    // never reads the next report shifted against its record boundaries.
    void SendReport(const char* bytes, int length) override;

    // The lobby client's port; 0 when the link is unconfigured.
    int port() const { return m_nPort; }
    // Replaces the configured port (tools and tests); before Start.
    void setPort(int port) { m_nPort = port; }

private:
    int currentSocket();
    void deliver(const char* data, std::size_t length);
    void dropPartialRecord();
    void pauseBeforeRetry();

    std::mutex m_mutex; // guards m_socket and m_stopped; m_wake waits on it
    int m_socket = -1;  // replaced only by Start and the receive loop
    ISimpleSocket* m_pSink = nullptr;
    std::atomic<bool> m_bRunning{false};
    int m_nPort = 0;
    bool m_configured = false;
    bool m_stopped = false;         // no socket may be installed any more
    std::condition_variable m_wake; // ends the retry pause when stopping
    std::thread m_receiver;
    RecordStream m_stream; // the receive loop's own
};

} // namespace update
