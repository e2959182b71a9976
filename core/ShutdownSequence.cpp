#include "core/ShutdownSequence.h"

#include <utility>

#include "engine/Timers.h"

namespace {

constexpr std::chrono::milliseconds ANSWER_TIMEOUT(CONNECT_TIMEOUT_MS);
// The second request confirms; a "too late" answer starts the pair again, once.
constexpr int MAX_REQUESTS = 4;

} // namespace

void CShutdownSequence::Start(CAdminClient& client, Clock::time_point now) {
    state = State::Waiting;
    requests = 1;
    answer.reset();
    deadline = now + ANSWER_TIMEOUT;
    client.RequestShutdown();
}

void CShutdownSequence::Observe(const ClientEvent& event) {
    if (const auto* shutdown = std::get_if<event::ShutdownAnswer>(&event.what)) {
        answer = shutdown->status;
    }
}

CShutdownSequence::State CShutdownSequence::Step(CAdminClient& client, Clock::time_point now) {
    if (state != State::Waiting) {
        return state;
    }
    if (answer) {
        const ShutdownStatus status = *std::exchange(answer, std::nullopt);
        if (status == ShutdownStatus::ShuttingDown) {
            state = State::ShuttingDown;
        } else if ((status == ShutdownStatus::FirstAttempt || status == ShutdownStatus::TooLate) &&
                   requests < MAX_REQUESTS) {
            ++requests;
            deadline = now + ANSWER_TIMEOUT;
            client.RequestShutdown();
        } else {
            state = State::Refused;
        }
    } else if (now >= deadline) {
        state = State::Unanswered;
    }
    return state;
}

std::optional<CShutdownSequence::Clock::time_point> CShutdownSequence::Deadline() const {
    if (state != State::Waiting) {
        return std::nullopt;
    }
    return deadline;
}
