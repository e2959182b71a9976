#pragma once
// The server's one UDP socket: unconnected, non-blocking, answering whoever writes to it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/Protocol.h"

// An IPv4 address and port, as a datagram's source or destination.
struct Endpoint {
    std::uint32_t address = 0; // network byte order
    std::uint16_t port = 0;    // host byte order
    bool operator==(const Endpoint& o) const { return address == o.address && port == o.port; }
    bool operator!=(const Endpoint& o) const { return !(*this == o); }
    std::string ToString() const; // "127.0.0.1:27888"
};

class DatagramSocket {
  public:
    DatagramSocket() = default;
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    // Binds to `address` (dotted IPv4) and `port` (0 = any free one). Empty on success, else
    // why it failed.
    std::string Open(const std::string& address, std::uint16_t port);
    int Handle() const { return fd; }
    Endpoint LocalEndpoint() const;

    // One waiting datagram into `buffer` (a longer one is cut to `size`): its length, which may
    // be 0; nothing when no datagram waits.
    std::optional<std::size_t> ReceiveFrom(std::uint8_t* buffer, std::size_t size, Endpoint& from);
    // False when the datagram could not be handed to the kernel (a full send queue drops it).
    bool SendTo(const Endpoint& to, const Bytes& datagram);

  private:
    int fd = -1;
};
