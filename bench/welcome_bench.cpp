// ParsePlayerBlock of the largest welcomes. A datagram holds at most 1024 bytes and the block
// starts at offset 16, so the 1008-byte block holds 63 players with 12-character names (16 bytes
// each). An entry whose id is 0x80 or above is skipped, so no welcome carries more than the 128
// players with ids 0 to 127: with names of 3 characters they take 912 bytes. A roster of 256
// players can only be built by joins after the welcome. Each round starts from an empty roster,
// as after Connect.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/BenchClient.h"
#include "bench/BenchRoster.h"

namespace {

Bytes WelcomeOf(int players, std::size_t nameLength) {
    std::vector<wire::PlayerEntry> entries = BenchPlayers(players);
    for (wire::PlayerEntry& p : entries) {
        p.name = (p.name + "_____________").substr(0, nameLength);
    }
    return wire::EncodeWelcome(entries);
}

void BM_ParsePlayerBlock(benchmark::State& state) {
    const int players = static_cast<int>(state.range(0));
    const Bytes welcome = WelcomeOf(players, static_cast<std::size_t>(state.range(1)));
    BenchClient bench(0);
    const std::uint8_t* block = welcome.data() + WELCOME_BLOCK_OFFSET;
    const int length = static_cast<int>(welcome.size() - WELCOME_BLOCK_OFFSET);

    for (auto _ : state) {
        bench.client.roster->RemoveAll();
        const auto start = std::chrono::steady_clock::now();
        bench.client.ParsePlayerBlock(block, length);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    if (welcome.size() > MAX_DATAGRAM || bench.client.roster->GetCount() != players) {
        state.SkipWithError("not a welcome that brings every player in one datagram");
    }
    state.counters["datagram_bytes"] = static_cast<double>(welcome.size());
    state.SetItemsProcessed(state.iterations() * players);
}

} // namespace

BENCHMARK(BM_ParsePlayerBlock)
    ->ArgNames({"players", "name_len"})
    ->Args({63, 12})
    ->Args({128, 3})
    ->UseManualTime();
