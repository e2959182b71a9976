#include "bench/LoopbackUdp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

LoopbackUdp::LoopbackUdp() {
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("LoopbackUdp");
        std::abort();
    }
    port = ntohs(address.sin_port);
}

LoopbackUdp::~LoopbackUdp() {
    ::close(fd);
}

std::optional<int> LoopbackUdp::ReceiveFrom(std::vector<std::uint8_t>& datagram,
                                            std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
        return std::nullopt;
    }
    datagram.resize(65536);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = ::recvfrom(fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
        return std::nullopt;
    }
    datagram.resize(static_cast<std::size_t>(n));
    return ntohs(from.sin_port);
}

void LoopbackUdp::ConnectTo(int peerPort) {
    const sockaddr_in address = Loopback(peerPort);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("LoopbackUdp::ConnectTo");
        std::abort();
    }
}

int LoopbackUdp::Send(const std::uint8_t* data, std::size_t size) {
    return static_cast<int>(::send(fd, data, size, 0));
}
