#include "ui/PlayerSeenCache.h"

#include <unordered_set>

namespace {

using namespace std::chrono_literals;

// Kills, deaths and play time move on: a record is read again when it is this old.
constexpr auto MAX_AGE = 30s;
// The store writes within half a second; after a join or leave the record is read again then.
constexpr auto AFTER_CHANGE = 1500ms;
// A read that failed (the file still opening, busy) is tried again after this.
constexpr auto AFTER_FAILURE = 2s;
// Entries of players gone are dropped when there are this many more than players.
constexpr std::size_t SLACK = 64;

} // namespace

void CPlayerSeenCache::SetServer(const ServerKey& next) {
    if (next.host != server.host || next.port != server.port) {
        entries.clear();
        earliestChange.reset();
        server = next;
    }
}

void CPlayerSeenCache::Read(const std::vector<std::string>& names, Clock::time_point now) {
    const auto read = store.Records(server, names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        Entry& entry = entries[names[i]];
        entry.readAt = now;
        entry.changed = false;
        if (read.Ok() && i < read.value.size()) {
            entry.record = read.value[i];
            entry.error.clear();
            entry.dueAt = now + MAX_AGE;
        } else {
            entry.error = read.error;
            entry.dueAt = now + AFTER_FAILURE;
        }
    }
}

std::vector<const CPlayerSeenCache::Entry*>
CPlayerSeenCache::Lookup(const std::vector<std::string>& names, Clock::time_point now) {
    std::vector<std::string> due;
    for (const std::string& name : names) {
        const auto found = entries.find(name);
        if (found == entries.end() || now >= found->second.dueAt) {
            due.push_back(name);
        }
    }
    if (!due.empty()) {
        Read(due, now);
    }
    if (entries.size() > names.size() + SLACK) {
        const std::unordered_set<std::string> present(names.begin(), names.end());
        for (auto entry = entries.begin(); entry != entries.end();) {
            entry = present.count(entry->first) ? std::next(entry) : entries.erase(entry);
        }
    }
    if (earliestChange && now >= *earliestChange) {
        earliestChange.reset();
        for (auto& [name, entry] : entries) {
            // Still due after this lookup: the player is gone from the table.
            entry.changed = entry.changed && entry.dueAt > now;
            if (entry.changed) {
                earliestChange =
                    earliestChange ? std::min(*earliestChange, entry.dueAt) : entry.dueAt;
            }
        }
    }
    std::vector<const Entry*> found;
    found.reserve(names.size());
    for (const std::string& name : names) {
        found.push_back(&entries[name]);
    }
    return found;
}

const CPlayerSeenCache::Entry& CPlayerSeenCache::LookupOne(const std::string& name,
                                                           Clock::time_point now) {
    const auto found = entries.find(name);
    if (found == entries.end() || now >= found->second.dueAt) {
        Read({name}, now);
    }
    return entries[name];
}

void CPlayerSeenCache::Changed(const std::string& name, Clock::time_point now) {
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return; // read when first looked up
    }
    Entry& entry = found->second;
    entry.dueAt = std::min(entry.dueAt, now + AFTER_CHANGE);
    entry.changed = true;
    earliestChange = earliestChange ? std::min(*earliestChange, entry.dueAt) : entry.dueAt;
}

bool CPlayerSeenCache::RefreshDue(Clock::time_point now) const {
    return earliestChange && now >= *earliestChange;
}
