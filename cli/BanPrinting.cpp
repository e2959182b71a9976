// The ban memory's lines and the --bans table, as text or JSON Lines.

#include "cli/EventPrinter.h"
#include "core/WireText.h"
#include "core/bans/BanRows.h"
#include "core/bans/BanScope.h"
#include "core/bans/ServerBanList.h"
#include "core/players/PlayerTexts.h"

namespace {

// `text` and blanks up to `width` bytes, then one more blank.
std::string Column(const std::string& text, std::size_t width) {
    return text + std::string(text.size() < width ? width - text.size() : 0, ' ') + ' ';
}

} // namespace

void EventPrinter::PrintBanNotice(const BanNotice& notice) {
    if (!style.json) {
        TextLine(notice.text, notice.problem ? COLOUR_DARK_RED : COLOUR_BLUE);
        return;
    }
    out += Object("ban").Add("text", notice.text).Add("problem", notice.problem ? 1 : 0).Text();
    out += '\n';
}

void EventPrinter::PrintBanRows(const std::vector<BanRow>& rows) {
    if (!style.json) {
        out += rows.empty() ? "The server's ban list is empty.\n"
                            : "ADDRESS          NAME          BANNED AT         BY        "
                              "EXPIRES           REASON\n";
        for (const BanRow& row : rows) {
            const BanRowText text = DescribeBanRow(row);
            out += Column(text.address, 16) + Column(text.name, 13) + Column(text.bannedAt, 17) +
                   Column(text.by, 9) + text.expires +
                   (text.reason.empty() ? "" : "  " + text.reason) + '\n';
        }
        return;
    }
    for (const BanRow& row : rows) {
        JsonObject json = Object("banned");
        const BanRowText text = DescribeBanRow(row);
        json.Add("text", text.address)
            .Add("address", row.listed ? Latin1ToUtf8(row.entry) : std::string())
            .Add("listed", row.listed ? 1 : 0)
            .Add("ipv4", IsDottedIpv4(row.entry) ? 1 : 0)
            .Add("recorded", row.record ? 1 : 0);
        if (row.record) {
            const BanRecord& ban = *row.record;
            json.Add("name", Latin1ToUtf8(ban.name))
                .Add("reason", ban.reason)
                .Add("banned_at", UtcTimeText(ban.bannedAt))
                .Add("banned_by", ban.adminUser)
                .Add("expires", ban.expiresAt ? UtcTimeText(*ban.expiresAt) : "permanent")
                .Add("lift_pending", ban.state == BanState::LiftPending ? 1 : 0);
        }
        out += json.Text();
        out += '\n';
    }
}
