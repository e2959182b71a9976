#pragma once
// The far end of a UDP link for tests, benchmarks and fuzzers: one socket on 127.0.0.1 at a port
// the kernel picks. It remembers who sent the last datagram so that it can answer. Every wait is
// bounded.

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class UdpPeer {
  public:
    using Bytes = std::vector<std::uint8_t>;
    using Ms = std::chrono::milliseconds;

    UdpPeer(); // Valid() tells whether the bind worked
    ~UdpPeer() { Close(); }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool Valid() const { return fd >= 0; }
    int Port() const { return port; }
    int Fd() const { return fd; }

    // One datagram (of the type byte `type` only, when given; others are skipped), or nothing
    // when `timeout` passes first.
    std::optional<Bytes> Receive(Ms timeout = Ms(2000), std::optional<int> type = {});
    std::optional<Bytes> ReceiveOfType(int type, Ms timeout = Ms(2000)) {
        return Receive(timeout, type);
    }
    bool NothingWithin(Ms window = Ms(100));
    // Every datagram already waiting, without waiting for more.
    std::vector<Bytes> Drain();

    int SenderPort() const { return ntohs(sender.sin_port); }

    int Send(const Bytes& bytes); // to the last sender; -1 before anyone sent
    int SendTo(int toPort, const Bytes& bytes);
    // Fixes the peer: only its datagrams arrive, and send() on Fd() reaches it. False on failure.
    bool ConnectTo(int peerPort);
    void Close(); // e.g. so that the port answers "unreachable"; idempotent

  private:
    int fd = -1;
    int port = 0;
    sockaddr_in sender{};
    Bytes buffer; // one receive buffer for the largest datagram, reused
};

UdpPeer::Bytes BytesOf(std::string_view text);
