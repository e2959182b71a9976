#pragma once
// The far end of the client's link while fuzzing: a UDP socket on 127.0.0.1 that never answers,
// so no real traffic reaches the client, yet every datagram the client sends can be inspected.

#include <cstdint>
#include <vector>

class LoopbackSink {
  public:
    using Datagram = std::vector<std::uint8_t>;

    LoopbackSink(); // aborts when no loopback socket can be had: nothing could be fuzzed
    ~LoopbackSink();
    LoopbackSink(const LoopbackSink&) = delete;
    LoopbackSink& operator=(const LoopbackSink&) = delete;

    int Port() const { return port; }
    // Whatever has arrived, without waiting.
    std::vector<Datagram> Arrived();
    // Every datagram that `sender` (a socket connected to this sink) sent since the last flush,
    // in order: sends a marker after them through `sender` and reads up to it.
    std::vector<Datagram> Flush(int sender);

  private:
    int fd = -1;
    int port = 0;
};
