// Ban lengths as typed and shown, what a list entry is, and the Bans window's rows and CSV.

#include <gtest/gtest.h>

#include "core/bans/BanDuration.h"
#include "core/bans/BanRows.h"
#include "core/bans/ServerBanList.h"

namespace {

TEST(BanLength, ParsesWhatAnAdminTypes) {
    struct Case {
        const char* typed;
        std::optional<std::int64_t> seconds;
        bool valid;
    };
    const Case cases[] = {
        {"2h", 7200, true},      {"90m", 5400, true},
        {"1d", 86400, true},     {"1w", 604800, true},
        {"30s", 30, true},       {"3 days", 259200, true},
        {"1 Hour", 3600, true},  {"10min", 600, true},
        {"permanent", {}, true}, {"PERM", {}, true},
        {"", {}, false},         {"h", {}, false},
        {"0h", {}, false},       {"-2h", {}, false},
        {"2", {}, false},        {"2x", {}, false},
        {"2h30m", {}, false},    {"1.5h", {}, false},
        {"600w", {}, false},     {"99999999999999999999d", {}, false},
    };
    for (const Case& c : cases) {
        const std::optional<BanLength> parsed = ParseBanLength(c.typed);
        ASSERT_EQ(parsed.has_value(), c.valid) << c.typed;
        if (parsed) {
            EXPECT_EQ(parsed->seconds, c.seconds) << c.typed;
        }
    }
}

TEST(BanLength, IsShownInTheLargestEvenUnit) {
    EXPECT_EQ(BanLengthText(std::nullopt), "permanent");
    EXPECT_EQ(BanLengthText(3600), "1 hour");
    EXPECT_EQ(BanLengthText(36 * 3600), "36 hours");
    EXPECT_EQ(BanLengthText(14 * 86400), "2 weeks");
    EXPECT_EQ(BanLengthText(90), "90 seconds");
    EXPECT_EQ(BanLengthText(120), "2 minutes");
}

TEST(ServerBanList, OnlyPlainDottedQuadsAreAddresses) {
    for (const char* good : {"10.0.0.1", "255.255.255.255", "0.0.0.0", "192.168.1.20"}) {
        EXPECT_TRUE(IsDottedIpv4(good)) << good;
    }
    for (const char* bad : {"", "10.0.0", "10.0.0.1.2", "10.0.0.256", "10.0.0.01", "10..0.1",
                            "10.0.0.1 ", " 10.0.0.1", "a.b.c.d", "10.0.0.1\n", "1e1.0.0.1",
                            "10.0.0.-1", "::1", "10.0.0.1;/kick 3", "1000.0.0.1", "10.0.0."}) {
        EXPECT_FALSE(IsDottedIpv4(bad)) << bad;
    }
}

TEST(ServerBanList, NewEntriesAndCutLists) {
    EXPECT_EQ(NewEntries({"a", "b"}, {"a", "b", "c"}), std::vector<std::string>{"c"});
    EXPECT_EQ(NewEntries({"a"}, {"c", "a", "c", "d"}), (std::vector<std::string>{"c", "d"}));
    EXPECT_TRUE(NewEntries({"a", "b"}, {"b"}).empty());

    // 1023 bytes of list text: after 62 addresses of 15 characters a 63rd still fits, after 63
    // a 64th might have been left out.
    std::vector<std::string> list(62, "255.255.255.255");
    EXPECT_FALSE(ListMayBeCut(list));
    list.push_back("255.255.255.255");
    EXPECT_TRUE(ListMayBeCut(list));
}

BanRecord Record(std::int64_t id, const char* name, std::optional<std::string> address,
                 BanState state = BanState::Active) {
    BanRecord ban;
    ban.id = id;
    ban.name = name;
    ban.address = std::move(address);
    ban.reason = "spam, \"again\"";
    ban.bannedAt = 1'700'000'000;
    ban.expiresAt = 1'700'003'600;
    ban.adminUser = "admin";
    ban.state = state;
    return ban;
}

TEST(BanRows, JoinTheListWithTheRecordsInForce) {
    const std::vector<BanRecord> recorded{
        Record(1, "Newer", "10.0.0.1"),
        Record(2, "Older", "10.0.0.1"),
        Record(3, "Lifted", "10.0.0.2", BanState::LiftedAtExpiry),
        Record(4, "Unknown", std::nullopt),
        Record(5, "Gone", std::nullopt, BanState::LiftedElsewhere),
    };
    const std::vector<BanRow> rows = JoinBanRows({"10.0.0.1", "10.0.0.2", "bad\x01one"}, recorded);
    ASSERT_EQ(rows.size(), 4u);
    ASSERT_TRUE(rows[0].record);
    EXPECT_EQ(rows[0].record->name, "Newer");
    EXPECT_FALSE(rows[1].record) << "a lifted record does not claim a listed address";
    EXPECT_EQ(DescribeBanRow(rows[1]).expires, "not recorded here");
    EXPECT_EQ(DescribeBanRow(rows[2]).address, "bad\\x01one (not an IPv4 address)");
    EXPECT_FALSE(rows[3].listed);
    EXPECT_EQ(DescribeBanRow(rows[3]).address, "address unknown");
    EXPECT_NE(DescribeBanRow(rows[3]).expires.find("cannot lift itself"), std::string::npos);
}

TEST(BanRows, CsvQuotesAndKeepsFormulasAsText) {
    BanRecord ban = Record(1, "=cmd|calc", "10.0.0.1");
    ban.expiresAt.reset();
    const std::string csv =
        BanRowsCsv({BanRow{"10.0.0.1", true, ban}, BanRow{"10.0.0.9", true, {}}});
    EXPECT_EQ(csv, "address,name,reason,banned_at,banned_by,expires\r\n"
                   "10.0.0.1,'=cmd|calc,\"spam, \"\"again\"\"\",2023-11-14T22:13:20Z,admin,"
                   "permanent\r\n"
                   "10.0.0.9,,,,,not recorded here\r\n");
}

} // namespace
