#pragma once
// The Bans window's and `vyr-cli --bans`' rows: the server's list joined with the bans recorded
// here, and the same rows as text and as CSV.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/players/PlayerRecords.h"

struct BanRow {
    std::string entry;               // the list's bytes; empty for a ban whose address is unknown
    bool listed = false;             // on the server's list
    std::optional<BanRecord> record; // this tool's record, still in force
};

// One row per listed entry, in the list's order, with its record when one holds the address;
// then the recorded bans whose address is unknown, newest first. `recorded` is every ban of the
// server; lifted ones are left out.
std::vector<BanRow> JoinBanRows(const std::vector<std::string>& listed,
                                const std::vector<BanRecord>& recorded);

// A row in words (UTF-8, escaped): what the window's columns and vyr-cli's lines show.
struct BanRowText {
    std::string address;
    std::string name;
    std::string reason;
    std::string bannedAt; // local time, "2026-01-31 12:34"
    std::string by;
    std::string expires; // a local time, "permanent", or "not recorded here"
};
BanRowText DescribeBanRow(const BanRow& row);

// A header line, then one line per row; times in UTC. Fields a spreadsheet would take for a
// formula are kept as text.
std::string BanRowsCsv(const std::vector<BanRow>& rows);
