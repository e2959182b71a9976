#include "bench/RateSender.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <chrono>
#include <thread>

PreparedStream::PreparedStream(int players, std::size_t count, unsigned seed) {
    EventStream events(players, seed);
    welcomePlayers = events.Players();
    offsets.reserve(count + 1);
    lines.reserve(count + 1);
    offsets.push_back(0);
    lines.push_back(0);
    for (std::size_t i = 0; i < count; ++i) {
        const EventStream::Event event = events.Next();
        bytes.insert(bytes.end(), event.datagram.begin(), event.datagram.end());
        offsets.push_back(bytes.size());
        lines.push_back(lines.back() + (event.logsLine ? 1 : 0));
    }
}

namespace {

// Datagrams handed to the kernel per system call: sendmmsg saves the sender a call per datagram,
// so that it, not the receiver under test, is the last to run out of breath.
constexpr std::size_t BATCH = 64;

// Sends datagrams [first, last); how many of them the kernel refused.
std::size_t SendRange(int fd, const PreparedStream& stream, std::size_t first, std::size_t last) {
    std::size_t failed = 0;
    iovec parts[BATCH];
    mmsghdr messages[BATCH];
    while (first < last) {
        const std::size_t n = std::min(BATCH, last - first);
        for (std::size_t k = 0; k < n; ++k) {
            parts[k] = {const_cast<std::uint8_t*>(stream.Data(first + k)),
                        stream.Length(first + k)};
            messages[k] = {};
            messages[k].msg_hdr.msg_iov = &parts[k];
            messages[k].msg_hdr.msg_iovlen = 1;
        }
        const int taken = ::sendmmsg(fd, messages, static_cast<unsigned>(n), 0);
        const std::size_t done = taken > 0 ? static_cast<std::size_t>(taken) : 1;
        failed += taken > 0 ? 0 : 1; // a refused datagram is counted and skipped
        first += done;
    }
    return failed;
}

} // namespace

SendResult SendAtRate(int fd, const PreparedStream& stream, std::size_t count, double rate) {
    using Clock = std::chrono::steady_clock;
    count = std::min(count, stream.Size());
    const Clock::time_point start = Clock::now();
    Clock::time_point step = start;
    std::size_t sent = 0;
    std::size_t failed = 0;
    while (sent < count) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const auto due = std::min(count, static_cast<std::size_t>(rate * elapsed) + 1);
        failed += SendRange(fd, stream, sent, due);
        sent = due;
        step += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(step);
    }
    return {sent, failed, std::chrono::duration<double>(Clock::now() - start).count()};
}
