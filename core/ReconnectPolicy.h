#pragma once
// When a lost session is tried again. Only a silence (the watchdog, or the connect time-out of an
// attempt made while reconnecting) calls for it: a refusal, the admin's own disconnect or a
// shutdown the server confirmed mean the session is meant to be over. Attempts
// wait 2, 4, 8, 16 and 30 s, then 30 s each, every wait stretched by up to a tenth at random
// so that many windows do not all hit a restarted server in the same instant.

#include <chrono>
#include <functional>
#include <optional>

#include "core/SessionRule.h"

class CReconnectPolicy {
  public:
    using Random = std::function<double()>; // uniform in [0, 1)

    explicit CReconnectPolicy(Random random);

    // A login succeeded: the next loss starts the waits from the first one again.
    void LoggedIn();
    // A session (`wasLoggedIn`) or an attempt ended: how long to wait before the next attempt,
    // or nothing when this ending calls for none (which also ends any reconnecting).
    std::optional<std::chrono::milliseconds> Ended(SessionEnding ending, bool wasLoggedIn);
    // The admin stopped the reconnecting, or a new session was started by hand.
    void Stop();

  private:
    Random random;
    int attempts = 0;
    bool reconnecting = false;
};

// A uniform number in [0, 1) from a generator seeded once per process: the window's jitter.
double ProcessRandom();
