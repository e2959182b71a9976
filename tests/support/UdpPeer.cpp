#include "tests/support/UdpPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxDatagram = 65536;

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Waits until `fd` is readable or `deadline` passes. True when readable.
bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const int timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace

UdpPeer::UdpPeer() {
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Close();
        return;
    }
    port = ntohs(address.sin_port);
}

UdpPeer::~UdpPeer() { Close(); }

void UdpPeer::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::optional<UdpPeer::Bytes> UdpPeer::Receive(std::chrono::milliseconds timeout) {
    if (fd < 0) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (!WaitReadable(fd, deadline)) {
            return std::nullopt;
        }
        Bytes buffer(kMaxDatagram);
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n >= 0) {
            buffer.resize(static_cast<std::size_t>(n));
            senderAddress = from.sin_addr.s_addr;
            senderPort = ntohs(from.sin_port);
            return buffer;
        }
        // EAGAIN after a spurious wake-up, EINTR, or an ICMP error queued on the socket: wait on
        // until the deadline.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNREFUSED) {
            return std::nullopt;
        }
    }
}

std::optional<UdpPeer::Bytes> UdpPeer::ReceiveOfType(int type, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        auto datagram = Receive(left.count() > 0 ? left : std::chrono::milliseconds(0));
        if (!datagram) {
            return std::nullopt;
        }
        if (!datagram->empty() && static_cast<std::int8_t>((*datagram)[0]) == type) {
            return datagram;
        }
    }
}

bool UdpPeer::NothingWithin(std::chrono::milliseconds window) {
    if (fd < 0) {
        return true;
    }
    return !WaitReadable(fd, std::chrono::steady_clock::now() + window);
}

int UdpPeer::Drain() {
    int dropped = 0;
    while (Receive(std::chrono::milliseconds(0))) {
        ++dropped;
    }
    return dropped;
}

int UdpPeer::Send(const Bytes& bytes) { return Send(bytes.data(), bytes.size()); }

int UdpPeer::Send(const void* data, std::size_t length) {
    if (fd < 0 || senderPort == 0) {
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(senderPort));
    to.sin_addr.s_addr = senderAddress;
    return static_cast<int>(
        ::sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
}

int UdpPeer::SendTo(int toPort, const Bytes& bytes) { return SendTo(toPort, bytes.data(), bytes.size()); }

int UdpPeer::SendTo(int toPort, const void* data, std::size_t length) {
    if (fd < 0 || toPort <= 0 || toPort > 65535) {
        return -1;
    }
    sockaddr_in to = LoopbackAddress(toPort);
    return static_cast<int>(
        ::sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
}

UdpPeer::Bytes BytesOf(std::string_view text) {
    return UdpPeer::Bytes(text.begin(), text.end());
}
