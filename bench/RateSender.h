#pragma once
// The server's side of a flood: a prepared stream of realistic datagrams sent at a fixed rate
// over a connected loopback socket, paced in steps of one millisecond.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench/EventStream.h"

// Datagrams back to back, with the number of log entries the client makes for each prefix.
struct PreparedStream {
    PreparedStream(int players, std::size_t count, unsigned seed);

    std::size_t Size() const { return offsets.size() - 1; }
    const std::uint8_t* Data(std::size_t i) const { return bytes.data() + offsets[i]; }
    std::size_t Length(std::size_t i) const { return offsets[i + 1] - offsets[i]; }
    // Log entries that the first `count` datagrams make.
    std::size_t LinesUpTo(std::size_t count) const { return lines[count]; }

    std::vector<wire::PlayerEntry> welcomePlayers; // the roster the stream starts from
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> offsets; // Size() + 1 entries
    std::vector<std::size_t> lines;   // Size() + 1 entries
};

struct SendResult {
    std::size_t sent = 0;
    std::size_t failed = 0; // of those sent, how many the kernel refused to take
    double seconds = 0;     // from the first datagram to the last
};

// Sends the first `count` datagrams of `stream` on `fd` at `rate` per second.
SendResult SendAtRate(int fd, const PreparedStream& stream, std::size_t count, double rate);
