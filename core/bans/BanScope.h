#pragma once
// What the ban tracker and the ban lifter of one session share: the store, the server and the
// admin they act for, the clock bans expire by, the `/list` requests out, and the notices for
// the front end's log.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/bans/ListRequests.h"
#include "core/players/PlayerStore.h"

// A line for the log: UTF-8, control characters escaped.
struct BanNotice {
    bool problem = false;
    std::string text;
};

struct BanScope {
    CPlayerStore& store;
    std::function<std::int64_t()> utcNow; // Unix seconds: expiries are kept in UTC
    ServerKey server;
    std::string adminUser;
    CListRequests lists;
    bool lookWanted = false;            // the lifter waits for a fresh list
    std::set<std::int64_t> settledHere; // bans this session lifted or found lifted
    std::vector<BanNotice> notices;

    void Say(std::string text, bool problem = false) {
        notices.push_back({problem, std::move(text)});
    }
};

// "Name" as the log shows a server name: printable, in UTF-8.
std::string ShownName(const std::string& latin1);
// "NAME (ADDR)", "NAME (address unknown)" or, for an address alone, "ADDR"; escaped.
std::string ShownBan(const std::string& name, const std::string* address);
