#pragma once
// What the kernel knows about one UDP socket's receive queue: lets a test tell a loss that the
// program caused from one that happened before the program could read anything.

#include <cstdint>
#include <optional>

struct SocketStats {
    std::uint32_t queuedBytes = 0;   // receive-queue memory in use (kernel accounting)
    std::uint32_t receiveBuffer = 0; // the receive buffer's size as the kernel enforces it
    std::uint32_t drops = 0;         // datagrams dropped since the socket was created
};

// Nothing when `fd` is not a socket or the kernel lacks SO_MEMINFO.
std::optional<SocketStats> StatsOf(int fd);
