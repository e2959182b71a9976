#pragma once
// An admin client logged in to a silent loopback server, with a roster of a given size: the
// state in which the client handles a game's traffic. A pong it sends really goes out.

#include <cstdint>
#include <vector>

#include "engine/AdminClient.h"
#include "tests/support/UdpPeer.h"

class BenchClient {
  public:
    explicit BenchClient(int players);

    // Hands one whole datagram to the client, as its poll does.
    void Handle(const Bytes& datagram) {
        client.HandleDatagram(wire::ByteView{datagram.data(), datagram.size()});
    }

    UdpPeer server;
    CAdminClient client;
    std::vector<wire::PlayerEntry> players;
};
