// The datagram link over real loopback sockets, with UdpPeer standing in for the server.

#include "engine/AdminSocket.h"
#include "engine/Protocol.h"
#include "tests/support/UdpPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Waits (bounded, by poll on the link's own socket) until the link has something to read.
bool WaitReadable(const CAdminSocket& link, std::chrono::milliseconds timeout = 2000ms) {
    pollfd p{link.socketHandle, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

bool FdIsOpen(int fd) { return fd >= 0 && ::fcntl(fd, F_GETFD) != -1; }

// A port on which nothing listens: bind a socket to learn a free port, then close it.
int ClosedPort() {
    UdpPeer peer;
    const int port = peer.Port();
    peer.Close();
    return port;
}

} // namespace

TEST(UdpPeerSupport, BindsAnEphemeralLoopbackPort) {
    UdpPeer peer;
    ASSERT_TRUE(peer.Valid());
    EXPECT_GT(peer.Port(), 0);
    EXPECT_FALSE(peer.HasSender());
    EXPECT_EQ(peer.Send(BytesOf("x")), -1); // nobody to answer yet
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(peer.Receive(50ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST(UdpPeerSupport, PeersTalkToEachOther) {
    UdpPeer a;
    UdpPeer b;
    ASSERT_EQ(a.SendTo(b.Port(), BytesOf("ping")), 4);
    const auto got = b.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, BytesOf("ping"));
    EXPECT_EQ(b.SenderPort(), a.Port());
    ASSERT_EQ(b.Send(BytesOf("pong")), 4);
    EXPECT_EQ(a.Receive(), BytesOf("pong"));
    EXPECT_TRUE(a.NothingWithin(20ms));
}

TEST(UdpPeerSupport, ReceiveOfTypeSkipsOtherTypes) {
    UdpPeer a;
    UdpPeer b;
    a.SendTo(b.Port(), wire::EncodePong());
    a.SendTo(b.Port(), wire::EncodeKick(3));
    const auto kick = b.ReceiveOfType(MSG_KICK);
    ASSERT_TRUE(kick);
    EXPECT_EQ(*kick, wire::EncodeKick(3));
    EXPECT_EQ(b.Drain(), 0);
}

TEST(AdminSocket, StartsClosed) {
    CAdminSocket link;
    EXPECT_FALSE(link.isOpen);
    EXPECT_EQ(link.ReceiveBufferBytes(), 0);
    char buffer[16];
    EXPECT_LT(link.Receive(buffer, sizeof buffer), 0);
    EXPECT_LT(link.Send("abc", 0), 0);
}

TEST(AdminSocket, LoopbackRoundTrip) {
    UdpPeer server;
    ASSERT_TRUE(server.Valid());
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    EXPECT_TRUE(link.isOpen);
    EXPECT_GE(link.socketHandle, 0);
    EXPECT_EQ(link.host, "127.0.0.1");
    EXPECT_EQ(link.port, server.Port());

    const Bytes login = wire::EncodeLogin("admin", "");
    ASSERT_EQ(link.Send(login.data(), static_cast<int>(login.size())), 9);
    const auto got = server.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, login);

    const Bytes welcome = wire::EncodeWelcome({{5, 300, "Ann"}});
    ASSERT_EQ(server.Send(welcome), static_cast<int>(welcome.size()));
    ASSERT_TRUE(WaitReadable(link));
    std::uint8_t buffer[MAX_DATAGRAM];
    const int n = link.Receive(buffer, sizeof buffer);
    ASSERT_EQ(n, static_cast<int>(welcome.size()));
    EXPECT_EQ(Bytes(buffer, buffer + n), welcome);
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0); // drained

    EXPECT_TRUE(link.Close());
    EXPECT_FALSE(link.isOpen);
}

TEST(AdminSocket, ReceivesSeveralDatagramsInOrder) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    ASSERT_GT(link.Send("hi", 0), 0);
    ASSERT_TRUE(server.Receive());
    for (int i = 0; i < 50; ++i) {
        server.Send(wire::EncodePlayerValue(static_cast<std::uint8_t>(i), static_cast<std::int16_t>(i)));
    }
    std::uint8_t buffer[MAX_DATAGRAM];
    int received = 0;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (received < 50 && std::chrono::steady_clock::now() < deadline) {
        if (!WaitReadable(link, 200ms)) {
            continue;
        }
        int n;
        while ((n = link.Receive(buffer, sizeof buffer)) > 0) {
            ASSERT_EQ(n, 4);
            EXPECT_EQ(buffer[1], received);
            ++received;
        }
    }
    EXPECT_EQ(received, 50);
}

TEST(AdminSocket, OnlyTheConnectedPeerIsHeard) {
    UdpPeer server;
    UdpPeer stranger;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    ASSERT_GT(link.Send("x", 0), 0);
    ASSERT_TRUE(server.Receive());
    // Learn the link's port from the server's view, then send from elsewhere.
    ASSERT_EQ(stranger.SendTo(server.SenderPort(), BytesOf("stray")), 5);
    ASSERT_EQ(server.Send(BytesOf("mine")), 4);
    ASSERT_TRUE(WaitReadable(link));
    char buffer[64];
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "mine");
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);
}

TEST(AdminSocket, ReceiveWithNothingWaitingReturnsZeroAtOnce) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    char buffer[MAX_DATAGRAM];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(link.Receive(buffer, sizeof buffer), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(AdminSocket, EmptyDatagramIsConsumedAndGivesZero) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    ASSERT_GT(link.Send("x", 0), 0);
    ASSERT_TRUE(server.Receive());
    ASSERT_EQ(server.Send(Bytes{}), 0);
    ASSERT_EQ(server.Send(wire::EncodePing()), 1);
    ASSERT_TRUE(WaitReadable(link));
    char buffer[16];
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0); // the empty one, consumed
    ASSERT_TRUE(WaitReadable(link));
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 1); // the ping that followed it
    EXPECT_EQ(buffer[0], MSG_PING);
}

TEST(AdminSocket, OverlongDatagramIsDiscardedAndReportedNegative) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    ASSERT_GT(link.Send("x", 0), 0);
    ASSERT_TRUE(server.Receive());

    const Bytes tooLong(MAX_DATAGRAM + 1, 0xAB);
    const Bytes exact(MAX_DATAGRAM, 0xCD);
    ASSERT_EQ(server.Send(tooLong), static_cast<int>(tooLong.size()));
    ASSERT_EQ(server.Send(exact), static_cast<int>(exact.size()));

    std::vector<std::uint8_t> buffer(MAX_DATAGRAM, 0);
    ASSERT_TRUE(WaitReadable(link));
    EXPECT_LT(link.Receive(buffer.data(), static_cast<int>(buffer.size())), 0);
    // The cut datagram is gone; the next one is delivered whole.
    ASSERT_TRUE(WaitReadable(link));
    EXPECT_EQ(link.Receive(buffer.data(), static_cast<int>(buffer.size())),
              static_cast<int>(MAX_DATAGRAM));
    EXPECT_EQ(buffer, exact);
    EXPECT_EQ(link.Receive(buffer.data(), static_cast<int>(buffer.size())), 0);
}

TEST(AdminSocket, PortsOutside1To65535AreRefused) {
    for (int port : {0, -1, 65536, 65536 + 80, 1 << 20}) {
        CAdminSocket link;
        EXPECT_FALSE(link.Open("127.0.0.1", port)) << port;
        EXPECT_FALSE(link.isOpen) << port;
        EXPECT_EQ(link.socketHandle, -1) << port;
    }
    CAdminSocket edge;
    EXPECT_TRUE(edge.Open("127.0.0.1", 65535));
    EXPECT_TRUE(edge.Close());
    EXPECT_TRUE(edge.Open("127.0.0.1", 1));
    EXPECT_TRUE(edge.Close());
}

TEST(AdminSocket, UnresolvableNameFailsClosed) {
    CAdminSocket link;
    EXPECT_FALSE(link.Open("no-such-host.invalid", 4000));
    EXPECT_FALSE(link.isOpen);
    EXPECT_EQ(link.socketHandle, -1);
    EXPECT_FALSE(link.Open("", 4000));
    EXPECT_FALSE(link.isOpen);
    EXPECT_FALSE(link.Open("1.2.3.4.5", 4000)); // digit first, neither lookup resolves it
    EXPECT_FALSE(link.isOpen);
}

TEST(AdminSocket, LocalhostAndDottedAddressBothWork) {
    UdpPeer server;
    for (const char* host : {"localhost", "127.0.0.1"}) {
        CAdminSocket link;
        ASSERT_TRUE(link.Open(host, server.Port())) << host;
        ASSERT_EQ(link.Send("abc", 0), 4) << host;
        const auto got = server.Receive();
        ASSERT_TRUE(got) << host;
        EXPECT_EQ(*got, (Bytes{'a', 'b', 'c', 0})) << host;
        EXPECT_TRUE(link.Close()) << host;
    }
}

TEST(AdminSocket, SendWithLengthZeroSendsTheTextAndItsNul) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    EXPECT_EQ(link.Send("abc", 0), 4);
    EXPECT_EQ(server.Receive(), (Bytes{'a', 'b', 'c', 0}));
    EXPECT_EQ(link.Send("", 0), 1);
    EXPECT_EQ(server.Receive(), (Bytes{0}));
    // With a length, exactly that many bytes, NULs included.
    const char raw[] = {'a', 0, 'b'};
    EXPECT_EQ(link.Send(raw, 3), 3);
    EXPECT_EQ(server.Receive(), (Bytes{'a', 0, 'b'}));
}

TEST(AdminSocket, ClosedServerPortGivesNegativeReceive) {
    const int port = ClosedPort();
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", port)); // no packet leaves on connect: Open succeeds
    ASSERT_EQ(link.Send("x", 0), 2);
    // The ICMP port-unreachable comes back at once on loopback; wait for it, bounded.
    ASSERT_TRUE(WaitReadable(link));
    char buffer[16];
    EXPECT_LT(link.Receive(buffer, sizeof buffer), 0);
    // The error is reported once; afterwards the link is quiet again.
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);
}

TEST(AdminSocket, OpenOnAnOpenLinkClosesTheOldSocketFirst) {
    UdpPeer first;
    UdpPeer second;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", first.Port()));
    const int oldHandle = link.socketHandle;
    ASSERT_TRUE(link.Open("localhost", second.Port()));
    EXPECT_TRUE(link.isOpen);
    EXPECT_EQ(link.port, second.Port());
    EXPECT_EQ(link.host, "localhost");
    ASSERT_EQ(link.Send("new", 0), 4);
    EXPECT_EQ(second.Receive(), (Bytes{'n', 'e', 'w', 0}));
    EXPECT_TRUE(first.NothingWithin(50ms));
    if (link.socketHandle != oldHandle) {
        EXPECT_FALSE(FdIsOpen(oldHandle)); // released, not leaked
    }

    // A failing Open on an open link leaves it closed, with no socket held.
    const int handle = link.socketHandle;
    EXPECT_FALSE(link.Open("no-such-host.invalid", second.Port()));
    EXPECT_FALSE(link.isOpen);
    EXPECT_EQ(link.socketHandle, -1);
    EXPECT_FALSE(FdIsOpen(handle));
    char buffer[8];
    EXPECT_LT(link.Receive(buffer, sizeof buffer), 0);
    EXPECT_LT(link.Send("x", 0), 0);
}

TEST(AdminSocket, FailedOpenReleasesNoSocket) {
    // Whatever fails, no descriptor is leaked: the next descriptor number stays the same.
    const int before = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(before, 0);
    ::close(before);
    CAdminSocket link;
    EXPECT_FALSE(link.Open("no-such-host.invalid", 4000));
    EXPECT_FALSE(link.Open("127.0.0.1", 0));
    // A connect that fails after the socket exists: broadcast without SO_BROADCAST.
    EXPECT_FALSE(link.Open("255.255.255.255", 4000));
    EXPECT_FALSE(link.isOpen);
    EXPECT_EQ(link.socketHandle, -1);
    const int after = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(after, 0);
    ::close(after);
    EXPECT_EQ(before, after);
}

TEST(AdminSocket, CloseReleasesTheSocket) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    const int handle = link.socketHandle;
    EXPECT_TRUE(FdIsOpen(handle));
    EXPECT_TRUE(link.Close());
    EXPECT_FALSE(link.isOpen);
    EXPECT_EQ(link.ReceiveBufferBytes(), 0);
    EXPECT_FALSE(FdIsOpen(handle));
    EXPECT_FALSE(link.Close()); // nothing left to release
}

TEST(AdminSocket, ReceiveBufferIsRaised) {
    UdpPeer server;
    CAdminSocket link;
    ASSERT_TRUE(link.Open("127.0.0.1", server.Port()));
    // A fresh UDP socket's default buffer, for comparison.
    const int plain = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(plain, 0);
    int defaultBytes = 0;
    socklen_t length = sizeof defaultBytes;
    ASSERT_EQ(::getsockopt(plain, SOL_SOCKET, SO_RCVBUF, &defaultBytes, &length), 0);
    ::close(plain);
    EXPECT_GT(link.ReceiveBufferBytes(), 0);
    EXPECT_GE(link.ReceiveBufferBytes(), defaultBytes);
}
