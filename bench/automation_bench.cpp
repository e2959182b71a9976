// Automation's trigger matching: the cost of one chat line against 1, 10 and 100 rules; RE2 on
// patterns that would make a backtracking engine hang, on 16, 32 and 64 KiB lines; and a chat
// flood of 10,000 matching lines a second for 10 s against the per-minute cap.

#include <benchmark/benchmark.h>

#include <array>
#include <stdexcept>
#include <string>

#include "core/automation/Automation.h"

namespace {

const std::array<const char*, 16> CHAT = {
    "gg wp everyone",
    "anyone up for a rematch on the next map?",
    "lol that was close",
    "who has the flag",
    "need backup at the bridge, 3 enemies",
    "brb 5 min",
    "nice shot!",
    "why is my ping so high tonight",
    "team blue is camping again",
    "can we vote for a new map please",
    "thx for the heal",
    "that rocket came out of nowhere",
    "ok ok I'll defend this time",
    "Caf\xe9 break, back soon",
    "is there a discord for this server?",
    "LOL",
};

// `count` rules of the kinds a real file has: word filters, chat commands and spam phrases.
std::string Rules(int count) {
    std::string text = "[settings]\nactions_per_minute = 1000\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        text += "[[trigger]]\nname = 'r" + n + "'\n";
        switch (i % 3) {
        case 0:
            text += "pattern = '\\b(badword" + n + "|slur" + n + "|insult" + n +
                    ")\\b'\naction = 'warn'\nwarnings = 2\nsay = '{name}: warning {warnings}'\n"
                    "then = 'kick'\n";
            break;
        case 1:
            text += "pattern = '^!cmd" + n + "\\b'\naction = 'say'\nsay = 'answer " + n + "'\n";
            break;
        default:
            text += "pattern = 'free (gold|coins|skins) at site" + n +
                    "'\naction = 'ban'\nban_minutes = 60\n";
            break;
        }
    }
    return text;
}

void Install(CAutomation& automation, const std::string& rules) {
    RulesFileResult parsed = ParseRulesFile(rules, "bench.toml");
    if (!parsed.rules) {
        throw std::runtime_error(parsed.error.ToString());
    }
    automation.Install(std::move(*parsed.rules));
    automation.SessionStarted();
}

// Ordinary chat that no rule matches: what almost every line costs.
void BM_ChatLine(benchmark::State& state) {
    CAutomation automation([] { return WallTime(std::chrono::hours(480000)); });
    Install(automation, Rules(static_cast<int>(state.range(0))));
    std::size_t i = 0;
    for (auto _ : state) {
        automation.OnChat(7, "Player7", 0, CHAT[i++ % CHAT.size()]);
    }
    if (!automation.TakeOutput().empty()) {
        state.SkipWithError("a rule matched ordinary chat");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChatLine)->Arg(1)->Arg(10)->Arg(100);

// A line that one of the 100 rules matches, from a player on that rule's cooldown: matched and
// turned away, as in a spammer's steady state.
void BM_ChatLineMatchedOnCooldown(benchmark::State& state) {
    CAutomation automation([] { return WallTime(std::chrono::hours(480000)); });
    Install(automation, Rules(100));
    for (auto _ : state) {
        automation.OnChat(7, "Player7", 0, "you are such a badword42 lol");
        benchmark::DoNotOptimize(automation.TakeOutput());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChatLineMatchedOnCooldown);

// Patterns built to blow up backtracking, on lines of n KiB that nearly match; RE2 stays
// linear, so bytes per second stay level from 16 to 64 KiB.
void Pathological(benchmark::State& state, const char* pattern, char fill) {
    CAutomation automation([] { return WallTime(std::chrono::hours(480000)); });
    Install(automation, std::string("[[trigger]]\nname = 'p'\npattern = '") + pattern +
                            "'\naction = 'note'\nnote = 'x'\n");
    const std::string line(static_cast<std::size_t>(state.range(0)) * 1024, fill);
    for (auto _ : state) {
        automation.OnChat(7, "Player7", 0, line);
    }
    if (!automation.TakeOutput().empty()) {
        state.SkipWithError("the pattern matched");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
void BM_NestedRepeats(benchmark::State& state) {
    Pathological(state, "(x+x+)+y", 'x');
}
void BM_CountedWildcards(benchmark::State& state) {
    Pathological(state, "(.*a){20}b", 'a');
}
BENCHMARK(BM_NestedRepeats)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountedWildcards)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);

// 100,000 lines matching a kick rule with no cooldown, from 200 players, over 10 simulated
// seconds, against the default cap of 20 a minute. One iteration is the whole flood.
void BM_Flood(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        names.push_back("spammer" + std::to_string(i));
    }
    std::int64_t actions = 0;
    for (auto _ : state) {
        WallTime now(std::chrono::hours(480000));
        CAutomation automation([&now] { return now; });
        Install(automation, "[[trigger]]\nname = 'flood'\npattern = 'buy gold'\naction = 'kick'\n"
                            "cooldown_seconds = 0\n");
        actions = 0;
        for (int i = 0; i < 100000; ++i) {
            now += std::chrono::microseconds(100);
            automation.OnChat(static_cast<std::uint8_t>(i % 200), names[i % 200], 0,
                              "buy gold cheap at example.com!!!");
            for (const AutomationOutput& out : automation.TakeOutput()) {
                actions += out.type == AutomationOutputType::Kick ? 1 : 0;
            }
        }
    }
    state.counters["actions"] = static_cast<double>(actions);
    state.counters["per_line"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 100000,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Flood)->Unit(benchmark::kMillisecond);

} // namespace
