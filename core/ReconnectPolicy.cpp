#include "core/ReconnectPolicy.h"

#include <algorithm>
#include <random>
#include <utility>

namespace {

constexpr std::chrono::milliseconds WAITS[] = {std::chrono::seconds(2), std::chrono::seconds(4),
                                               std::chrono::seconds(8), std::chrono::seconds(16),
                                               std::chrono::seconds(30)};
constexpr double JITTER = 0.1;

} // namespace

CReconnectPolicy::CReconnectPolicy(Random random) : random(std::move(random)) {}

void CReconnectPolicy::LoggedIn() {
    attempts = 0;
}

std::optional<std::chrono::milliseconds> CReconnectPolicy::Ended(SessionEnding ending,
                                                                 bool wasLoggedIn) {
    if (ending != SessionEnding::TimedOut || !(wasLoggedIn || reconnecting)) {
        Stop();
        return std::nullopt;
    }
    reconnecting = true;
    const std::chrono::milliseconds wait =
        WAITS[std::min<std::size_t>(static_cast<std::size_t>(attempts), std::size(WAITS) - 1)];
    ++attempts;
    const double stretch = 1 + JITTER * std::clamp(random(), 0.0, 1.0);
    return std::chrono::milliseconds(static_cast<long long>(wait.count() * stretch));
}

void CReconnectPolicy::Stop() {
    attempts = 0;
    reconnecting = false;
}

double ProcessRandom() {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}
