#pragma once
// A test-side stand-in for the game server: one UDP socket bound to 127.0.0.1 on a port that the
// kernel picks. It receives datagrams (remembering who sent the last one) and sends datagrams to
// that sender or to any loopback port. Every wait is bounded by a time-out; nothing sleeps.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class UdpPeer {
public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    // Binds 127.0.0.1:0. Valid() tells whether that worked.
    UdpPeer();
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool Valid() const { return fd >= 0; }
    // The bound port (host order), 0 when not valid.
    int Port() const { return port; }
    int Fd() const { return fd; }

    // Waits at most `timeout` for one datagram and returns its bytes (possibly empty); nothing
    // when the time-out passes first or the socket failed. Remembers the sender.
    std::optional<Bytes> Receive(std::chrono::milliseconds timeout = kDefaultTimeout);
    // Like Receive, but skips datagrams whose type byte (byte 0) is not `type`, all within one
    // overall time-out.
    std::optional<Bytes> ReceiveOfType(int type, std::chrono::milliseconds timeout = kDefaultTimeout);
    // True when no datagram arrives within `window` (a short quiet check; one bounded wait).
    bool NothingWithin(std::chrono::milliseconds window = std::chrono::milliseconds(100));
    // Reads and discards everything already waiting; returns how many datagrams were dropped.
    int Drain();

    bool HasSender() const { return senderPort != 0; }
    // The port of the last datagram's sender (host order), 0 before the first one.
    int SenderPort() const { return senderPort; }

    // Sends one datagram to the last sender. The bytes sent, or -1 (also when nobody sent yet).
    int Send(const Bytes& bytes);
    int Send(const void* data, std::size_t length);
    // Sends one datagram to 127.0.0.1:`toPort`. The bytes sent, or -1.
    int SendTo(int toPort, const Bytes& bytes);
    int SendTo(int toPort, const void* data, std::size_t length);

    // Closes the socket early (e.g. so that its port refuses datagrams). Idempotent.
    void Close();

private:
    int fd = -1;
    int port = 0;
    int senderPort = 0;
    std::uint32_t senderAddress = 0; // network order
};

// Bytes of a text, without terminator (handy to build datagrams in tests).
UdpPeer::Bytes BytesOf(std::string_view text);
