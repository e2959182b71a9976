#include "core/bans/BanRows.h"

#include <map>

#include "core/bans/BanScope.h"
#include "core/bans/ServerBanList.h"
#include "core/players/PlayerTexts.h"
#include "engine/PrintableText.h"

namespace {

bool InForce(const BanRecord& ban) {
    return ban.state == BanState::Active || ban.state == BanState::LiftPending;
}

// Text of this tool (UTF-8): only ASCII control characters need escaping.
std::string WithoutControls(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7F ? Printable(std::string_view(&c, 1)) : std::string(1, c);
    }
    return out;
}

std::string CsvField(std::string text) {
    if (!text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos) {
        text.insert(0, "'");
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + '"';
}

} // namespace

std::vector<BanRow> JoinBanRows(const std::vector<std::string>& listed,
                                const std::vector<BanRecord>& recorded) {
    // `recorded` is newest first: the first record of an address is its latest.
    std::map<std::string, const BanRecord*> byAddress;
    for (const BanRecord& ban : recorded) {
        if (InForce(ban) && ban.address) {
            byAddress.emplace(*ban.address, &ban);
        }
    }
    std::vector<BanRow> rows;
    for (const std::string& entry : listed) {
        BanRow row{entry, true, std::nullopt};
        if (const auto found = byAddress.find(entry); found != byAddress.end()) {
            row.record = *found->second;
        }
        rows.push_back(std::move(row));
    }
    for (const BanRecord& ban : recorded) {
        if (InForce(ban) && !ban.address) {
            rows.push_back(BanRow{{}, false, ban});
        }
    }
    return rows;
}

BanRowText DescribeBanRow(const BanRow& row) {
    BanRowText text;
    text.address = row.listed ? ShownName(row.entry) : "address unknown";
    if (row.listed && !IsDottedIpv4(row.entry)) {
        text.address += " (not an IPv4 address)";
    }
    if (!row.record) {
        text.expires = "not recorded here";
        return text;
    }
    const BanRecord& ban = *row.record;
    text.name = ShownName(ban.name);
    text.reason = WithoutControls(ban.reason);
    text.bannedAt = LocalTimeText(ban.bannedAt);
    text.by = WithoutControls(ban.adminUser);
    text.expires = ban.expiresAt ? LocalTimeText(*ban.expiresAt) : "permanent";
    if (ban.expiresAt && !ban.address) {
        text.expires += " (address unknown: cannot lift itself)";
    } else if (ban.state == BanState::LiftPending) {
        text.expires += " (lift failed: tried again at the next login)";
    }
    return text;
}

std::string BanRowsCsv(const std::vector<BanRow>& rows) {
    std::string csv = "address,name,reason,banned_at,banned_by,expires\r\n";
    for (const BanRow& row : rows) {
        const BanRowText text = DescribeBanRow(row);
        const BanRecord* ban = row.record ? &*row.record : nullptr;
        const std::string expires = !ban             ? text.expires
                                    : ban->expiresAt ? UtcTimeText(*ban->expiresAt)
                                                     : std::string("permanent");
        csv += CsvField(text.address) + ',' + CsvField(text.name) + ',' + CsvField(text.reason) +
               ',' + CsvField(ban ? UtcTimeText(ban->bannedAt) : std::string()) + ',' +
               CsvField(text.by) + ',' + CsvField(expires) + "\r\n";
    }
    return csv;
}
