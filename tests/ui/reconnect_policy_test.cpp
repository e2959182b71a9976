// Which endings start reconnecting and which end it, and the waits between attempts.
#include <gtest/gtest.h>

#include "ui/ReconnectPolicy.h"

namespace {

using Ending = CReconnectPolicy::Ending;
constexpr long long kNone = -1; // no attempt

struct Step {
    Ending ending;
    bool wasLoggedIn;
    long long waitMs; // kNone: no attempt follows
};

struct Case {
    const char* name;
    double random;
    std::vector<Step> steps;
    bool shutdownConfirmed = false;
};

TEST(ReconnectPolicyTest, WaitsFollowTheEndingsAndTheBackoff) {
    const Step silent{Ending::Silence, true, 2000};
    const Case cases[] = {
        {"watchdog, then attempts that time out: 2 4 8 16 30 30 s",
         0.0,
         {silent,
          {Ending::Silence, false, 4000},
          {Ending::Silence, false, 8000},
          {Ending::Silence, false, 16000},
          {Ending::Silence, false, 30000},
          {Ending::Silence, false, 30000}}},
        {"jitter stretches a wait by up to a tenth", 0.999, {{Ending::Silence, true, 2199}}},
        {"a random source out of range still gives at most a tenth",
         7.0,
         {{Ending::Silence, true, 2200}}},
        {"the connect time-out of an attempt by hand", 0.0, {{Ending::Silence, false, kNone}}},
        {"refusal while reconnecting ends it",
         0.0,
         {silent, {Ending::Refused, false, kNone}, {Ending::Silence, false, kNone}}},
        {"refusal of a session", 0.0, {{Ending::Refused, true, kNone}}},
        {"the admin's Disconnect", 0.0, {{Ending::UserDisconnect, true, kNone}}},
        {"another ending", 0.0, {{Ending::Other, true, kNone}}},
        {"a confirmed shutdown, then silence", 0.0, {{Ending::Silence, true, kNone}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CReconnectPolicy policy([&c] { return c.random; });
        if (c.shutdownConfirmed) {
            policy.ShutdownConfirmed();
        }
        std::vector<long long> waits, expected;
        for (const Step& step : c.steps) {
            const auto wait = policy.Ended(step.ending, step.wasLoggedIn);
            waits.push_back(wait ? wait->count() : kNone);
            expected.push_back(step.waitMs);
        }
        EXPECT_EQ(waits, expected);
    }
}

// A login starts the waits over; Stop ends reconnecting and forgets a confirmed shutdown.
TEST(ReconnectPolicyTest, LoginStartsTheWaitsOverAndStopEndsThem) {
    CReconnectPolicy policy([] { return 0.0; });
    std::vector<long long> waits;
    const auto end = [&](bool wasLoggedIn) {
        const auto wait = policy.Ended(Ending::Silence, wasLoggedIn);
        waits.push_back(wait ? wait->count() : kNone);
    };
    end(true);
    end(false);
    policy.LoggedIn();
    end(true);
    policy.Stop();
    end(false); // an attempt by hand after the admin stopped the waiting
    policy.ShutdownConfirmed();
    policy.Stop();
    end(true);
    EXPECT_EQ(waits, (std::vector<long long>{2000, 4000, 2000, kNone, 2000}));
}

} // namespace
