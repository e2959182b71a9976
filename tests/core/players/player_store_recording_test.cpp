// Recording and reading back: sessions, play time, counters, chat, search, notes, flags,
// forgetting and retention, through the store's public calls on a real file.

#include <gmock/gmock.h>

#include "tests/core/players/PlayerStoreFixture.h"

namespace {

using ::testing::ElementsAre;

std::vector<std::string> Names(const std::vector<PlayerSummary>& found) {
    std::vector<std::string> names;
    for (const PlayerSummary& summary : found) {
        names.push_back(summary.record.name);
    }
    return names;
}

std::vector<std::string> Lines(const PlayerPage& page) {
    std::vector<std::string> lines;
    for (const ChatEntry& line : page.chat) {
        lines.push_back(line.text);
    }
    return lines;
}

TEST_F(PlayerStoreTest, SessionsPlayTimeAndCountersFollowTheGame) {
    CPlayerStore& s = Store();
    s.StartSession(server, "admin", {"Ann", "Bjorn"});
    now = START + 60;
    s.Join("Cassia");
    now = START + 90;
    s.Death("Ann", DeathCause::Killed, "Bjorn");
    s.Death("Cassia", DeathCause::Suicide);
    s.Death("Bjorn", DeathCause::Died);
    s.Score("Ann", 12);
    s.Score("Ann", 15);
    now = START + 120;
    s.Leave("Bjorn", LeaveHow::TimedOut);
    s.Leave("Cassia", LeaveHow::Kicked);
    now = START + 150;
    s.RecordAction(server, "Ann", ActionKind::Ban, "admin", "cheating");
    s.Leave("Ann", LeaveHow::Kicked); // the server's kick that carries out the ban
    s.Join("Dmitri");
    now = START + 200;
    s.EndSession();
    Flush();

    struct Expected {
        const char* name;
        std::int64_t firstSeen, lastSeen, playSeconds, kills, deaths, suicides, kicks, bans;
        JoinHow joined;
        LeaveHow left;
    };
    const Expected expected[] = {
        {"Ann", START, START + 150, 150, 0, 1, 0, 0, 1, JoinHow::PresentAtLogin, LeaveHow::Banned},
        {"Bjorn", START, START + 120, 120, 1, 1, 0, 0, 0, JoinHow::PresentAtLogin,
         LeaveHow::TimedOut},
        {"Cassia", START + 60, START + 120, 60, 0, 0, 1, 0, 0, JoinHow::Joined, LeaveHow::Kicked},
        {"Dmitri", START + 150, START + 200, 50, 0, 0, 0, 0, 0, JoinHow::Joined,
         LeaveHow::ConnectionEnded},
    };
    for (const Expected& e : expected) {
        const PlayerPage page = PageOf(e.name);
        const PlayerRecord& r = page.record;
        EXPECT_EQ(r.firstSeen, e.firstSeen) << e.name;
        EXPECT_EQ(r.lastSeen, e.lastSeen) << e.name;
        EXPECT_EQ(r.sessions, 1) << e.name;
        EXPECT_EQ(r.playSeconds, e.playSeconds) << e.name;
        EXPECT_EQ(r.kills, e.kills) << e.name;
        EXPECT_EQ(r.deaths, e.deaths) << e.name;
        EXPECT_EQ(r.suicides, e.suicides) << e.name;
        EXPECT_EQ(r.kicks, e.kicks) << e.name;
        EXPECT_EQ(r.bans, e.bans) << e.name;
        EXPECT_FALSE(r.onlineSince) << e.name;
        ASSERT_EQ(page.sessions.size(), 1u) << e.name;
        EXPECT_EQ(page.sessions[0].howJoined, e.joined) << e.name;
        EXPECT_EQ(page.sessions[0].howLeft, e.left) << e.name;
        EXPECT_EQ(page.sessions[0].leftAt, e.lastSeen) << e.name;
    }
    EXPECT_EQ(RecordOf("Ann")->score, 15);
    EXPECT_EQ(RecordOf("Bjorn")->score, std::nullopt);

    // A second connection: Ann is there at login and online from then on.
    now = START + 1000;
    s.StartSession(server, "admin", {"Ann"});
    Flush();
    now = START + 1030;
    const auto ann = RecordOf("Ann");
    EXPECT_EQ(ann->sessions, 2);
    EXPECT_EQ(ann->onlineSince, START + 1000);
    EXPECT_EQ(ann->playSeconds, 150 + 30);
    EXPECT_FALSE(RecordOf("Nobody"));
    EXPECT_TRUE(s.TakeProblems().empty());
    // Private: the file 0600, its folders 0700.
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(dir + "/data/vyr").permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir + "/data").permissions(), fs::perms::owner_all);
}

TEST_F(PlayerStoreTest, ChatPagesNewestFirstFilteredAndInSlices) {
    CPlayerStore& s = Store();
    s.StartSession(server, "admin", {"Ann"});
    for (int i = 0; i < 30; ++i) {
        now = START + i;
        s.Chat("Ann", 0,
               i % 10 == 0 ? "who took the rocket launcher " + std::to_string(i)
                           : "line " + std::to_string(i));
    }
    s.Chat("Ann", 2, "caf\xe9 au lait");
    s.Chat("", 3, "Server restarts in 5 minutes");
    Flush();

    PlayerPage page = PageOf("Ann", {"", 0, 3, 200});
    EXPECT_EQ(page.chatTotal, 31);
    EXPECT_THAT(Lines(page), ElementsAre("caf\xe9 au lait", "line 29", "line 28"));
    EXPECT_EQ(page.chat[0].kind, 2);
    page = PageOf("Ann", {"", 29, 5, 200});
    EXPECT_THAT(Lines(page), ElementsAre("line 1", "who took the rocket launcher 0"));

    page = PageOf("Ann", {"rocket", 0, 2, 200});
    EXPECT_EQ(page.chatTotal, 3);
    EXPECT_THAT(Lines(page),
                ElementsAre("who took the rocket launcher 20", "who took the rocket launcher 10"));
    // Latin-1 is indexed as the characters it stands for, accents optional.
    EXPECT_EQ(PageOf("Ann", {"cafe", 0, 10, 200}).chatTotal, 1);
    EXPECT_EQ(PageOf("Ann", {"caf\xc3\xa9", 0, 10, 200}).chatTotal, 1);
    EXPECT_EQ(PageOf("Ann", {"launch*", 0, 10, 200}).chatTotal, 3);
    // Whatever is typed is words, never query syntax.
    for (const char* typed : {"\"", "AND", "rocket OR", "(", "NEAR(a b)", "col:rocket", "*", "-x",
                              "^", "'; DROP TABLE chat; --"}) {
        const auto read = s.Page(server, "Ann", {typed, 0, 10, 200});
        EXPECT_TRUE(read.Ok()) << typed << ": " << read.error;
    }
    // The server's own lines are kept with its nameless row.
    EXPECT_THAT(Lines(PageOf("")), ElementsAre("Server restarts in 5 minutes"));
}

TEST_F(PlayerStoreTest, SearchFindsNamesInAnyCaseAndPlayersByWhatTheySaid) {
    CPlayerStore& s = Store();
    const ServerKey other{"other.example.org", 27960};
    s.StartSession(other, "admin", {"Ann"});
    s.Chat("Ann", 0, "rocket launcher please");
    now = START + 10;
    s.StartSession(server, "admin", {"Ann", "JOANNA", "J\xc4rgen", "Bob"});
    now = START + 20;
    s.Chat("Bob", 0, "who took the rocket launcher");
    now = START + 30;
    s.Chat("Ann", 0, "the rocket is mine");
    s.Chat("Ann", 0, "rocket again");
    Flush();

    const auto byName = [&](const std::string& fragment) {
        const auto read = s.SearchNames(server, fragment);
        EXPECT_TRUE(read.Ok()) << read.error;
        return read.value;
    };
    // Most recently seen first.
    EXPECT_THAT(Names(byName("ann")), ElementsAre("Ann", "JOANNA"));
    EXPECT_THAT(Names(byName("\xc3\xa4rg")), ElementsAre("J\xc4rgen")); // typed "ärg"
    EXPECT_THAT(Names(byName("\xd0\x96")), ElementsAre());              // no Latin-1 for it
    EXPECT_EQ(byName("").size(), 4u);

    const auto byChat = s.SearchChat(server, "rocket");
    ASSERT_TRUE(byChat.Ok()) << byChat.error;
    ASSERT_THAT(Names(byChat.value), ElementsAre("Ann", "Bob"));
    EXPECT_EQ(byChat.value[0].matchingLines, 2);
    EXPECT_EQ(byChat.value[1].matchingLines, 1);
    EXPECT_THAT(Names(s.SearchChat(server, "rocket launcher").value), ElementsAre("Bob"));
    EXPECT_THAT(Names(s.SearchChat(server, "nothing").value), ElementsAre());
    EXPECT_THAT(Names(s.SearchChat(ServerKey{"never.example.org", 1}, "rocket").value),
                ElementsAre());
}

TEST_F(PlayerStoreTest, HostileNamesAndTextComeBackByteForByte) {
    const std::vector<std::string> names = {"'; DROP TABLE",
                                            std::string("nul\0byte", 8),
                                            "\xff\xfe\x80\x01",
                                            "%s%n%x",
                                            "Robert'); --",
                                            "\"quoted\"",
                                            "a\\b",
                                            "x' OR '1'='1"};
    CPlayerStore& s = Store();
    s.StartSession(server, "admin'); DROP TABLE servers; --", names);
    for (const std::string& name : names) {
        s.Chat(name, 0, name + " said " + name);
        s.SetNote(server, name, "note of " + name, "admin");
    }
    Flush();

    const auto read = s.Records(server, names);
    ASSERT_TRUE(read.Ok()) << read.error;
    ASSERT_EQ(read.value.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(read.value[i].has_value()) << i;
        EXPECT_EQ(read.value[i]->name, names[i]) << i;
        EXPECT_EQ(read.value[i]->note, "note of " + names[i]) << i;
        EXPECT_THAT(Lines(PageOf(names[i])), ElementsAre(names[i] + " said " + names[i])) << i;
    }
    EXPECT_EQ(Count("SELECT count(*) FROM players"), static_cast<std::int64_t>(names.size()));
    EXPECT_EQ(Count("SELECT count(*) FROM servers"), 1);
}

TEST_F(PlayerStoreTest, NotesAndFlagsAlsoForPlayersNeverSeen) {
    CPlayerStore& s = Store();
    s.SetNote(server, "Ghost", "asked about the rules", "admin");
    s.SetFlag(server, "Ghost", PlayerFlag::Watch);
    now = START + 5;
    s.SetNote(server, "Ghost", "now trusted", "mod");
    s.SetFlag(server, "Ghost", PlayerFlag::Trusted);
    Flush();

    const PlayerPage page = PageOf("Ghost");
    EXPECT_FALSE(page.record.firstSeen);
    EXPECT_EQ(page.record.note, "now trusted");
    EXPECT_EQ(page.record.flag, PlayerFlag::Trusted);
    ASSERT_EQ(page.actions.size(), 2u);
    EXPECT_EQ(page.actions[0].kind, ActionKind::Note);
    EXPECT_EQ(page.actions[0].adminUser, "mod");
    EXPECT_EQ(page.actions[0].detail, "now trusted");
    EXPECT_EQ(page.actions[1].at, START);
}

TEST_F(PlayerStoreTest, ForgettingDeletesThePlayerButNotABanStillInForce) {
    CPlayerStore& s = Store();
    s.StartSession(server, "admin", {"Ann", "Bob"});
    s.Chat("Ann", 0, "secret words");
    s.Chat("Bob", 0, "secret plans");
    s.SetNote(server, "Ann", "note", "admin");
    const std::int64_t lifted = s.RecordBan({server, "Ann", "10.0.0.1", "spam", 60, "admin"});
    s.MarkBanLifted(lifted, BanState::LiftedAtExpiry, "");
    const std::int64_t inForce = s.RecordBan({server, "Ann", "10.0.0.2", "spam", {}, "admin"});
    Flush();

    s.ForgetPlayer(server, "Ann");
    s.ForgetPlayer(server, "Never seen");
    Flush();
    EXPECT_FALSE(RecordOf("Ann"));
    EXPECT_THAT(Names(s.SearchChat(server, "secret").value), ElementsAre("Bob"));
    const auto bans = s.Bans(server);
    ASSERT_EQ(bans.value.size(), 1u);
    EXPECT_EQ(bans.value[0].id, inForce);
    EXPECT_EQ(Count("SELECT count(*) FROM chat"), 1);
    EXPECT_EQ(Count("SELECT count(*) FROM sessions"), 1);
    EXPECT_EQ(Count("SELECT count(*) FROM actions"), 0);

    // Still online: what Ann does next is recorded afresh.
    s.Chat("Ann", 0, "hello again");
    Flush();
    EXPECT_THAT(Lines(PageOf("Ann")), ElementsAre("hello again"));
    EXPECT_TRUE(s.TakeProblems().empty());
}

TEST_F(PlayerStoreTest, ChatPastTheRetentionIsDeletedAtOpenAndWhenChanged) {
    constexpr std::int64_t DAY = 24 * 60 * 60;
    Store().StartSession(server, "admin", {"Ann"});
    Store().Chat("Ann", 0, "ancient words");
    now = START + 50 * DAY;
    Store().Chat("Ann", 0, "older words");
    now = START + 80 * DAY;
    Store().Chat("Ann", 0, "recent words");
    Flush();

    now = START + 91 * DAY; // past 90 days for the first line only
    Reopen();
    ASSERT_TRUE(Store().WaitUntilOpen(std::chrono::seconds(10)));
    EXPECT_THAT(Lines(PageOf("Ann")), ElementsAre("recent words", "older words"));
    EXPECT_EQ(Store().SearchChat(server, "ancient").value.size(), 0u);

    Store().SetChatRetention(30);
    Flush();
    EXPECT_THAT(Lines(PageOf("Ann")), ElementsAre("recent words"));
    EXPECT_EQ(Store().SearchChat(server, "older").value.size(), 0u);
    Store().SetChatRetention(0); // kept for ever, past the next daily round too
    now = START + 1000 * DAY;
    Store().StartSession(server, "admin", {"Ann"});
    Flush();
    EXPECT_THAT(Lines(PageOf("Ann")), ElementsAre("recent words"));
}

TEST_F(PlayerStoreTest, BansAreListedFoundDueAndLifted) {
    CPlayerStore& s = Store();
    s.StartSession(server, "admin", {"Ann", "Bob"});
    const std::int64_t day = s.RecordBan({server, "Ann", "10.1.2.3", "teamkilling", 86400, "mod"});
    now = START + 10;
    const std::int64_t ever = s.RecordBan({server, "Bob", std::nullopt, "cheating", {}, "admin"});
    Flush();

    auto bans = s.Bans(server);
    ASSERT_TRUE(bans.Ok()) << bans.error;
    ASSERT_EQ(bans.value.size(), 2u);
    EXPECT_EQ(bans.value[0].id, ever);
    EXPECT_EQ(bans.value[0].address, std::nullopt);
    EXPECT_EQ(bans.value[0].expiresAt, std::nullopt);
    EXPECT_EQ(bans.value[1].name, "Ann");
    EXPECT_EQ(bans.value[1].address, "10.1.2.3");
    EXPECT_EQ(bans.value[1].expiresAt, START + 86400);
    EXPECT_EQ(bans.value[1].adminUser, "mod");
    EXPECT_EQ(bans.value[1].reason, "teamkilling");

    EXPECT_TRUE(s.BansDue(server, START + 86399).value.empty());
    s.MarkBanLiftFailed(day);
    Flush();
    auto due = s.BansDue(server, START + 86400);
    ASSERT_EQ(due.value.size(), 1u);
    EXPECT_EQ(due.value[0].state, BanState::LiftPending);
    EXPECT_EQ(due.value[0].liftFailures, 1);

    now = START + 90000;
    s.MarkBanLifted(day, BanState::LiftedAtExpiry, "");
    Flush();
    EXPECT_TRUE(s.BansDue(server, START + 100000).value.empty());
    const auto found = s.BanByAddress(server, "10.1.2.3");
    ASSERT_TRUE(found.value.has_value());
    EXPECT_EQ(found.value->state, BanState::LiftedAtExpiry);
    EXPECT_EQ(found.value->liftedAt, START + 90000);
    EXPECT_FALSE(s.BanByAddress(server, "10.9.9.9").value.has_value());

    const PlayerPage ann = PageOf("Ann");
    ASSERT_EQ(ann.actions.size(), 2u);
    EXPECT_EQ(ann.actions[0].kind, ActionKind::Unban);
    EXPECT_EQ(ann.actions[1].kind, ActionKind::Ban);
    EXPECT_EQ(ann.record.bans, 1);
}

} // namespace
