#include "LoopbackSink.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Type byte 0xFE and a tail no client datagram carries.
const std::uint8_t kMarker[] = {0xFE, 'v', 'y', 'r', '-', 'f', 'l', 'u', 's', 'h'};
constexpr int kMarkerWaitMs = 5000;
constexpr std::size_t kMaxDatagram = 2048; // more than the client ever sends

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::abort();
}

} // namespace

LoopbackSink::LoopbackSink() {
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail("LoopbackSink: socket");
    }
    const int buffer = 4 * 1024 * 1024;
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Fail("LoopbackSink: bind");
    }
    port = ntohs(address.sin_port);
}

LoopbackSink::~LoopbackSink() {
    ::close(fd);
}

std::vector<LoopbackSink::Datagram> LoopbackSink::Arrived() {
    std::vector<Datagram> received;
    Datagram datagram(kMaxDatagram);
    ssize_t n;
    while ((n = ::recv(fd, datagram.data(), datagram.size(), MSG_DONTWAIT)) >= 0) {
        received.emplace_back(datagram.begin(), datagram.begin() + n);
    }
    return received;
}

std::vector<LoopbackSink::Datagram> LoopbackSink::Flush(int sender) {
    if (::send(sender, kMarker, sizeof kMarker, 0) != static_cast<ssize_t>(sizeof kMarker)) {
        Fail("LoopbackSink: sending the marker");
    }
    std::vector<Datagram> received;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kMarkerWaitMs) != 1) {
            Fail("LoopbackSink: the marker never arrived");
        }
        Datagram datagram(kMaxDatagram);
        const ssize_t n = ::recv(fd, datagram.data(), datagram.size(), 0);
        if (n < 0) {
            Fail("LoopbackSink: recv");
        }
        datagram.resize(static_cast<std::size_t>(n));
        if (datagram == Datagram(std::begin(kMarker), std::end(kMarker))) {
            return received;
        }
        received.push_back(std::move(datagram));
    }
}
