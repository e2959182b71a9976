// CPlayerList at 256 players, the most that positions can reach: the operations of the client
// and the window's full redraw walk (also at 8 and 64 players, to show how it grows), by
// position as it was and in one pass, with and without making the row texts.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <string>

#include "bench/BenchCounters.h"
#include "bench/BenchRoster.h"

namespace {

constexpr int FULL = 256;
constexpr std::size_t RANDOM_IDS = 1024; // a power of two: the loops index with a mask
// Batched benchmarks rebuild the roster untimed after each batch, so they run a fixed number of
// batches; "per_op" gives the time of one operation.
constexpr benchmark::IterationCount BATCHES = 20000;

struct Roster {
    explicit Roster(int count) : players(BenchPlayers(count)) { FillRoster(list, players); }

    // Ids of players drawn at random, so that lookups walk half the roster on average.
    std::vector<std::uint8_t> RandomIds() const {
        std::mt19937 rng(5);
        std::uniform_int_distribution<std::size_t> pick(0, players.size() - 1);
        std::vector<std::uint8_t> ids(RANDOM_IDS);
        for (std::uint8_t& id : ids) {
            id = players[pick(rng)].id;
        }
        return ids;
    }
    std::uint8_t LastId() const { return list.IdByPosition(list.GetCount() - 1); }

    CPlayerList list;
    std::vector<wire::PlayerEntry> players;
};

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Adds 64 players on top of 256 (duplicate ids, as a server may reuse them), then rebuilds
// the roster untimed.
void BM_RosterAdd(benchmark::State& state) {
    Roster roster(FULL);
    constexpr int batch = 64;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < batch; ++k) {
            roster.list.Add(static_cast<std::uint8_t>(k), "Newcomer1234");
        }
        state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - start));
        FillRoster(roster.list, roster.players);
    }
    state.counters["per_op"] = PerItem(static_cast<double>(state.iterations() * batch));
}

void BM_RosterSetValue(benchmark::State& state) {
    Roster roster(FULL);
    const std::vector<std::uint8_t> ids = roster.RandomIds();
    std::size_t i = 0;
    for (auto _ : state) {
        roster.list.SetValue(ids[i & (RANDOM_IDS - 1)], static_cast<std::int16_t>(i));
        ++i;
    }
}

// The last record's id: the walk covers the whole roster, and the record stays last.
void BM_RosterSetValueWorst(benchmark::State& state) {
    Roster roster(FULL);
    const std::uint8_t id = roster.LastId();
    std::int16_t value = 0;
    for (auto _ : state) {
        roster.list.SetValue(id, ++value);
    }
}

void BM_RosterNameByIdWorst(benchmark::State& state) {
    Roster roster(FULL);
    const std::uint8_t id = roster.LastId();
    for (auto _ : state) {
        benchmark::DoNotOptimize(roster.list.NameById(id));
    }
}

void BM_RosterIdByPositionWorst(benchmark::State& state) {
    Roster roster(FULL);
    for (auto _ : state) {
        benchmark::DoNotOptimize(roster.list.IdByPosition(FULL - 1));
    }
}

// Removes 32 distinct random players, then adds them back untimed.
void BM_RosterRemoveById(benchmark::State& state) {
    Roster roster(FULL);
    constexpr std::size_t batch = 32;
    std::vector<std::uint8_t> ids;
    for (const wire::PlayerEntry& p : roster.players) {
        ids.push_back(p.id);
    }
    std::mt19937 rng(9);
    for (auto _ : state) {
        std::shuffle(ids.begin(), ids.end(), rng);
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < batch; ++k) {
            roster.list.RemoveById(ids[k]);
        }
        state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - start));
        FillRoster(roster.list, roster.players);
    }
    state.counters["per_op"] = PerItem(static_cast<double>(state.iterations() * batch));
}

// The row text the window shows for a player: "name (id)<tab>value".
std::string RowText(const std::string& name, int id, int value) {
    return name + " (" + std::to_string(id) + ")\t" + std::to_string(value);
}

// The window's redraw walk as it was: name, id and value of every position, each lookup walking
// from the first record. With `rows`, the row texts are made as well.
void RedrawWalkByPosition(benchmark::State& state, bool rows) {
    Roster roster(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < roster.list.GetCount(); ++i) {
            const std::optional<std::string> name = roster.list.NameByPosition(i);
            const int id = roster.list.IdByPosition(i);
            const int value = roster.list.ValueByPosition(i);
            if (rows) {
                benchmark::DoNotOptimize(RowText(name.value_or(std::string()), id, value));
            } else {
                benchmark::DoNotOptimize(name);
                benchmark::DoNotOptimize(id);
                benchmark::DoNotOptimize(value);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same walk as one pass over the chain.
void RedrawWalkForEach(benchmark::State& state, bool rows) {
    Roster roster(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        roster.list.ForEach([rows](const PlayerInfo& player) {
            if (rows) {
                benchmark::DoNotOptimize(RowText(player.name, player.id, player.value));
            } else {
                benchmark::DoNotOptimize(player.name);
                benchmark::DoNotOptimize(player.id);
                benchmark::DoNotOptimize(player.value);
            }
        });
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RosterRedrawWalk(benchmark::State& state) {
    RedrawWalkByPosition(state, false);
}
void BM_RosterRedrawWalkForEach(benchmark::State& state) {
    RedrawWalkForEach(state, false);
}
void BM_RosterRedrawRows(benchmark::State& state) {
    RedrawWalkByPosition(state, true);
}
void BM_RosterRedrawRowsForEach(benchmark::State& state) {
    RedrawWalkForEach(state, true);
}

} // namespace

BENCHMARK(BM_RosterAdd)->UseManualTime()->Iterations(BATCHES);
BENCHMARK(BM_RosterSetValue);
BENCHMARK(BM_RosterSetValueWorst);
BENCHMARK(BM_RosterNameByIdWorst);
BENCHMARK(BM_RosterIdByPositionWorst);
BENCHMARK(BM_RosterRemoveById)->UseManualTime()->Iterations(BATCHES);
BENCHMARK(BM_RosterRedrawWalk)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_RosterRedrawWalkForEach)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_RosterRedrawRows)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_RosterRedrawRowsForEach)->Arg(8)->Arg(64)->Arg(256);
