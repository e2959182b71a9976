// The UDP link to the server (BSD sockets). A port outside 1..65535 is refused, every failure
// path releases the socket, the receive buffer is raised so bursts survive, and a datagram
// longer than the caller's buffer is detected and reported as an error.

#include "engine/AdminSocket.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Asked for; the kernel reports double what it grants.
constexpr int WANTED_RECEIVE_BUFFER = 8 * 1024 * 1024;

// Name lookup: the first IPv4 address that getaddrinfo gives for `text`.
std::optional<in_addr> LookupByName(const char* text) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(text, nullptr, &hints, &result) != 0 || result == nullptr) {
        return std::nullopt;
    }
    std::optional<in_addr> found;
    for (const addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr != nullptr &&
            ai->ai_addrlen >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
            found = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
            break;
        }
    }
    ::freeaddrinfo(result);
    return found;
}

// Dotted-decimal conversion, then lookup by address. The address that the link uses is the
// converted one in any case, so the lookup is asked for the numeric form only (NI_NUMERICHOST):
// a reverse-DNS query would add nothing but could freeze the window for seconds on a machine
// without a reachable name server.
std::optional<in_addr> LookupByAddress(const char* text) {
    const in_addr_t converted = ::inet_addr(text); // INADDR_NONE: not dotted-decimal
    if (converted == INADDR_NONE) {
        return std::nullopt;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = converted;
    char numeric[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, numeric,
                      sizeof numeric, nullptr, 0, NI_NUMERICHOST) != 0) {
        return std::nullopt;
    }
    return address.sin_addr;
}

std::optional<in_addr> Resolve(const char* text) {
    const bool startsWithLetter = std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
                                  static_cast<unsigned char>(text[0]) < 0x80;
    if (startsWithLetter) {
        if (auto byName = LookupByName(text)) {
            return byName;
        }
        return LookupByAddress(text);
    }
    if (auto byAddress = LookupByAddress(text)) {
        return byAddress;
    }
    return LookupByName(text);
}

} // namespace

CAdminSocket::~CAdminSocket() {
    if (socketHandle >= 0) {
        ::close(socketHandle);
    }
}

bool CAdminSocket::Open(const char* hostText, int portNumber) {
    if (isOpen) {
        Close();
    }
    host = hostText ? hostText : "";
    port = portNumber;

    if (portNumber < 1 || portNumber > 65535) {
        return false;
    }

    const std::optional<in_addr> resolved = Resolve(host.c_str());
    if (!resolved) {
        return false;
    }

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(portNumber));
    address.sin_addr = *resolved;

    socketHandle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socketHandle < 0) {
        socketHandle = -1;
        return false;
    }

    // Bursts of datagrams between two polls must not be dropped by the kernel: ask for a large
    // receive buffer. A privileged process may go past net.core.rmem_max; any other gets what
    // that limit allows. Failure is harmless.
    const int wanted = WANTED_RECEIVE_BUFFER;
    if (::setsockopt(socketHandle, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0) {
        (void)::setsockopt(socketHandle, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
    }

    if (::connect(socketHandle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(socketHandle);
        socketHandle = -1;
        return false;
    }

    isOpen = true;
    return true;
}

bool CAdminSocket::Close() {
    bool released = false;
    if (socketHandle >= 0) {
        released = ::close(socketHandle) == 0;
    }
    socketHandle = -1;
    isOpen = false;
    return released;
}

int CAdminSocket::Receive(void* buffer, int size) {
    if (!isOpen || socketHandle < 0 || size < 0 || (buffer == nullptr && size > 0)) {
        return -1;
    }

    pollfd p{socketHandle, POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    if (ready <= 0 || p.revents == 0) {
        return 0;
    }

    // MSG_TRUNC makes recv return the datagram's real length even when it was cut to `size`;
    // MSG_DONTWAIT keeps the call from ever blocking the window's thread.
    const ssize_t n =
        ::recv(socketHandle, buffer, static_cast<std::size_t>(size), MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return 0; // readiness vanished (e.g. a pending error was taken by a send)
        }
        return -1; // e.g. ECONNREFUSED: the server's port refused an earlier datagram
    }
    if (n > size) {
        errno = EMSGSIZE;
        return -1; // over-long datagram: already discarded, never handed on cut short
    }
    return static_cast<int>(n);
}

int CAdminSocket::Send(const void* data, int length) {
    if (!isOpen || socketHandle < 0 || data == nullptr || length < 0) {
        return -1;
    }
    std::size_t bytes = static_cast<std::size_t>(length);
    if (length == 0) {
        bytes = std::strlen(static_cast<const char*>(data)) + 1;
    }
    return static_cast<int>(::send(socketHandle, data, bytes, MSG_NOSIGNAL));
}

int CAdminSocket::ReceiveBufferBytes() const {
    if (!isOpen || socketHandle < 0) {
        return 0;
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(socketHandle, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) {
        return 0;
    }
    return granted;
}
