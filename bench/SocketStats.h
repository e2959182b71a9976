#pragma once
// One UDP socket as the kernel sees it, from its line in /proc/net/udp (found by the socket's
// inode): the memory its receive queue holds and the datagrams dropped because that queue was
// full. Exact per socket, unlike the system-wide counters that every program on the machine
// moves too.

#include <optional>

struct UdpSocketStats {
    unsigned long queuedBytes = 0; // charged to the receive buffer, overhead included
    unsigned long drops = 0;
};

// Nothing when the socket is not found or /proc cannot be read.
std::optional<UdpSocketStats> ReadSocketStats(int fd);

// The receive buffer the kernel granted the socket (SO_RCVBUF), in bytes.
int ReceiveBufferBytes(int fd);
