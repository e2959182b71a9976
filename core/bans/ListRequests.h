#pragma once
// The `/list` requests this tool has out. The answer names no request, but answers come in the
// order asked, so each one answers the oldest request still out; a request without an answer in
// 5 s is given up.

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

enum class ListPurpose {
    Look,      // the Bans window, a login, a check before lifting
    BeforeBan, // the list just before this tool's ban
    AfterBan,  // the list just after it
    Admin,     // the admin typed /list
};

class CListRequests {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds ANSWER_TIMEOUT{5};

    void Sent(ListPurpose purpose, Clock::time_point now);
    // The purpose of the request an answer belongs to; nothing when none was out.
    std::optional<ListPurpose> Answered();
    // Requests out for longer than the time-out, oldest first; they are forgotten.
    std::vector<ListPurpose> GiveUp(Clock::time_point now);
    bool Waiting(ListPurpose purpose) const;
    bool Empty() const { return out.empty(); }
    std::optional<Clock::time_point> Deadline() const;
    void Clear() { out.clear(); }

  private:
    struct Request {
        ListPurpose purpose;
        Clock::time_point sent;
    };
    std::deque<Request> out;
};
