#pragma once
// Asking a server to shut down as its confirmation wants it: a request, and another each time the
// server answers that it waits for the second (or that the second came too late), at most four in
// all. Over when the server says it is shutting down; failed when it refuses (remote shutdown
// disabled), keeps asking, or does not answer a request within 5 seconds. vyr-cli's --shutdown
// and automation's countdowns use it; the window's button sends one request, as it always has.

#include <chrono>
#include <optional>

#include "engine/AdminClient.h"

class CShutdownSequence {
  public:
    using Clock = std::chrono::steady_clock;
    enum class State { Idle, Waiting, ShuttingDown, Refused, Unanswered };

    // Sends the first request.
    void Start(CAdminClient& client, Clock::time_point now);
    // Every event of the client passes here.
    void Observe(const ClientEvent& event);
    // Sends the next request when the last answer calls for one; the state afterwards.
    State Step(CAdminClient& client, Clock::time_point now);
    // While waiting: when the wait for an answer ends.
    std::optional<Clock::time_point> Deadline() const;

  private:
    State state = State::Idle;
    int requests = 0;
    std::optional<ShutdownStatus> answer; // the latest, not yet acted on
    Clock::time_point deadline;
};
