// Bursts that arrive between two polls: the link must hold them until the next 50 ms poll. The
// largest burst kept whole is measured for a plain socket with the kernel's default receive
// buffer and for the link, whose buffer is raised.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>

#include "engine/AdminClient.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SocketStats.h"
#include "tests/support/UdpPeer.h"

namespace {

// A full roster's worth of changes: 256 players, each joining, scoring, dying and leaving.
constexpr int kRosterWorthOfChanges = 256 * 4;

// A chat datagram of exactly `size` bytes: one log entry each when the client handles it.
Bytes ChatOfSize(std::size_t size) {
    const std::size_t overhead = wire::EncodeServerChat(0, 0, "").size();
    return wire::EncodeServerChat(0, 0, std::string(size - overhead, 'x'));
}

// Sends `count` copies of `datagram` back to back to `port`; false when a send failed.
bool SendBurst(UdpPeer& from, int port, const Bytes& datagram, int count) {
    for (int i = 0; i < count; ++i) {
        if (from.SendTo(port, datagram) != static_cast<int>(datagram.size())) {
            return false;
        }
    }
    return true;
}

// More datagrams than a receive buffer of `bytes` can hold, whatever their size.
int OverfillingCount(std::uint32_t bytes) {
    return static_cast<int>(bytes / 256) + 64;
}

// A socket as a program that never raises its buffer would have, connected to `peerPort`.
class PlainSocket {
  public:
    explicit PlainSocket(int peerPort) : fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(peerPort));
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~PlainSocket() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    PlainSocket(const PlainSocket&) = delete;
    PlainSocket& operator=(const PlainSocket&) = delete;

    int Drain() {
        char buffer[MAX_DATAGRAM];
        int count = 0;
        while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
            ++count;
        }
        return count;
    }

    int fd;
};

// The largest burst of `datagram` that the plain socket keeps: fill it past its limit without
// reading, then count what it kept.
int PlainCapacity(const Bytes& datagram) {
    UdpPeer sender;
    PlainSocket plain(sender.Port());
    const std::optional<SocketStats> before = StatsOf(plain.fd);
    if (plain.fd < 0 || !before) {
        ADD_FAILURE() << "no plain socket";
        return 0;
    }
    const int port = LocalPortOf(plain.fd);
    EXPECT_TRUE(SendBurst(sender, port, datagram, OverfillingCount(before->receiveBuffer)));
    EXPECT_GT(StatsOf(plain.fd)->drops, before->drops) << "the burst did not overfill the buffer";
    return plain.Drain();
}

class BurstTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Valid());
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "secret"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
        ASSERT_GT(server.Send(wire::EncodeWelcome({})), 0);
        for (int round = 0; round < 100 && !client.loggedIn; ++round) {
            server.NothingWithin(std::chrono::milliseconds(10));
            client.OnTimer(TIMER_POLL);
        }
        ASSERT_TRUE(client.loggedIn);
        clientPort = LocalPortOf(client.link->socketHandle);
    }

    std::uint32_t Drops() {
        return StatsOf(client.link->socketHandle).value_or(SocketStats{}).drops;
    }

    // One poll tick, as the window's timer gives it: the number of datagrams it handled.
    int PollTick() {
        client.OnTimer(TIMER_POLL);
        return static_cast<int>(client.TakeLog().size());
    }

    // The largest burst of `datagram` that the link keeps until the next poll tick, measured by
    // overfilling it, then checked: a burst of exactly that size reaches the client whole.
    int LinkCapacity(const Bytes& datagram) {
        const std::uint32_t dropsBefore = Drops();
        const std::uint32_t buffer = StatsOf(client.link->socketHandle)->receiveBuffer;
        EXPECT_TRUE(SendBurst(server, clientPort, datagram, OverfillingCount(buffer)));
        EXPECT_GT(Drops(), dropsBefore) << "the burst did not overfill the buffer";
        const int capacity = PollTick();

        const std::uint32_t dropsBetween = Drops();
        EXPECT_TRUE(SendBurst(server, clientPort, datagram, capacity));
        EXPECT_EQ(PollTick(), capacity);
        EXPECT_EQ(Drops(), dropsBetween);
        return capacity;
    }

    MessageBoxRecorder boxes;
    UdpPeer server;
    CAdminClient client;
    int clientPort = 0;
};

TEST_F(BurstTest, RaisedReceiveBufferKeepsFarLargerBurstsThanTheDefault) {
    for (const std::size_t size : {std::size_t{20}, MAX_DATAGRAM}) {
        SCOPED_TRACE("datagrams of " + std::to_string(size) + " bytes");
        const Bytes datagram = ChatOfSize(size);
        ASSERT_EQ(datagram.size(), size);
        const int before = PlainCapacity(datagram);
        const int after = LinkCapacity(datagram);
        RecordProperty("burst_whole_default_" + std::to_string(size) + "B", before);
        RecordProperty("burst_whole_raised_" + std::to_string(size) + "B", after);
        std::printf("largest burst kept whole, %zu-byte datagrams: default buffer %d, link %d\n",
                    size, before, after);
        EXPECT_GE(after, before);
        if (size == 20) {
            EXPECT_GE(after, kRosterWorthOfChanges)
                << "receive buffer granted: " << client.link->ReceiveBufferBytes()
                << " bytes (net.core.rmem_max caps it)";
        }
    }
}

} // namespace
