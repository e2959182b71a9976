// HandleMessage, one inbound message type at a time, on rosters of 8, 64 and 256 players. The
// client is logged in to a silent loopback server, so a ping's pong really goes out, and the
// window's side of the log mailbox (TakeLog) runs every 64 messages, as a refresh tick would.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

#include "bench/BenchClient.h"
#include "bench/BenchCounters.h"
#include "bench/EventStream.h"

namespace {

constexpr std::size_t STREAM_SIZE = 1024; // a power of two: the loop indexes with a mask
constexpr std::size_t TAKE_LOG_EVERY = 64;
// Batches are run a fixed number of times: the untimed half of each would otherwise make the
// library run far longer than the time it measures.
constexpr benchmark::IterationCount BATCHES = 20000;

using MakeMessage = Bytes (EventStream::*)();

// Messages that leave the roster as it is: the same pre-built stream over and over.
void HandleStream(benchmark::State& state, MakeMessage make) {
    const int players = static_cast<int>(state.range(0));
    BenchClient bench(players);
    EventStream events(players, 1);
    std::vector<Bytes> stream;
    for (std::size_t i = 0; i < STREAM_SIZE; ++i) {
        stream.push_back((events.*make)());
    }
    std::size_t i = 0;
    for (auto _ : state) {
        bench.Handle(stream[i & (STREAM_SIZE - 1)]);
        if (++i % TAKE_LOG_EVERY == 0) {
            std::vector<LogEntry> taken = bench.client.TakeLog();
            benchmark::DoNotOptimize(taken);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// Leaves and joins change the roster: each round lets n/8 random players leave and join again,
// timing only the half under test, so the roster keeps its size. The time is per batch;
// "per_msg" is per message.
void LeaveAndRejoin(benchmark::State& state, bool timeLeaves) {
    const int players = static_cast<int>(state.range(0));
    BenchClient bench(players);
    const std::size_t batch = std::max<std::size_t>(1, static_cast<std::size_t>(players) / 8);
    std::vector<std::size_t> order(bench.players.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 rng(3);
    std::vector<Bytes> leaves(batch);
    std::vector<Bytes> joins(batch);

    for (auto _ : state) {
        std::shuffle(order.begin(), order.end(), rng);
        for (std::size_t k = 0; k < batch; ++k) {
            const wire::PlayerEntry& p = bench.players[order[k]];
            leaves[k] = wire::EncodePlayerLeave(k % 4 == 0 ? LEAVE_KICKED : 0, p.id);
            joins[k] = wire::EncodePlayerJoin(p.id, p.name);
        }
        const auto start = std::chrono::steady_clock::now();
        for (const Bytes& d : leaves) {
            bench.Handle(d);
        }
        const auto middle = std::chrono::steady_clock::now();
        for (const Bytes& d : joins) {
            bench.Handle(d);
        }
        const auto end = std::chrono::steady_clock::now();
        const auto timed = timeLeaves ? middle - start : end - middle;
        state.SetIterationTime(std::chrono::duration<double>(timed).count());
        bench.client.TakeLog();
    }
    const auto messages = state.iterations() * static_cast<benchmark::IterationCount>(batch);
    state.SetItemsProcessed(messages);
    state.counters["per_msg"] = PerItem(static_cast<double>(messages));
}

void BM_HandleDeath(benchmark::State& s) {
    HandleStream(s, &EventStream::Death);
}
void BM_HandleChat(benchmark::State& s) {
    HandleStream(s, &EventStream::Chat);
}
void BM_HandleValue(benchmark::State& s) {
    HandleStream(s, &EventStream::ScoreChange);
}
void BM_HandlePing(benchmark::State& s) {
    HandleStream(s, &EventStream::Ping);
}
void BM_HandleListText(benchmark::State& s) {
    HandleStream(s, &EventStream::ListText);
}
void BM_HandleKillStatus(benchmark::State& s) {
    HandleStream(s, &EventStream::KillServerStatus);
}
void BM_HandleJoin(benchmark::State& s) {
    LeaveAndRejoin(s, false);
}
void BM_HandleLeave(benchmark::State& s) {
    LeaveAndRejoin(s, true);
}

} // namespace

BENCHMARK(BM_HandleJoin)->Arg(8)->Arg(64)->Arg(256)->UseManualTime()->Iterations(BATCHES);
BENCHMARK(BM_HandleLeave)->Arg(8)->Arg(64)->Arg(256)->UseManualTime()->Iterations(BATCHES);
BENCHMARK(BM_HandleDeath)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_HandleChat)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_HandleValue)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_HandlePing)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_HandleListText)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_HandleKillStatus)->Arg(8)->Arg(64)->Arg(256);
