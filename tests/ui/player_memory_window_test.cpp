// The window's player memory: the Seen column, tooltips and the watched player's join; Note and
// History from the table; the Players window's searches and a player's page with its note, flag
// and Forget; automation's notes and kicks; and every kind of file that goes wrong, said once in
// dark red while the session goes on. Real SQLite files in the test's own XDG_DATA_HOME.
#include <QSignalSpy>
#include <QToolTip>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <fstream>

#include "AdminDlgFixture.h"
#include "core/players/PlayerStore.h"
#include "core/players/RetentionSetting.h"
#include "core/players/SqliteDatabase.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/ExclusiveLockProcess.h"
#include "ui/NoteEditor.h"
#include "ui/PagePlayerMemory.h"
#include "ui/PlayerMemoryTexts.h"
#include "ui/PlayerPageView.h"
#include "ui/PlayersWindow.h"
#include "ui/Preferences.h"

namespace {

using namespace std::chrono_literals;

const QColor kDarkRed(102, 0, 0);
const QColor kWatched(RedOf(playertexts::COLOUR_WATCHED), GreenOf(playertexts::COLOUR_WATCHED),
                      BlueOf(playertexts::COLOUR_WATCHED));

std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class PlayerMemoryTest : public AdminDlgTest {
  protected:
    std::string DbPath() const { return dataDir.filePath("vyr/players.sqlite").toStdString(); }
    ServerKey Key() const { return {"127.0.0.1", server.Port()}; }
    CPagePlayerMemory& Memory() { return *Dlg().m_playerMemory; }
    CPlayerStore& Store() { return Memory().Store(); }

    // Records into the file before the window opens it, two days ago onwards.
    void Prepare(const std::function<void(CPlayerStore&, std::atomic<std::int64_t>&)>& record) {
        std::atomic<std::int64_t> at{UnixNow() - 2 * 86400};
        PlayerStoreOptions options;
        options.path = DbPath();
        options.clock = [&at] { return at.load(); };
        CPlayerStore store(options);
        record(store, at);
        ASSERT_TRUE(store.Flush());
        ASSERT_TRUE(store.TakeProblems().empty());
    }
    // A session of `seconds` of the players `names`, then `seconds` more of the clock.
    void Session(CPlayerStore& store, std::atomic<std::int64_t>& at, std::vector<std::string> names,
                 std::int64_t seconds) {
        store.StartSession(Key(), "admin", std::move(names));
        at += seconds;
        store.EndSession();
        at += seconds;
    }
    // Logs in with `players` present, their sessions written, and the list drawn.
    void LogInRecorded(const std::vector<wire::PlayerEntry>& players) {
        PressConnect();
        server.Send(wire::EncodeWelcome(players));
        ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
        ASSERT_TRUE(Store().Flush());
        Dlg().OnTimer(TIMER_UI_REFRESH);
    }
    QTreeWidgetItem* Row(const QString& name) {
        CPlayerTable* table = Dlg().m_playerList;
        for (int i = 0; i < table->topLevelItemCount(); ++i) {
            if (table->topLevelItem(i)->text(0) == name) {
                return table->topLevelItem(i);
            }
        }
        return nullptr;
    }
    QString TooltipOf(const QString& name) {
        CPlayerTable* table = Dlg().m_playerList;
        QTreeWidgetItem* row = Row(name);
        if (!row) {
            return {};
        }
        const QPoint at = table->visualItemRect(row).center();
        QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &help);
        return QToolTip::text();
    }
    // The runs of the log in dark red that hold `part`.
    int DarkRedLines(const QString& part) {
        int count = 0;
        for (const auto& [text, colour] : Runs()) {
            count += colour == kDarkRed && text.contains(part);
        }
        return count;
    }
    bool WaitForLog(const QString& part, std::chrono::milliseconds limit = 10s) {
        return RunEventLoopUntil([&] { return Log().contains(part); }, limit);
    }
    // Picks the entry `text` of the player table's menu, which opens next.
    void ChooseInNextMenu(const QString& text) {
        CPlayerTable* table = Dlg().m_playerList;
        QTimer::singleShot(0, [table, text] {
            QMenu* menu = table->findChild<QMenu*>();
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text() == text) {
                    menu->setActiveAction(action);
                }
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
    }
};

TEST_F(PlayerMemoryTest, SeenColumnAndTooltipSayWhatTheMemoryKnowsAndWatchedPlayersStandOut) {
    Prepare([&](CPlayerStore& store, std::atomic<std::int64_t>& at) {
        for (int i = 0; i < 3; ++i) {
            Session(store, at, {"Ann"}, 2400);
        }
        Session(store, at, {"<b>Bo</b>"}, 90);
        store.SetNote(Key(), "Ann", "<i>friend</i> & co\nplays on Sundays", "admin");
        store.SetFlag(Key(), "Ann", PlayerFlag::Watch);
    });
    LogInRecorded({{1, 0, "Ann"}, {2, 0, "<b>Bo</b>"}, {3, 0, "Cy\x01"}});
    for (const QString name : {"Ann", "<b>Bo</b>", "Cy\\x01"}) {
        ASSERT_NE(Row(name), nullptr) << name.toStdString() << " in " << Log().toStdString();
    }
    EXPECT_EQ(Row("Ann")->text(3), QString::fromUtf8("4\u00d7 2 h"));
    EXPECT_EQ(Row("<b>Bo</b>")->text(3), QString::fromUtf8("2\u00d7 1 min"));
    EXPECT_EQ(Row("Cy\\x01")->text(3), "new");
    EXPECT_EQ(Row("Ann")->foreground(0).color(), kWatched);
    EXPECT_TRUE(Row("Ann")->font(0).bold());
    EXPECT_NE(Row("<b>Bo</b>")->foreground(0).color(), kWatched);

    // Everything in a tooltip is text, whatever the name or the note holds.
    const QString ann = TooltipOf("Ann");
    EXPECT_TRUE(ann.contains("Watched")) << ann.toStdString();
    EXPECT_TRUE(ann.contains("&lt;i&gt;friend&lt;/i&gt; &amp; co<br>plays on Sundays"))
        << ann.toStdString();
    EXPECT_TRUE(ann.contains("Kills / deaths: 0 / 0")) << ann.toStdString();
    EXPECT_TRUE(TooltipOf("<b>Bo</b>").contains("<b>&lt;b&gt;Bo&lt;/b&gt;</b>"));
    EXPECT_TRUE(TooltipOf("Cy\\x01").contains("First time on this server"));

    // Sorted by the Seen column: the newcomer first, the regular last.
    Dlg().show();
    QHeaderView* header = Dlg().m_playerList->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(3) + 4, 4));
    EXPECT_EQ(Dlg().m_playerList->topLevelItem(0)->text(0), "Cy\\x01");
    EXPECT_EQ(Dlg().m_playerList->topLevelItem(2)->text(0), "Ann");
}

TEST_F(PlayerMemoryTest, WatchedPlayerJoiningIsMarkedInTheLogAndAsksForAttention) {
    Prepare([&](CPlayerStore& store, std::atomic<std::int64_t>&) {
        store.SetNote(Key(), "Eve", "griefs the spawn\nsecond line", "admin");
        store.SetFlag(Key(), "Eve", PlayerFlag::Watch);
        store.SetFlag(Key(), "Zed", PlayerFlag::Trusted);
    });
    LogIn();
    ASSERT_TRUE(RunEventLoopUntil([&] { return Store().State() == StoreState::Ready; }, 10s));
    QSignalSpy joined(&Memory(), &CPagePlayerMemory::watchedPlayerJoined);
    QSignalSpy important(&Dlg(), &CAdminDlg::importantRaised); // the tab's title goes bold
    const int asked = Dlg().m_attentionRequests;
    ServerSends(wire::EncodePlayerJoin(5, "Eve"));
    ServerSends(wire::EncodePlayerJoin(6, "Zed"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_TRUE(Log().contains("Eve has joined the game.\n[watch] Eve, a watched player, joined: "
                               "griefs the spawn\nZed has joined the game.\n"))
        << Log().toStdString();
    int marked = 0;
    for (const auto& [text, colour] : Runs()) {
        marked += text.startsWith("[watch] ") && colour == kWatched;
    }
    EXPECT_EQ(marked, 1);
    ASSERT_EQ(joined.count(), 1);
    EXPECT_EQ(joined.at(0).at(0).toString(), "Eve");
    EXPECT_EQ(Dlg().m_attentionRequests, asked + 1);
    EXPECT_EQ(important.count(), 1);
}

TEST_F(PlayerMemoryTest, NoteAndHistoryFromTheTablesMenu) {
    LogInRecorded({{3, 0, "Ann"}});
    Dlg().show();
    CPlayerTable* table = Dlg().m_playerList;
    const QPoint row = table->visualItemRect(Row("Ann")).center();

    ChooseInNextMenu(QString::fromUtf8(playertexts::MENU_NOTE));
    emit table->customContextMenuRequested(row);
    CNoteEditor* editor = Memory().NoteEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->m_save->isEnabled());
    editor->m_text->setPlainText("likes rockets");
    editor->m_save->click();
    ASSERT_TRUE(Store().Flush());
    ASSERT_TRUE(Store().Record(Key(), "Ann").value.has_value());
    EXPECT_EQ(Store().Record(Key(), "Ann").value->note, "likes rockets");
    // The tooltip follows once the memory has the note.
    EXPECT_TRUE(RunEventLoopUntil([&] { return TooltipOf("Ann").contains("likes rockets"); }, 10s));

    ChooseInNextMenu(QString::fromUtf8(playertexts::MENU_HISTORY));
    emit table->customContextMenuRequested(row);
    CPlayersWindow* window = Memory().Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->m_page->m_title->text(), QString::fromUtf8("Ann \u2013 online now"));
    EXPECT_EQ(window->m_page->m_note->toPlainText(), "likes rockets");
    EXPECT_EQ(window->m_page->m_sessions->topLevelItemCount(), 1);
}

class PlayersWindowTest : public PlayerMemoryTest {
  protected:
    void SetUp() override {
        Prepare([&](CPlayerStore& store, std::atomic<std::int64_t>& at) {
            store.StartSession(Key(), "admin", {"Ann", "Bob"});
            store.Chat("Ann", 0, "who took the rocket launcher");
            at += 10;
            store.Chat("Bob", CHAT_KIND_TEAM, "rocket is mine");
            at += 10;
            store.Chat("Bob", 0, "gg \x1b[2J");
            store.Join("Cid");
            store.Chat("Cid", 0, "nice shot");
            at += 10;
            store.RecordAction(Key(), "Bob", ActionKind::Kick, "admin", "spam");
            store.Leave("Bob", LeaveHow::Kicked);
            at += 100;
            store.EndSession();
        });
        SetQuestionBoxHook([this](const std::string& text) {
            asked.push_back(text);
            return answer;
        });
        // Opened on the store's thread: the window would say it is still opening.
        ASSERT_TRUE(RunEventLoopUntil([&] { return Store().State() == StoreState::Ready; }, 10s));
        // Not connected: the fields name the server.
        FillIn("127.0.0.1", QString::number(server.Port()));
        Memory().ShowPlayersWindow();
        window = Memory().Window();
        ASSERT_NE(window, nullptr);
    }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < window->m_results->topLevelItemCount(); ++i) {
            names << window->m_results->topLevelItem(i)->text(0);
        }
        names.sort();
        return names;
    }
    QTreeWidgetItem* ResultRow(const QString& name) const {
        const auto found = window->m_results->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found[0];
    }
    void SearchFor(const QString& text, bool chat) {
        window->m_search->setText(text);
        (chat ? window->m_byChat : window->m_byName)->setChecked(true);
        window->Search();
    }
    void TearDown() override { SetQuestionBoxHook(nullptr); }

    CPlayersWindow* window = nullptr;
    std::vector<std::string> asked; // questions, such as Forget's
    bool answer = false;
};

TEST_F(PlayersWindowTest, SearchesNamesAndChatWithoutAConnection) {
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Names(), QStringList({"Ann", "Bob", "Cid"}));
    EXPECT_EQ(window->m_status->text(), "3 players");
    SearchFor("B", false);
    EXPECT_EQ(Names(), QStringList({"Bob"}));
    EXPECT_EQ(ResultRow("Bob")->text(4), "1 / 0");
    SearchFor("ROCK*", true);
    EXPECT_EQ(Names(), QStringList({"Ann", "Bob"}));
    EXPECT_EQ(ResultRow("Bob")->text(5), "1");
    SearchFor("zeppelin", true);
    EXPECT_EQ(window->m_status->text(), "Nothing found.");
    // Without a server in the fields there is nothing to search.
    FillIn("", "");
    Memory().ShowPlayersWindow();
    EXPECT_EQ(window->m_results->topLevelItemCount(), 0);
    EXPECT_TRUE(window->m_status->text().startsWith("Fill in the server"));
}

TEST_F(PlayersWindowTest, APlayersPageShowsSessionsChatActionsAndNote) {
    SearchFor("rocket", true);
    window->m_results->setCurrentItem(ResultRow("Bob"));
    CPlayerPageView* page = window->m_page;
    EXPECT_EQ(page->m_title->text(), "Bob");
    EXPECT_TRUE(page->m_summary->text().contains("1 sessions, under a minute played"))
        << page->m_summary->text().toStdString();
    // The chat search's words filter the page's lines; without them, every line, newest first.
    EXPECT_EQ(page->m_chatFilter->text(), "rocket");
    ASSERT_EQ(page->m_chat->topLevelItemCount(), 1);
    EXPECT_EQ(page->m_chat->topLevelItem(0)->text(1), "team");
    page->m_chatFilter->clear();
    QTest::keyClick(page->m_chatFilter, Qt::Key_Return);
    EXPECT_TRUE(asked.empty()) << "Enter pressed a button of the window";
    ASSERT_EQ(page->m_chat->topLevelItemCount(), 2);
    EXPECT_EQ(page->m_chat->topLevelItem(0)->text(2), "gg \\x1b[2J");
    EXPECT_EQ(page->m_chatCount->text(), "2 of 2 lines");
    EXPECT_FALSE(page->m_olderChat->isEnabled());
    ASSERT_EQ(page->m_sessions->topLevelItemCount(), 1);
    EXPECT_EQ(page->m_sessions->topLevelItem(0)->text(2), "present at login, kicked");
    ASSERT_EQ(page->m_actions->topLevelItemCount(), 1);
    EXPECT_EQ(page->m_actions->topLevelItem(0)->text(3), "spam");

    page->m_note->setPlainText("plays rough");
    page->m_saveNote->click();
    page->m_flag->setCurrentIndex(1);
    emit page->m_flag->activated(1);
    ASSERT_TRUE(Store().Flush());
    const auto bob = Store().Record(Key(), "Bob").value;
    ASSERT_TRUE(bob.has_value());
    EXPECT_EQ(bob->note, "plays rough");
    EXPECT_EQ(bob->flag, PlayerFlag::Watch);
}

TEST_F(PlayersWindowTest, ForgetPlayerAsksFirstAndDeletesTheirRows) {
    window->m_results->setCurrentItem(ResultRow("Ann"));
    window->m_page->m_forget->click();
    ASSERT_TRUE(Store().Flush());
    EXPECT_TRUE(Store().Record(Key(), "Ann").value.has_value());
    answer = true;
    window->m_page->m_forget->click();
    ASSERT_TRUE(Store().Flush());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].rfind("Forget Ann on 127.0.0.1:", 0), 0u) << asked[0];
    EXPECT_FALSE(Store().Record(Key(), "Ann").value.has_value());
    EXPECT_EQ(Names(), QStringList({"Bob", "Cid"}));
    EXPECT_FALSE(window->m_page->Showing());
    EXPECT_EQ(Store().SearchChat(Key(), "rocket").value.size(), 1u);
}

TEST_F(PlayerMemoryTest, AutomationsNotesAndKicksAreKept) {
    const QString rules =
        configDir.filePath("vyr/automation/127.0.0.1_" + QString::number(server.Port()) + ".toml");
    QDir().mkpath(QFileInfo(rules).path());
    WriteFile(rules, "[[trigger]]\nname = 'swear'\npattern = 'darn'\naction = 'note'\n"
                     "note = 'said {match}'\ncooldown_seconds = 0\n"
                     "[[trigger]]\nname = 'cheat'\npattern = 'aimbot'\naction = 'kick'\n"
                     "reason = 'cheat talk'\ncooldown_seconds = 0\n");
    LogInRecorded({{4, 0, "Ann"}});
    ServerSends(wire::EncodeServerChat(4, 0, "darn it"));
    ServerSends(wire::EncodeServerChat(4, 0, "darn again"));
    ServerSends(wire::EncodeServerChat(4, 0, "my aimbot"));
    bool kicked = false;
    ASSERT_TRUE(RunEventLoopUntil(
        [&] { return kicked = kicked || server.ReceiveOfType(MSG_KICK, 20ms).has_value(); }, 5s))
        << Log().toStdString();
    ASSERT_TRUE(Store().Flush());
    const auto page = Store().Page(Key(), "Ann").value;
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->record.note, "said darn") << "one line, however often it is noted";
    EXPECT_EQ(page->record.kicks, 1);
    ASSERT_FALSE(page->actions.empty());
    EXPECT_EQ(page->actions[0].kind, ActionKind::Kick);
    EXPECT_EQ(page->actions[0].detail, "automation rule cheat: cheat talk");
}

struct BadFile {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* said;
};

class BadFileTest : public PlayerMemoryTest, public ::testing::WithParamInterface<BadFile> {};

const BadFile kBadFiles[] = {
    {"damaged", [](const std::string& path) { std::ofstream(path) << std::string(8192, '\xab'); },
     "was damaged; it was moved aside"},
    {"foreign",
     [](const std::string& path) {
         CSqliteDatabase db;
         db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
         db.Exec("CREATE TABLE invoices(id INTEGER PRIMARY KEY);");
     },
     "belongs to another program"},
    {"newer",
     [](const std::string& path) {
         CSqliteDatabase db;
         db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
         db.Exec("PRAGMA application_id = 1450799696; PRAGMA user_version = 99;");
     },
     "newer version"},
    {"FIFO", [](const std::string& path) { ::mkfifo(path.c_str(), 0600); }, "not a regular file"},
};

TEST_P(BadFileTest, IsSaidOnceInDarkRedAndTheSessionGoesOn) {
    QDir().mkpath(dataDir.filePath("vyr"));
    GetParam().make(DbPath());
    ASSERT_TRUE(WaitForLog(GetParam().said)) << Log().toStdString();
    LogIn({{1, 0, "Ann"}});
    ServerSends(wire::EncodeServerChat(1, 0, "still here"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    Memory().ShowPlayersWindow();
    RunEventLoopUntil([] { return false; }, 1500ms); // a new session tried the file again
    EXPECT_TRUE(Log().contains("Connected.\nAnn: still here")) << Log().toStdString();
    EXPECT_EQ(DarkRedLines(GetParam().said), 1) << Log().toStdString();
    EXPECT_TRUE(Dlg().m_bConnected);
}

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(PlayerMemoryTest, FileLockedByAnotherProcessIsWaitedForWithoutAWord) {
    Prepare([&](CPlayerStore& store, std::atomic<std::int64_t>&) {
        store.SetFlag(Key(), "Eve", PlayerFlag::Watch);
    });
    ExclusiveLockProcess locker(DbPath());
    ASSERT_TRUE(locker.Locked());
    LogIn({{1, 0, "Ann"}});
    ServerSends(wire::EncodeServerChat(1, 0, "while locked"));
    ServerSends(wire::EncodePlayerJoin(5, "Eve"));
    Memory().ShowPlayersWindow();
    EXPECT_EQ(Memory().Window()->m_status->text().toStdString(),
              "the player memory is still opening");
    RunEventLoopUntil([] { return false; }, 1s);
    EXPECT_TRUE(Dlg().m_bConnected);
    locker.Release();
    // Recording catches up: nothing was lost, and the watched player's join is marked late.
    ASSERT_TRUE(RunEventLoopUntil([&] { return Store().State() == StoreState::Ready; }, 10s));
    EXPECT_TRUE(WaitForLog("[watch] Eve, a watched player, joined")) << Log().toStdString();
    ASSERT_TRUE(Store().Flush());
    const auto page = Store().Page(Key(), "Ann").value;
    ASSERT_TRUE(page.has_value());
    ASSERT_EQ(page->chat.size(), 1u);
    EXPECT_EQ(page->chat[0].text, "while locked");
    EXPECT_EQ(DarkRedLines("Player memory"), 0) << Log().toStdString();
}

TEST_F(PlayerMemoryTest, FullDiskPausesRecordingWithOneDarkRedLineUntilTheNextConnection) {
    Dlg().SetLogOptions({true, false, "admin"}); // no log files: only the memory meets the limit
    LogInRecorded({{1, 0, "Ann"}});
    struct stat info {};
    ::stat((DbPath() + "-wal").c_str(), &info);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit low{static_cast<rlim_t>(info.st_size) + 32 * 1024, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const std::string line(120, 'x');
    for (int i = 0; i < 600; ++i) {
        server.Send(wire::EncodeServerChat(1, 0, line));
    }
    ServerSends(wire::EncodeServerChat(1, 0, "last of the flood"));
    const bool said = WaitForLog("recording is paused until the next connection");
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, previous);
    ASSERT_TRUE(said) << Log().toStdString();
    ServerSends(wire::EncodeServerChat(1, 0, "the session goes on"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_TRUE(Log().contains("Ann: the session goes on"));
    EXPECT_EQ(DarkRedLines("recording is paused"), 1);
    EXPECT_EQ(Store().State(), StoreState::Paused);

    // The next connection records again.
    Dlg().OnConnect();
    Dlg().OnTimer(TIMER_POLL);
    ASSERT_FALSE(Dlg().m_bConnected);
    LogInRecorded({{1, 0, "Ann"}});
    ServerSends(wire::EncodeServerChat(1, 0, "recorded again"));
    ASSERT_TRUE(Store().Flush());
    EXPECT_EQ(Store().State(), StoreState::Ready);
    EXPECT_EQ(Store().SearchChat(Key(), "recorded again").value.size(), 1u);
}

TEST_F(PlayerMemoryTest, TheWindowAndVyrCliRecordAndReadOneFileAtOnce) {
    // A game server takes one admin from an address: each program has a server of its own.
    DemoServerProcess first(VYR_DEMO_SERVER_PATH);
    DemoServerProcess second(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(first.Start({"--players", "4", "--rate", "50", "--seed", "9"})) << first.Output();
    ASSERT_TRUE(second.Start({"--players", "4", "--rate", "50", "--seed", "10"}))
        << second.Output();
    FillIn("127.0.0.1", QString::number(first.Port()));
    Dlg().OnConnect();
    ASSERT_TRUE(RunEventLoopUntil([this] { return Dlg().m_bConnected; }, 5s));
    const std::string name = Dlg().m_pClient->roster->NameByPosition(0).value_or("");
    ASSERT_FALSE(name.empty());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VYR_PASSWORD", "admin");
    const auto cli = [&](const QStringList& args) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(VYR_CLI_PATH, QStringList{"-H", "127.0.0.1", "-u", "admin", "-p",
                                                 QString::number(second.Port())} +
                                         args);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    };
    const auto follower = cli({"-f", "-q"});
    // Both record for a while; the window reads meanwhile, and so does a third program.
    Memory().ShowPlayersWindow();
    for (int i = 0; i < 10; ++i) {
        RunEventLoopUntil([] { return false; }, 200ms);
        Memory().Window()->Search();
        // Nothing yet, or some players: never a read that failed.
        const QString status = Memory().Window()->m_status->text();
        EXPECT_TRUE(status == "Nothing found." || status.endsWith(" players"))
            << status.toStdString();
    }
    const auto reader = cli({"--search", "a"});
    ASSERT_TRUE(reader->waitForFinished(20000));
    EXPECT_EQ(reader->exitCode(), 0) << reader->readAllStandardError().toStdString();
    ASSERT_EQ(follower->state(), QProcess::Running)
        << follower->readAllStandardError().toStdString();
    follower->terminate();
    ASSERT_TRUE(follower->waitForFinished(20000));
    EXPECT_EQ(follower->exitCode(), 0);
    EXPECT_TRUE(follower->readAllStandardError().isEmpty());

    Dlg().OnConnect(); // the window's session ends too
    Dlg().OnTimer(TIMER_POLL);
    ASSERT_TRUE(Store().Flush());
    const auto page = Store().Page({"127.0.0.1", first.Port()}, name).value;
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->sessionTotal, 1);
    EXPECT_FALSE(page->record.onlineSince.has_value());
    const auto theirs = Store().SearchNames({"127.0.0.1", second.Port()}, "").value;
    EXPECT_GE(theirs.size(), 4u) << "what vyr-cli recorded, read by the window";
    EXPECT_EQ(DarkRedLines("Player memory"), 0) << Log().toStdString();
}

TEST_F(PlayerMemoryTest, ChatRetentionIsOnePreferenceForBothPrograms) {
    EXPECT_EQ(ChatRetentionDays(), DEFAULT_CHAT_RETENTION_DAYS);
    {
        CPreferences preferences;
        EXPECT_EQ(preferences.Int(CPreferences::Key::ChatRetentionDays),
                  DEFAULT_CHAT_RETENTION_DAYS);
        preferences.Set(CPreferences::Key::ChatRetentionDays, 7);
    }
    EXPECT_EQ(ChatRetentionDays(), 7); // as vyr-cli reads it
    EXPECT_EQ(CPreferences().Int(CPreferences::Key::ChatRetentionDays), 7);
}

} // namespace
