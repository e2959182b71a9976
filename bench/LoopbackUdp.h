#pragma once
// A UDP socket on 127.0.0.1 with a port of the kernel's choice: the server end of the client's
// link in the benchmarks. It takes the login, answers, and then sends at whatever pace it is told.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class LoopbackUdp {
  public:
    LoopbackUdp(); // aborts when no loopback socket can be had: nothing could be measured
    ~LoopbackUdp();
    LoopbackUdp(const LoopbackUdp&) = delete;
    LoopbackUdp& operator=(const LoopbackUdp&) = delete;

    int Fd() const { return fd; }
    int Port() const { return port; }

    // Waits at most `timeout` for one datagram; its sender's port, or nothing.
    std::optional<int> ReceiveFrom(std::vector<std::uint8_t>& datagram,
                                   std::chrono::milliseconds timeout);
    // Fixes the peer, so that Send reaches 127.0.0.1:`peerPort` and only its datagrams arrive.
    void ConnectTo(int peerPort);
    int Send(const std::uint8_t* data, std::size_t size);

  private:
    int fd = -1;
    int port = 0;
};
