// The datagram link over real loopback sockets, with UdpPeer standing in for the server.

#include "engine/AdminSocket.h"
#include "engine/Protocol.h"
#include "tests/support/UdpPeer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>

namespace {

int OpenFds() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

class AdminSocketTest : public ::testing::Test {
  protected:
    // Waits (bounded) for something to read, then reads it.
    int ReceiveWaiting() {
        pollfd p{link.socketHandle, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 2000), 1);
        return link.Receive(buffer, sizeof buffer);
    }

    void ExpectClosed() {
        EXPECT_FALSE(link.isOpen);
        EXPECT_EQ(link.socketHandle, -1);
    }

    UdpPeer server;
    CAdminSocket link;
    std::uint8_t buffer[MAX_DATAGRAM] = {};
};

TEST_F(AdminSocketTest, LoopbackRoundTripHearsOnlyTheServer) {
    EXPECT_LT(link.Receive(buffer, 16), 0); // closed
    UdpPeer stranger;
    const int idle = OpenFds();
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0); // nothing waiting: no block

    const Bytes login = wire::EncodeLogin("admin", "");
    ASSERT_EQ(link.Send(login.data(), static_cast<int>(login.size())), 9);
    EXPECT_EQ(server.Receive(), login);

    ASSERT_EQ(stranger.SendTo(server.SenderPort(), Bytes{1, 2}), 2);
    const Bytes welcome = wire::EncodeWelcome({{5, 300, "Ann"}});
    ASSERT_EQ(server.Send(welcome), static_cast<int>(welcome.size()));
    const int n = ReceiveWaiting();
    ASSERT_EQ(n, static_cast<int>(welcome.size()));
    EXPECT_EQ(Bytes(buffer, buffer + n), welcome);
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);

    EXPECT_TRUE(link.Close());
    ExpectClosed();
    EXPECT_EQ(OpenFds(), idle);
    EXPECT_FALSE(link.Close()); // nothing left to release
}

TEST_F(AdminSocketTest, EmptyAndOverlongDatagrams) {
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    ASSERT_EQ(link.Send("x", 0), 2); // lets the server learn where to answer
    ASSERT_TRUE(server.Receive());
    const Bytes exact(MAX_DATAGRAM, 0xCD);
    ASSERT_EQ(server.Send(Bytes{}), 0);
    ASSERT_EQ(server.Send(Bytes(MAX_DATAGRAM + 1, 0xAB)), static_cast<int>(MAX_DATAGRAM + 1));
    ASSERT_EQ(server.Send(exact), static_cast<int>(MAX_DATAGRAM));
    EXPECT_EQ(ReceiveWaiting(), 0); // the empty one, consumed
    EXPECT_LT(ReceiveWaiting(), 0); // the over-long one, discarded
    EXPECT_EQ(ReceiveWaiting(), static_cast<int>(MAX_DATAGRAM));
    EXPECT_EQ(Bytes(buffer, buffer + MAX_DATAGRAM), exact);
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);
}

TEST_F(AdminSocketTest, PortsOutside1To65535AreRefused) {
    for (int port : {0, -1, 65536}) {
        EXPECT_FALSE(link.Open("127.0.0.1", port)) << port;
        ExpectClosed();
    }
    EXPECT_TRUE(link.Open("127.0.0.1", 65535));
    EXPECT_TRUE(link.Open("127.0.0.1", 1));
}

TEST_F(AdminSocketTest, NameAndDottedAddressWorkAndLengthZeroSendsTheNul) {
    for (const char* host : {"localhost", "127.0.0.1"}) {
        ASSERT_TRUE(link.Open(host, server.Port())) << host;
        EXPECT_EQ(link.host, host);
        EXPECT_EQ(link.Send("abc", 0), 4) << host; // the text and its NUL
        EXPECT_EQ(server.Receive(), (Bytes{'a', 'b', 'c', 0})) << host;
    }
    EXPECT_EQ(link.Send("a\0b", 3), 3); // with a length: exactly that many bytes
    EXPECT_EQ(server.Receive(), (Bytes{'a', 0, 'b'}));
}

TEST_F(AdminSocketTest, ClosedServerPortGivesNegativeReceive) {
    const int port = server.Port();
    server.Close();
    ASSERT_TRUE(link.Open("127.0.0.1", port)); // nothing leaves on connect
    ASSERT_EQ(link.Send("x", 0), 2);
    EXPECT_LT(ReceiveWaiting(), 0); // the port-unreachable, once
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);
}

TEST_F(AdminSocketTest, OpenHoldsNoSocketItNoLongerUses) {
    EXPECT_FALSE(link.Open("no-such-host.invalid", 4000)); // lets the resolver settle first
    UdpPeer first;
    const int idle = OpenFds();
    ASSERT_TRUE(link.Open("127.0.0.1", first.Port()));
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port())); // on an open link
    EXPECT_EQ(OpenFds(), idle + 1);
    EXPECT_EQ(link.port, server.Port());
    ASSERT_EQ(link.Send("new", 0), 4);
    EXPECT_EQ(server.Receive(), (Bytes{'n', 'e', 'w', 0}));

    EXPECT_FALSE(link.Open("no-such-host.invalid", server.Port()));
    ExpectClosed();
    EXPECT_EQ(OpenFds(), idle);
    EXPECT_LT(link.Send("x", 0), 0);
    // Fails after the socket exists: broadcast without SO_BROADCAST.
    EXPECT_FALSE(link.Open("255.255.255.255", 4000));
    ExpectClosed();
    EXPECT_EQ(OpenFds(), idle);
}

} // namespace
