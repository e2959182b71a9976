#include "tests/support/UdpPeer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool WaitReadable(int fd, Clock::time_point deadline) {
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do {
        const auto left = std::chrono::duration_cast<UdpPeer::Ms>(deadline - Clock::now());
        ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

UdpPeer::UdpPeer() : fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), buffer(65536) {
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Close();
    }
    port = fd < 0 ? 0 : ntohs(address.sin_port);
}

void UdpPeer::Close() {
    if (fd >= 0) {
        ::close(fd);
    }
    fd = -1;
}

std::optional<UdpPeer::Bytes> UdpPeer::Receive(Ms timeout, std::optional<int> type) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (fd >= 0 && WaitReadable(fd, deadline)) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n >= 0) {
            sender = from;
            if (!type || (n > 0 && static_cast<std::int8_t>(buffer[0]) == *type)) {
                return Bytes(buffer.begin(), buffer.begin() + n);
            }
        } else if (errno != EAGAIN && errno != EINTR && errno != ECONNREFUSED) {
            break; // else a spurious wake-up or an ICMP error queued on the socket: wait on
        }
    }
    return std::nullopt;
}

bool UdpPeer::NothingWithin(Ms window) {
    return fd < 0 || !WaitReadable(fd, Clock::now() + window);
}

std::vector<UdpPeer::Bytes> UdpPeer::Drain() {
    std::vector<Bytes> waiting;
    for (std::optional<Bytes> datagram; (datagram = Receive(Ms(0)));) {
        waiting.push_back(std::move(*datagram));
    }
    return waiting;
}

int UdpPeer::Send(const Bytes& bytes) {
    return sender.sin_port != 0 ? SendTo(ntohs(sender.sin_port), bytes) : -1;
}

int UdpPeer::SendTo(int toPort, const Bytes& bytes) {
    const sockaddr_in to = Loopback(toPort);
    return toPort > 0 && toPort <= 65535
               ? static_cast<int>(::sendto(fd, bytes.data(), bytes.size(), 0,
                                           reinterpret_cast<const sockaddr*>(&to), sizeof to))
               : -1;
}

bool UdpPeer::ConnectTo(int peerPort) {
    const sockaddr_in to = Loopback(peerPort);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

UdpPeer::Bytes BytesOf(std::string_view text) {
    return UdpPeer::Bytes(text.begin(), text.end());
}
