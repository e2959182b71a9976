// vyr-cli and the player memory: --seen and --search on a prepared file without a connection,
// the prompt's :seen, :note and :search, recording while following, and every kind of file that
// goes wrong, each said once on stderr without stopping anything.

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "core/players/PlayerStore.h"
#include "core/players/SqliteDatabase.h"
#include "engine/Protocol.h"
#include "platform/WholeFile.h"
#include "tests/cli/CliFixture.h"
#include "tests/cli/PtyCli.h"
#include "tests/support/ExclusiveLockProcess.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

std::vector<json> JsonLines(const std::string& out) {
    std::vector<json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(json::parse(line, nullptr, false));
        EXPECT_TRUE(objects.back().is_object()) << line;
    }
    return objects;
}

class CliMemoryTest : public CliTest {
  protected:
    std::string DataHome() const { return home + "/data"; }
    std::string DbPath() const { return DataHome() + "/vyr/players.sqlite"; }
    std::map<std::string, std::string> Env() const { return {{"XDG_DATA_HOME", DataHome()}}; }
    // The login options for a server that need not run: reading never connects.
    static std::vector<std::string> At(std::vector<std::string> more) {
        std::vector<std::string> args{"-H", "127.0.0.1", "-p", "27960"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Two days ago: Ann and "Bj\arn" were there when the admin came, Cid joined; they talked.
    void Prepare() {
        std::atomic<std::int64_t> at{UnixNow() - 2 * 86400};
        PlayerStoreOptions options;
        options.path = DbPath();
        options.clock = [&at] { return at.load(); };
        CPlayerStore store(options);
        const ServerKey server{"127.0.0.1", 27960};
        store.StartSession(server, "admin", {"Ann", "Bj\arn"});
        at += 60;
        store.Join("Cid");
        store.Chat("Ann", 0, "who took the rocket launcher");
        at += 60;
        store.Chat("Cid", CHAT_KIND_TEAM, "rocket is mine \x1b[31m");
        store.Chat("Bj\arn", 0, "gg");
        store.Death("Ann", DeathCause::Killed, "Cid");
        at += 3600;
        store.RecordAction(server, "Cid", ActionKind::Kick, "admin", "spam");
        store.Leave("Cid", LeaveHow::Kicked);
        store.EndSession();
        store.SetNote(server, "Ann", "friend of the house\nplays on Sundays", "admin");
        store.SetFlag(server, "Ann", PlayerFlag::Watch);
        ASSERT_TRUE(store.Flush());
        ASSERT_TRUE(store.TakeProblems().empty());
    }

    // Runs vyr-cli to its end.
    int Run(const std::vector<std::string>& args, CliProcess** keep = nullptr) {
        last = std::make_unique<CliProcess>(home, args, Env());
        if (keep) {
            *keep = last.get();
        }
        return RunCli(*last);
    }

    std::unique_ptr<CliProcess> last;
};

TEST_F(CliMemoryTest, SeenShowsTheRecordWithItsLatestSessionsChatAndActions) {
    Prepare();
    ASSERT_EQ(Run(At({"--seen", "Ann"})), EXIT_OK) << last->err;
    const std::string& out = last->out;
    EXPECT_THAT(out, HasSubstr("Ann on 127.0.0.1:27960 [watch]\n"));
    EXPECT_THAT(out, HasSubstr(", 1 session, 1 h 2 min played"));
    EXPECT_THAT(out, HasSubstr("0 kills, 1 death, 0 suicides; 0 kicks, 0 bans"));
    EXPECT_THAT(out, HasSubstr("  note: friend of the house\n        plays on Sundays\n"));
    EXPECT_THAT(out, HasSubstr("present at login, admin disconnected"));
    EXPECT_THAT(out, HasSubstr("who took the rocket launcher"));
    EXPECT_THAT(out, HasSubstr("note by admin: friend of the house"));
    EXPECT_TRUE(last->err.empty()) << last->err;

    // Server text is escaped, the kind named; the kick is among the actions.
    ASSERT_EQ(Run(At({"--seen", "Cid"})), EXIT_OK) << last->err;
    EXPECT_THAT(last->out, HasSubstr("(team) rocket is mine \\x1b[31m"));
    EXPECT_THAT(last->out, Not(HasSubstr("\x1b[31m")));
    EXPECT_THAT(last->out, HasSubstr("joined, kicked"));
    EXPECT_THAT(last->out, HasSubstr("kick by admin: spam"));
}

TEST_F(CliMemoryTest, SeenAndSearchAsJsonLines) {
    Prepare();
    ASSERT_EQ(Run(At({"-j", "--seen", "Ann"})), EXIT_OK) << last->err;
    std::vector<json> objects = JsonLines(last->out);
    ASSERT_FALSE(objects.empty());
    const json& record = objects[0];
    EXPECT_EQ(record["type"], "record");
    EXPECT_EQ(record["name"], "Ann");
    EXPECT_EQ(record["port"], 27960);
    EXPECT_EQ(record["sessions"], 1);
    EXPECT_EQ(record["deaths"], 1);
    EXPECT_EQ(record["flag"], "watch");
    EXPECT_EQ(record["note"], "friend of the house\nplays on Sundays");
    EXPECT_TRUE(record["first_seen"].is_string() && record["last_seen"].is_string());
    std::map<std::string, int> types;
    for (const json& o : objects) {
        ++types[o.value("type", "")];
        EXPECT_TRUE(o["time"].is_string() && o["text"].is_string()) << o;
    }
    EXPECT_EQ(types, (std::map<std::string, int>{
                         {"record", 1}, {"session", 1}, {"chat", 1}, {"action", 1}}));

    ASSERT_EQ(Run(At({"-j", "--search", "rocket"})), EXIT_OK) << last->err;
    objects = JsonLines(last->out);
    std::set<std::string> matched;
    for (const json& o : objects) {
        if (o["type"] == "record") {
            EXPECT_EQ(o["match"], "chat");
            EXPECT_EQ(o["lines"], 1);
            matched.insert(o["name"].get<std::string>());
        } else {
            EXPECT_EQ(o["type"], "chat");
            EXPECT_THAT(o["message"].get<std::string>(), HasSubstr("rocket"));
        }
    }
    EXPECT_EQ(matched, (std::set<std::string>{"Ann", "Cid"}));
}

TEST_F(CliMemoryTest, SearchFindsNamesAndChatLinesAcrossSessions) {
    Prepare();
    ASSERT_EQ(Run(At({"--search", "bj"})), EXIT_OK) << last->err;
    EXPECT_THAT(last->out, HasSubstr("Names holding 'bj' on 127.0.0.1:27960:\n  Bj\\x07rn  "));
    ASSERT_EQ(Run(At({"--search", "ROCK*"})), EXIT_OK) << last->err;
    EXPECT_THAT(last->out, HasSubstr("Chat lines holding 'ROCK*'"));
    EXPECT_THAT(last->out, HasSubstr("  Cid  last seen"));
    EXPECT_THAT(last->out, HasSubstr("1 matching line"));
    EXPECT_THAT(last->out, HasSubstr("who took the rocket launcher"));
}

TEST_F(CliMemoryTest, NothingFoundExitsFiveAndReadingMakesNoFile) {
    EXPECT_EQ(Run(At({"--seen", "Ann"})), EXIT_NOT_FOUND);
    EXPECT_THAT(last->err, HasSubstr("nothing is recorded yet"));
    EXPECT_FALSE(std::filesystem::exists(DbPath()));

    Prepare();
    EXPECT_EQ(Run(At({"--seen", "An"})), EXIT_NOT_FOUND);
    EXPECT_THAT(last->err, HasSubstr("no player called 'An' on 127.0.0.1:27960; names holding "
                                     "it: Ann"));
    EXPECT_EQ(Run(At({"--search", "zeppelin"})), EXIT_NOT_FOUND);
    EXPECT_THAT(last->err, HasSubstr("nothing on 127.0.0.1:27960 holds 'zeppelin'"));
    EXPECT_EQ(Run({"-H", "127.0.0.1", "-p", "27961", "--seen", "Ann"}), EXIT_NOT_FOUND);
    // A name no server could send is a usage error, not a search.
    EXPECT_EQ(Run(At({"--seen", "Ann\u0416"})), EXIT_USAGE);
}

TEST_F(CliMemoryTest, BadFilesAreSaidOnceAndNothingWaits) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        int status;
        const char* said;
    };
    const auto sqlite = [](const char* sql) {
        return [sql](const std::string& path) {
            CSqliteDatabase db;
            ASSERT_TRUE(db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).Ok());
            ASSERT_TRUE(db.Exec(sql).Ok());
        };
    };
    const Case cases[] = {
        {"damaged",
         [](const std::string& path) { std::ofstream(path) << std::string(8192, '\xab'); },
         EXIT_NOT_FOUND, "was damaged; it was moved aside"},
        {"foreign", sqlite("CREATE TABLE invoices(id INTEGER PRIMARY KEY);"), EXIT_NO_MEMORY,
         "belongs to another program"},
        {"newer",
         sqlite("PRAGMA application_id = 1450799696; PRAGMA user_version = 99;"
                "CREATE TABLE future(x);"),
         EXIT_NO_MEMORY, "newer version"},
        {"FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
         EXIT_NO_MEMORY, "not a regular file"},
        {"folder", [](const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); },
         EXIT_NO_MEMORY, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(DataHome());
        ASSERT_TRUE(MakePrivateDirectories(DataHome() + "/vyr"));
        c.make(DbPath());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(At({"--seen", "Ann"})), c.status) << last->err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
        EXPECT_EQ(Count(last->err, c.said), 1u) << last->err;
        EXPECT_EQ(Count(last->err, "vyr-cli: "), c.status == EXIT_NOT_FOUND ? 2u : 1u)
            << last->err; // the problem, and for the new file "no player called"
    }
}

TEST_F(CliMemoryTest, FileLockedByAnotherProcessIsSaidAfterAShortWait) {
    Prepare();
    ExclusiveLockProcess locker(DbPath());
    ASSERT_TRUE(locker.Locked());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(At({"--seen", "Ann"})), EXIT_NO_MEMORY);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(Count(last->err, "held locked by another program"), 1u) << last->err;
    locker.Release();
    EXPECT_EQ(Run(At({"--seen", "Ann"})), EXIT_OK) << last->err;
}

TEST_F(CliMemoryTest, FollowRecordsWhileAnotherProgramReadsAndOneShotJobsOnlyTheirKicks) {
    StartServer({"--players", "3", "--rate", "40", "--seed", "7"});
    // A one-shot job leaves no sessions behind: scripts that run it every minute count nobody.
    ASSERT_EQ(Run(To({"--players"})), EXIT_OK) << last->err;
    const std::string roster = last->out;
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
    const std::string name = roster.substr(
        roster.rfind("  ") + 2, roster.find('\n', roster.rfind("  ")) - roster.rfind("  ") - 2);

    CliProcess follower(home, To({"-f"}), Env());
    ASSERT_TRUE(follower.WaitForOutput("Connected.")) << follower.err;
    // The follower writes every half second while another program reads.
    bool readMeanwhile = false;
    for (int i = 0; i < 50 && !readMeanwhile; ++i) {
        readMeanwhile = Run(To({"--search", "a"})) == EXIT_OK;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(readMeanwhile) << last->err;
    EXPECT_TRUE(last->err.empty()) << last->err;
    ASSERT_TRUE(follower.Signal(SIGINT));
    EXPECT_EQ(follower.WaitForExit(), EXIT_OK);
    EXPECT_TRUE(follower.err.empty()) << follower.err;

    ASSERT_EQ(Run(To({"--seen", name})), EXIT_OK) << last->err;
    EXPECT_THAT(last->out, HasSubstr("present at login"));
    EXPECT_THAT(last->out, HasSubstr("admin disconnected"));

    ASSERT_EQ(Run(To({"--kick", name})), EXIT_OK) << last->err;
    ASSERT_EQ(Run(To({"--seen", name})), EXIT_OK) << last->err;
    EXPECT_THAT(last->out, HasSubstr("kick by admin"));
    EXPECT_EQ(Count(last->out, "present at login"), 1u) << "the kick's run records no session";
}

TEST_F(CliMemoryTest, FullDiskPausesRecordingWithOneLineAndTheSessionGoesOn) {
    StartServer({"--players", "8", "--rate", "400", "--seed", "3"});
    // vyr-cli starts with a file size limit a little above an empty player memory: the chat
    // soon passes it. The limit and the ignored SIGXFSZ are inherited, then put back here.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit low{256 * 1024, old.rlim_max};
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    CliProcess follower(home, To({"-f", "-q"}), Env());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    ::signal(SIGXFSZ, previous);

    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (follower.err.find("paused until the next connection") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        follower.WaitForOutput("\x01never", 100ms);
    }
    ASSERT_THAT(follower.err, HasSubstr("recording is paused until the next connection"));
    // The session goes on, and nothing more is said about it.
    const std::size_t before = follower.out.size();
    follower.WaitForOutput("\x01never", 1500ms);
    EXPECT_FALSE(follower.WaitForExit(10ms).has_value());
    ASSERT_TRUE(follower.Signal(SIGINT));
    EXPECT_EQ(follower.WaitForExit(), EXIT_OK);
    EXPECT_GE(follower.out.size(), before);
    EXPECT_EQ(Count(follower.err, "vyr-cli: "), 1u) << follower.err;
}

TEST_F(CliMemoryTest, PromptAsksTheMemoryAndKeepsNotes) {
    StartServer({"--players", "2", "--rate", "0", "--seed", "5"});
    PtyCli::Options withMemory;
    withMemory.env = Env();
    PtyCli cli(home, To({"--no-color"}), withMemory);
    ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
    cli.Type(":players\r");
    ASSERT_TRUE(cli.WaitFor("VALUE  NAME")) << cli.screen;
    const std::size_t listed = cli.screen.find("VALUE  NAME");
    ASSERT_TRUE(cli.WaitFor("\n", listed + 12));
    // The first player listed: "   ID  VALUE  NAME\r\n   0     12  Name\r\n".
    const std::size_t row = cli.screen.find('\n', listed) + 1;
    ASSERT_TRUE(cli.WaitFor("\r\n", row));
    const std::string line = cli.screen.substr(row, cli.screen.find("\r\n", row) - row);
    const std::string name = line.substr(line.rfind("  ") + 2);
    const std::string id = "#" + std::to_string(std::stoi(line));

    std::size_t from = cli.screen.size();
    cli.Type(":note " + id + " plays fair\r");
    EXPECT_TRUE(cli.WaitFor("note on " + name + " set", from)) << cli.screen;
    // The file opens beside the prompt, and the note is written within half a second.
    bool seen = false;
    for (int i = 0; i < 50 && !seen; ++i) {
        from = cli.screen.size();
        cli.Type(":seen " + name + "\r");
        seen = cli.WaitFor("note: plays fair", from, 200ms);
    }
    EXPECT_TRUE(seen) << cli.screen;
    EXPECT_TRUE(cli.WaitFor(name + " on 127.0.0.1:", from)) << cli.screen;
    EXPECT_TRUE(cli.WaitFor("present at login, still playing", from)) << cli.screen;
    from = cli.screen.size();
    cli.Type(":note \"" + name + "\" \"\"\r");
    EXPECT_TRUE(cli.WaitFor("note on " + name + " removed (it was: plays fair)", from))
        << cli.screen;
    from = cli.screen.size();
    cli.Type(":search " + name.substr(0, 2) + "\r");
    EXPECT_TRUE(cli.WaitFor("Names holding '" + name.substr(0, 2) + "'", from)) << cli.screen;
    from = cli.screen.size();
    cli.Type(":seen #200\r");
    EXPECT_TRUE(cli.WaitFor("vyr-cli: no player has the id #200", from)) << cli.screen;
    cli.Type(":quit\r");
    EXPECT_EQ(cli.Exit(), EXIT_OK);
}

TEST(CliMemoryOptions, SeenAndSearchReadWithoutConnecting) {
    struct Case {
        std::vector<std::string> args;
        const char* error; // empty: accepted
    };
    const Case cases[] = {
        {{"--seen", "Ann"}, ""},
        {{"--search", "rocket launcher", "--seen", "Ann", "-j"}, ""},
        {{"-s", "home,away", "--seen", "Ann"}, ""},
        {{"--seen", ""}, "invalid value '' for --seen"},
        {{"--search", ""}, "invalid value '' for --search"},
        {{"--seen", "Ann", "-c", "status"}, "read the player memory without connecting"},
        {{"--search", "x", "--follow"}, "read the player memory without connecting"},
        {{"--seen", "Ann", "--kick", "Bob"}, "read the player memory without connecting"},
        {{"--seen", "Ann", "status"}, "read the player memory without connecting"},
    };
    for (const Case& c : cases) {
        const ParsedCliOptions parsed = ParseCliOptions(c.args);
        if (*c.error == '\0') {
            EXPECT_EQ(parsed.action, ParsedCliOptions::Action::Run) << parsed.error;
            EXPECT_TRUE(parsed.options.HasJob());
        } else {
            EXPECT_THAT(parsed.error, HasSubstr(c.error)) << c.args[0];
        }
    }
}

} // namespace
