#include "bench/SocketStats.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

std::optional<UdpSocketStats> ReadSocketStats(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // the header
    while (std::getline(table, line)) {
        // sl local rem st tx_queue:rx_queue tr:when retrnsmt uid timeout inode ref pointer drops
        std::istringstream fields(line);
        std::string sl, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        std::string references, pointer;
        UdpSocketStats stats;
        if (!(fields >> sl >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode >> references >> pointer >> stats.drops) ||
            inode != info.st_ino) {
            continue;
        }
        const std::size_t colon = queues.find(':');
        stats.queuedBytes = std::stoul(queues.substr(colon + 1), nullptr, 16);
        return stats;
    }
    return std::nullopt;
}

int ReceiveBufferBytes(int fd) {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    return ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, &length) == 0 ? bytes : 0;
}
