#pragma once
// The player table's view of the player memory: one record per name, read in one batch for the
// names that need it, so that a redraw on every score change costs lookups, not reads. A record
// is read again when it is half a minute old, and a second after its player joined or left (the
// store writes within half a second). Names no longer in the table are dropped.

#include <chrono>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/players/PlayerStore.h"

class CPlayerSeenCache {
  public:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::optional<PlayerRecord> record; // none: never recorded on this server
        std::string error;                  // the read failed: why
        Clock::time_point readAt;
        Clock::time_point dueAt; // read again from then on
        bool changed = false;    // due because the player joined or left
    };

    explicit CPlayerSeenCache(CPlayerStore& store) : store(store) {}

    // Another server: nothing known any more.
    void SetServer(const ServerKey& server);
    const ServerKey& Server() const { return server; }

    // An entry for every name, in order, reading those that are missing or due in one batch;
    // entries of other names are dropped.
    std::vector<const Entry*> Lookup(const std::vector<std::string>& names, Clock::time_point now);
    // The entry of one name, read now when missing or due; the others stay.
    const Entry& LookupOne(const std::string& name, Clock::time_point now);
    // What the player did changed the record: read it again a little later.
    void Changed(const std::string& name, Clock::time_point now);
    // True when an entry has come due since it was last read after a change.
    bool RefreshDue(Clock::time_point now) const;

  private:
    void Read(const std::vector<std::string>& names, Clock::time_point now);

    CPlayerStore& store;
    ServerKey server;
    std::unordered_map<std::string, Entry> entries;
    std::optional<Clock::time_point> earliestChange; // the soonest a changed entry comes due
};
