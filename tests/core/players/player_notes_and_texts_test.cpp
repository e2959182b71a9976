// What the front ends add around the store: automation's notes and actions, the chat retention
// both programs read from the window's preferences, and how records read.

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "core/players/PlayerTexts.h"
#include "core/players/RetentionSetting.h"
#include "tests/core/players/PlayerStoreFixture.h"

namespace {

using ::testing::HasSubstr;

TEST_F(PlayerStoreTest, AddedNoteLinesKeepWhatIsThereAndComeOnlyOnce) {
    struct Case {
        const char* before; // the note the admin wrote
        std::vector<std::string> added;
        const char* after;
    };
    const Case cases[] = {
        {"", {"spams links"}, "spams links"},
        {"friend of Ann", {"spams links"}, "friend of Ann\nspams links"},
        {"friend of Ann", {"spams links", "spams links"}, "friend of Ann\nspams links"},
        {"spams links\nfriend of Ann", {"spams links"}, "spams links\nfriend of Ann"},
        // A line is only there when it is a whole line.
        {"spams links often", {"spams links"}, "spams links often\nspams links"},
        {"", {"one", "two", "one"}, "one\ntwo"},
    };
    for (const Case& c : cases) {
        const std::string name = "P" + std::to_string(&c - cases);
        if (*c.before != '\0') {
            Store().SetNote(server, name, c.before, "admin");
        }
        for (const std::string& line : c.added) {
            Store().AddToNote(server, name, line, "admin");
        }
        Flush();
        const auto record = RecordOf(name);
        ASSERT_TRUE(record.has_value()) << name;
        EXPECT_EQ(record->note, c.after) << name;
    }
}

TEST_F(PlayerStoreTest, SessionsOfTwoPagesRecordSideBySide) {
    const ServerKey other{"other.example.org", 27961};
    const std::uint64_t first = Store().NewSession();
    const std::uint64_t second = Store().NewSession();
    ASSERT_NE(first, second);
    Store().StartSession(server, "admin", {"Ann"}, first);
    Store().StartSession(other, "admin", {"Bob"}, second);
    now = START + 10;
    Store().Join("Cid", second);
    Store().Chat("Ann", 0, "on the first", first);
    Store().Chat("Cid", 0, "on the second", second);
    Store().Death("Bob", DeathCause::Killed, "Cid", second);
    now = START + 20;
    Store().EndSession(first);
    Store().Chat("Ann", 0, "after the first ended", first); // not recorded: no session
    now = START + 30;
    Store().Leave("Cid", LeaveHow::Left, second);
    Flush();

    const PlayerPage ann = PageOf("Ann");
    EXPECT_EQ(ann.record.playSeconds, 20);
    EXPECT_EQ(ann.sessions[0].howLeft, LeaveHow::ConnectionEnded);
    ASSERT_EQ(ann.chat.size(), 1u);
    EXPECT_EQ(ann.chat[0].text, "on the first");

    const auto bob = Store().Page(other, "Bob");
    ASSERT_TRUE(bob.Ok() && bob.value);
    EXPECT_TRUE(bob.value->record.onlineSince.has_value()); // the second session goes on
    EXPECT_EQ(bob.value->record.deaths, 1);
    const auto cid = Store().Page(other, "Cid");
    ASSERT_TRUE(cid.Ok() && cid.value);
    EXPECT_EQ(cid.value->record.playSeconds, 20);
    EXPECT_EQ(cid.value->record.kills, 1);
    EXPECT_EQ(cid.value->chat.size(), 1u);
    EXPECT_FALSE(RecordOf("Cid").has_value()); // nothing of the second server on the first
    EXPECT_FALSE(RecordOf("Bob").has_value());
}

TEST_F(PlayerStoreTest, EventsReachTheFileWithinHalfASecondWithoutAFlush) {
    Store().StartSession(server, "admin", {"Ann"});
    Flush(); // the writer sleeps now, the session's heartbeat ten seconds ahead
    Store().Chat("Ann", 0, "soon in the file");
    const auto start = std::chrono::steady_clock::now();
    while (Count("SELECT count(*) FROM chat") < 1 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(9)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Count("SELECT count(*) FROM chat"), 1);
    // Half a second, and all the margin a loaded machine needs; not the heartbeat's ten.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RetentionSetting, TheWindowsPreferenceDecidesAndAnythingElseIsTheDefault) {
    const std::pair<const char*, int> cases[] = {
        {"", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDays=30\n", 30},
        {"[Log]\nWatchWord=admin\n\n[Players]\r\nChatRetentionDays = 7\r\n", 7},
        {"[Players]\nChatRetentionDays=0\n", 0},
        {"[Players]\nChatRetentionDays=\"12\"\n", 12},
        {"[Players]\nChatRetentionDays=36500\n", 36500},
        {"[Players]\nChatRetentionDays=36501\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDays=-1\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDays=9999999999999\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDays=ten\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Other]\nChatRetentionDays=5\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"ChatRetentionDays=5\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDaysX=5\n", DEFAULT_CHAT_RETENTION_DAYS},
        {"[Players]\nChatRetentionDays=5", 5}, // no newline at the end
    };
    for (const auto& [text, days] : cases) {
        EXPECT_EQ(ChatRetentionDaysIn(text), days) << text;
    }
}

TEST(PlayerTexts, PlayTimeAndSeenReadAsAnAdminSaysThem) {
    const std::pair<std::int64_t, const char*> times[] = {
        {0, "under a minute"},   {59, "under a minute"}, {60, "1 min"},
        {3599, "59 min"},        {3600, "1 h 0 min"},    {12000, "3 h 20 min"},
        {359999, "99 h 59 min"}, {360000, "100 h"},      {4334400, "1204 h"},
    };
    for (const auto& [seconds, text] : times) {
        EXPECT_EQ(PlayTimeText(seconds), text) << seconds;
    }
    PlayerRecord record;
    record.sessions = 1;
    record.playSeconds = 7200;
    EXPECT_EQ(SeenText(record), "new");
    record.sessions = 12;
    EXPECT_EQ(SeenText(record), "12\u00d7 2 h");
    record.playSeconds = 7199;
    EXPECT_EQ(SeenText(record), "12\u00d7 1 h");
    record.playSeconds = 59 * 60;
    EXPECT_EQ(SeenText(record), "12\u00d7 59 min");
    record.playSeconds = 59;
    EXPECT_EQ(SeenText(record), "12\u00d7 <1 min");
    EXPECT_EQ(UtcTimeText(1'700'000'000), "2023-11-14T22:13:20Z");
    EXPECT_THAT(LocalTimeText(1'700'000'000), HasSubstr("2023-11-1"));
}

TEST(PlayerTexts, NotesFromAFileCannotSteerATerminalOrBreakUtf8) {
    struct Case {
        std::string note;
        const char* escaped;
        const char* kept; // without escaping
    };
    const Case cases[] = {
        {"caf\xc3\xa9 regular", "caf\xc3\xa9 regular", "caf\xc3\xa9 regular"},
        {"two\nlines", "two\\nlines", "two\nlines"},
        {"\x1b[2Jclear", "\\x1b[2Jclear", "\x1b[2Jclear"},
        {"next\xc2\x85line", "next\\x85line", "next\xc2\x85line"}, // U+0085, a C1 control
        {"bad\xff\xc3", "bad\xef\xbf\xbd\xef\xbf\xbd", "bad\xef\xbf\xbd\xef\xbf\xbd"},
        {"overlong\xc0\xaf", "overlong\xef\xbf\xbd\xef\xbf\xbd",
         "overlong\xef\xbf\xbd\xef\xbf\xbd"},
        {"surrogate\xed\xa0\x80", "surrogate\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd",
         "surrogate\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xf0\x9f\x98\x80 emoji", "\xf0\x9f\x98\x80 emoji", "\xf0\x9f\x98\x80 emoji"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NoteText(c.note, true), c.escaped) << c.note;
        EXPECT_EQ(NoteText(c.note, false), c.kept) << c.note;
    }
}

} // namespace
