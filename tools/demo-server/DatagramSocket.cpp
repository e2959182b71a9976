#include "tools/demo-server/DatagramSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

sockaddr_in ToSockaddr(const Endpoint& e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = e.address;
    a.sin_port = htons(e.port);
    return a;
}

Endpoint FromSockaddr(const sockaddr_in& a) {
    return Endpoint{a.sin_addr.s_addr, ntohs(a.sin_port)};
}

} // namespace

std::string Endpoint::ToString() const {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return std::string(text) + ":" + std::to_string(port);
}

DatagramSocket::~DatagramSocket() {
    if (fd >= 0) {
        close(fd);
    }
}

std::string DatagramSocket::Open(const std::string& address, std::uint16_t port) {
    Endpoint local{0, port};
    if (inet_pton(AF_INET, address.c_str(), &local.address) != 1) {
        return "not an IPv4 address: " + address;
    }
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::string("socket: ") + std::strerror(errno);
    }
    const sockaddr_in a = ToSockaddr(local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        return "cannot listen on " + local.ToString() + ": " + std::strerror(errno);
    }
    return {};
}

Endpoint DatagramSocket::LocalEndpoint() const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return FromSockaddr(a);
}

std::optional<std::size_t> DatagramSocket::ReceiveFrom(std::uint8_t* buffer, std::size_t size,
                                                       Endpoint& from) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    const ssize_t n = recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&a), &length);
    if (n < 0) {
        return std::nullopt;
    }
    from = FromSockaddr(a);
    return static_cast<std::size_t>(n);
}

bool DatagramSocket::SendTo(const Endpoint& to, const Bytes& datagram) {
    const sockaddr_in a = ToSockaddr(to);
    return sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&a),
                  sizeof a) == static_cast<ssize_t>(datagram.size());
}
