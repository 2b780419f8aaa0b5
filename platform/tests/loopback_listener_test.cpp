#include "platform/loopback_listener.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using platform::LoopbackListener;
using ::testing::HasSubstr;
using Clock = LoopbackListener::Clock;

std::chrono::milliseconds leftUntil(Clock::time_point deadline) {
    return std::max(0ms,
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

// The connecting side, as the program on the other end of the link would be.
class Client {
public:
    Client() = default;
    ~Client() { close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connect(int port) {
        close();
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return m_fd >= 0 &&
               ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    bool send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // What comes within `limit`, up to `count` bytes.
    std::string receive(std::size_t count, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        std::string bytes;
        char buffer[256];
        pollfd entry{m_fd, POLLIN, 0};
        while (bytes.size() < count && Clock::now() < deadline &&
               ::poll(&entry, 1, static_cast<int>(leftUntil(deadline).count())) == 1) {
            const ssize_t got =
                ::recv(m_fd, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
            if (got <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1;
};

Clock::time_point after(std::chrono::milliseconds limit) {
    return Clock::now() + limit;
}

class LoopbackListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_listener.listen(0, error)) << error;
    }

    // Connects a client and accepts it.
    void connectClient(Client& client) {
        ASSERT_TRUE(client.connect(m_listener.port()));
        ASSERT_TRUE(m_listener.accept(after(2s)));
        ASSERT_TRUE(m_listener.connected());
    }

    LoopbackListener m_listener;
};

TEST_F(LoopbackListenerTest, ListensOnAFreePortAndReadsItBack) {
    EXPECT_TRUE(m_listener.listening());
    EXPECT_GT(m_listener.port(), 0);
    EXPECT_FALSE(m_listener.connected());
    Client client;
    EXPECT_TRUE(client.connect(m_listener.port()));
}

TEST_F(LoopbackListenerTest, AcceptGivesUpAtItsDeadline) {
    const auto begun = Clock::now();
    EXPECT_FALSE(m_listener.accept(after(150ms)));
    const auto waited = Clock::now() - begun;
    EXPECT_GE(waited, 140ms);
    EXPECT_LT(waited, 1s);
    EXPECT_FALSE(m_listener.connected());
    EXPECT_FALSE(m_listener.accept(Clock::now() - 1s)) << "a deadline already past";
}

TEST_F(LoopbackListenerTest, ExchangesBytesWithAClient) {
    Client client;
    connectClient(client);
    ASSERT_TRUE(m_listener.write("hello"));
    EXPECT_EQ(client.receive(5, 2s), "hello");

    const std::string big(3 * LoopbackListener::kReadChunk, 'x'); // several receives
    ASSERT_TRUE(client.send(big));
    EXPECT_EQ(m_listener.readFully(big.size(), after(2s)), big);
    ASSERT_TRUE(client.send("abcdef"));
    EXPECT_EQ(m_listener.readFully(4, after(2s)), "abcd");
    std::string received = "<";
    EXPECT_TRUE(m_listener.readSome(after(2s), received));
    EXPECT_EQ(received, "<ef");

    // Nothing more comes: both reads give up at their deadline, keeping the link.
    EXPECT_TRUE(m_listener.readSome(after(50ms), received));
    EXPECT_EQ(received, "<ef");
    ASSERT_TRUE(client.send("xy"));
    EXPECT_EQ(m_listener.readFully(3, after(100ms)), "xy");
    EXPECT_TRUE(m_listener.connected());
    EXPECT_FALSE(m_listener.peerClosed(after(50ms)));
}

TEST_F(LoopbackListenerTest, ReadsEndWithTheConnection) {
    Client client;
    connectClient(client);
    ASSERT_TRUE(client.send("last"));
    client.close();
    EXPECT_TRUE(m_listener.connected());
    EXPECT_EQ(m_listener.readFully(10, after(2s)), "last") << "bytes sent before the end";
    EXPECT_FALSE(m_listener.connected());
    std::string received;
    EXPECT_FALSE(m_listener.readSome(after(50ms), received));
    EXPECT_FALSE(m_listener.write("x"));
}

TEST_F(LoopbackListenerTest, SeesThePeerClose) {
    Client client;
    connectClient(client);
    client.close();
    EXPECT_TRUE(m_listener.peerClosed(after(2s)));
}

// A write to a peer that has gone must fail, not end the process by SIGPIPE.
TEST_F(LoopbackListenerTest, AWriteToAPeerThatHasGoneFailsAndClosesTheConnection) {
    Client client;
    connectClient(client);
    client.close();
    bool written = true;
    // The first writes may still be taken by the kernel; a later one meets the reset.
    for (int i = 0; i < 20 && written; ++i) {
        written = m_listener.write(std::string(1000, 'y'));
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(m_listener.connected());
}

TEST_F(LoopbackListenerTest, ANewConnectionReplacesTheCurrentOneOnlyWhenItComes) {
    Client first;
    connectClient(first);
    EXPECT_FALSE(m_listener.accept(after(50ms)));
    ASSERT_TRUE(m_listener.connected());
    ASSERT_TRUE(m_listener.write("1"));
    EXPECT_EQ(first.receive(1, 2s), "1");

    Client second;
    connectClient(second);
    ASSERT_TRUE(m_listener.write("2"));
    EXPECT_EQ(second.receive(1, 2s), "2");
    EXPECT_EQ(first.receive(1, 2s), "") << "the first connection is closed";
}

TEST_F(LoopbackListenerTest, ListensAgainOnTheSamePortAfterClosing) {
    Client client;
    connectClient(client);
    ASSERT_TRUE(m_listener.write("before"));
    const int port = m_listener.port();
    m_listener.closeAll();
    EXPECT_FALSE(m_listener.listening());
    EXPECT_FALSE(m_listener.connected());
    EXPECT_EQ(m_listener.port(), port);
    EXPECT_FALSE(m_listener.accept(after(50ms)));
    Client refused;
    EXPECT_FALSE(refused.connect(port));

    // The closed connection lingers in TIME_WAIT on this port.
    std::string error;
    ASSERT_TRUE(m_listener.listen(m_listener.port(), error)) << error;
    EXPECT_EQ(m_listener.port(), port);
    Client again;
    connectClient(again);
    ASSERT_TRUE(again.send("after"));
    EXPECT_EQ(m_listener.readFully(5, after(2s)), "after");
}

struct ListenFailure {
    const char* name;
    bool taken; // the port the fixture listens on, else `port`
    int port;
    const char* reason;
};

TEST_F(LoopbackListenerTest, RefusesPortsItCannotListenOn) {
    const ListenFailure cases[] = {
        {"taken", true, 0, "Address already in use"},
        {"negative", false, -1, "not a TCP port"},
        {"too big", false, 65536, "not a TCP port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int port = c.taken ? m_listener.port() : c.port;
        LoopbackListener other;
        std::string error;
        EXPECT_FALSE(other.listen(port, error));
        EXPECT_THAT(error, HasSubstr("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                                     c.reason));
        EXPECT_FALSE(other.listening());
        EXPECT_FALSE(other.accept(after(10ms)));
    }
}

} // namespace
