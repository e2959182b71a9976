#include "core/bans/ListRequests.h"

#include <algorithm>

void CListRequests::Sent(ListPurpose purpose, Clock::time_point now) {
    out.push_back({purpose, now});
}

std::optional<ListPurpose> CListRequests::Answered() {
    if (out.empty()) {
        return std::nullopt;
    }
    const ListPurpose purpose = out.front().purpose;
    out.pop_front();
    return purpose;
}

std::vector<ListPurpose> CListRequests::GiveUp(Clock::time_point now) {
    std::vector<ListPurpose> lost;
    while (!out.empty() && now - out.front().sent >= ANSWER_TIMEOUT) {
        lost.push_back(out.front().purpose);
        out.pop_front();
    }
    return lost;
}

bool CListRequests::Waiting(ListPurpose purpose) const {
    return std::any_of(out.begin(), out.end(),
                       [purpose](const Request& r) { return r.purpose == purpose; });
}

std::optional<CListRequests::Clock::time_point> CListRequests::Deadline() const {
    if (out.empty()) {
        return std::nullopt;
    }
    return out.front().sent + ANSWER_TIMEOUT;
}
