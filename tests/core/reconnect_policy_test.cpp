// The waits between reconnect attempts, and which endings start, continue or end reconnecting.
#include <gtest/gtest.h>

#include "core/ReconnectPolicy.h"

namespace {

// Steps: 'S' a logged-in session lost to silence, 's' an attempt timed out, 'R' a refusal,
// 'L' a login, 'X' Stop. Each ending gives its wait in ms, or -1 for none.
std::vector<long long> WaitsOf(const char* steps, double random) {
    CReconnectPolicy policy([random] { return random; });
    std::vector<long long> waits;
    for (const char* step = steps; *step; ++step) {
        if (*step == 'L' || *step == 'X') {
            *step == 'L' ? policy.LoggedIn() : policy.Stop();
            continue;
        }
        const auto wait = policy.Ended(
            *step == 'R' ? SessionEnding::Refused : SessionEnding::TimedOut, *step == 'S');
        waits.push_back(wait ? wait->count() : -1);
    }
    return waits;
}

TEST(ReconnectPolicyTest, WaitsFollowTheBackoffAndTheEndings) {
    struct Case {
        const char* steps;
        double random;
        std::vector<long long> waits;
    } const cases[] = {
        {"Sssssss", 0.0, {2000, 4000, 8000, 16000, 30000, 30000, 30000}},
        {"S", 0.999, {2199}}, // jitter: at most a tenth longer
        {"S", 7.0, {2200}},   // a random source out of range is held to it
        {"s", 0.0, {-1}},     // an attempt by hand that timed out
        {"SRs", 0.0, {2000, -1, -1}},
        {"SsLSs", 0.0, {2000, 4000, 2000, 4000}},
        {"SXs", 0.0, {2000, -1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WaitsOf(c.steps, c.random), c.waits) << c.steps << " random " << c.random;
    }
}

} // namespace
