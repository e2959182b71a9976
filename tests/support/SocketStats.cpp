#include "tests/support/SocketStats.h"

#include <linux/sock_diag.h>
#include <sys/socket.h>

#ifndef SO_MEMINFO
#define SO_MEMINFO 55
#endif

std::optional<SocketStats> StatsOf(int fd) {
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof info;
    if (::getsockopt(fd, SOL_SOCKET, SO_MEMINFO, info, &length) != 0 ||
        length < sizeof(std::uint32_t) * (SK_MEMINFO_DROPS + 1)) {
        return std::nullopt;
    }
    return SocketStats{info[SK_MEMINFO_RMEM_ALLOC], info[SK_MEMINFO_RCVBUF],
                       info[SK_MEMINFO_DROPS]};
}
