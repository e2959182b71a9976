#include "bench/BenchClient.h"

#include <cstdio>
#include <cstdlib>

#include "bench/BenchRoster.h"

BenchClient::BenchClient(int count) : players(BenchPlayers(count)) {
    if (!client.Connect("127.0.0.1", server.Port(), "admin", "admin")) {
        std::fputs("BenchClient: the loopback link did not open\n", stderr);
        std::abort();
    }
    Handle(wire::EncodeWelcome({}));
    FillRoster(*client.roster, players);
    client.TakeLog();
    client.listDirty = false;
}
