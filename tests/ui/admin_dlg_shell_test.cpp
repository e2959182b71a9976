// Closing the window, the settings file, the About box, the message box, the command line, and
// the password kept out of sight of others.
#include <random>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AdminDlgFixture.h"
#include "ui/AdminApp.h"
#include "ui/QtMessageBox.h"

TEST_F(AdminDlgTest, EscapeIsIgnoredAndClosingDisconnectsThenSavesOnce) {
    LogIn();
    Dlg().show();
    QTest::keyClick(&Dlg(), Qt::Key_Escape);
    QTest::keyClick(Dlg().m_commandEdit, Qt::Key_Escape);
    EXPECT_TRUE(Dlg().isVisible());

    Dlg().close();
    EXPECT_FALSE(Dlg().isVisible());
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
    EXPECT_EQ(ReadFile(IniPath()), "[Remote Admin]\r\nUsername=admin\r\nSavePass=false\r\n"
                                   "Password=\r\nIP=127.0.0.1\r\nPort=" +
                                       QByteArray::number(server.Port()) + "\r\n");
    WriteFile(IniPath(), ""); // saved once only, however often the window is asked to close
    dlg.reset();
    EXPECT_EQ(ReadFile(IniPath()), "");
}

// Every field makes the round trip in full. A settings file in a bad shape costs at most the save:
// the window opens and closes at once, shows empty fields for what it cannot read and leaves
// alone what it cannot write. Directories, fifos and oversized files: the settings layer's tests.
TEST_F(AdminDlgTest, SettingsRoundTripAndABadFileCostsAtMostTheSave) {
    const QByteArray good = "[Remote Admin]\r\nUsername=bob\r\nPassword=pw\r\nSavePass=true\r\n"
                            "IP=10.0.0.5\r\nPort=27888\r\n";
    const QByteArray savePassTrue =
        "[Remote Admin]\r\nPassword=kept\r\nSavePass=True\r\nPort=12ab\r\n";
    QByteArray garbage(64 * 1024, '\0');
    std::generate(garbage.begin(), garbage.end(), std::mt19937(1013));
    const QStringList none = {"", "", "false", "", ""}, kept = {"", "kept", "false", "", "12ab"};
    const QStringList bob = {"bob", "pw", "true", "10.0.0.5", "27888"};
    const QStringList typed = {"Someone With A Long Name", "p=a;s\"s", "true", QString(40, 'h'),
                               "27888"};
    struct Case {
        const char* name;
        QString home; // under the test's config directory
        bool readOnly;
        QByteArray content;
        QStringList loaded, reloaded;
    } const cases[] = {
        {"no file yet", "new", false, {}, none, typed},
        {"SavePass not exactly true", "True", false, savePassTrue, kept, typed},
        {"config home is a file", "file", false, {}, none, none},
        {"read-only file", "ro", true, good, bob, bob},
        {"binary garbage", "garbage", false, garbage, none, typed},
    };
    WriteFile(configDir.filePath("file"), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString home = QDir(configDir.path()).filePath(c.home), ini = home + "/vyr.ini";
        QDir().mkpath(home); // fails where home is a file
        if (!c.content.isEmpty()) {
            WriteFile(ini, c.content);
        }
        if (c.readOnly) {
            ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner));
        }
        qputenv("XDG_CONFIG_HOME", home.toLocal8Bit());
        QElapsedTimer took;
        took.start();
        EXPECT_EQ(Fields(), c.loaded);
        FillIn(typed[3], typed[4], typed[0], typed[1]);
        Dlg().m_savePassCheck->setChecked(true);
        dlg.reset();
        EXPECT_LT(took.elapsed(), 2000) << "opening and closing the window hung";
        EXPECT_EQ(Fields(), c.reloaded);
        dlg.reset();
        if (c.reloaded != typed && !c.content.isEmpty()) {
            EXPECT_TRUE(ReadFile(ini) == c.content) << "rewritten";
        }
    }
}

// A saved password in a vyr.ini that others can read: one dark-red warning when the window opens,
// and the next save makes the file private before the password goes in.
TEST_F(AdminDlgTest, ASavedPasswordOthersCanReadIsWarnedOfAndTheNextSaveHidesIt) {
    WriteFile(IniPath(), "[Remote Admin]\r\nUsername=bob\r\nPassword=pw\r\nSavePass=true\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(IniPath()).constData(), 0644), 0);
    EXPECT_EQ(
        Log().count("can be read by other users; make the file private: chmod 600 " + IniPath()), 1)
        << Log().toStdString();
    EXPECT_EQ(Runs().at(0).second, QColor(102, 0, 0));
    dlg.reset();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(IniPath()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_TRUE(ReadFile(IniPath()).contains("Password=pw"));
    EXPECT_FALSE(Log().contains("can be read by other users")) << Log().toStdString();
}

// A FIFO in vyr.ini's place is never opened (it would wait for a writer for good): said, and
// left as it is when the window closes.
TEST_F(AdminDlgTest, AFifoInPlaceOfTheSettingsIsSaidAndLeftAlone) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(IniPath()).constData(), 0600), 0);
    EXPECT_EQ(Log().count(IniPath() + " is not a regular file"), 1) << Log().toStdString();
    dlg.reset();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(IniPath()).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

// The window holds the password from the start (a saved one, or the field): the program is not
// dumpable, so an abort that writes another program's core file writes none of it.
TEST_F(AdminDlgTest, TheWindowWritesNoCoreDump) {
    WriteFile(IniPath(), "[Remote Admin]\r\nPassword=Sesame-4d1f\r\nSavePass=true\r\n");
    const QTemporaryDir dumps;
    const QByteArray dumpDir = QFile::encodeName(dumps.path());
    // Runs `argv` in the dumps folder with core files allowed, and aborts it once `started` holds.
    const auto abortWhen = [&](std::vector<const char*> argv,
                               const std::function<bool(pid_t)>& started) {
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_CORE, &unlimited);
            signal(SIGABRT, SIG_DFL);
            if (::chdir(dumpDir.constData()) == 0) {
                execv(argv[0], const_cast<char* const*>(argv.data()));
            }
            _exit(127);
        }
        for (int i = 0; i < 500 && !started(child); ++i) {
            QThread::msleep(20);
        }
        kill(child, SIGABRT);
        int raw = 0;
        return waitpid(child, &raw, 0) == child && WIFSIGNALED(raw) && WTERMSIG(raw) == SIGABRT;
    };
    ASSERT_TRUE(abortWhen({"/bin/sleep", "60"}, [](pid_t pid) {
        return QFileInfo("/proc/" + QString::number(pid) + "/exe")
            .symLinkTarget()
            .endsWith("sleep");
    }));
    if (QDir(dumps.path()).isEmpty()) {
        GTEST_SKIP() << "no core file is written here";
    }
    for (const QString& core : QDir(dumps.path()).entryList(QDir::Files)) {
        QFile::remove(dumps.filePath(core));
    }
    const QString preferences = configDir.filePath("vyr/vyr-admin.conf");
    ASSERT_TRUE(abortWhen({VYR_ADMIN_PATH, "-platform", "offscreen"},
                          [&](pid_t) { return QFile::exists(preferences); }));
    EXPECT_TRUE(QFile::exists(preferences)) << "the window did not start";
    EXPECT_TRUE(QDir(dumps.path()).isEmpty());
}

TEST_F(AdminDlgTest, BackgroundMenuOpensTheAboutBoxAndMessageBoxesNameTheProgram) {
    Dlg().show();
    QContextMenuEvent click(QContextMenuEvent::Mouse, {5, 5}, Dlg().mapToGlobal(QPoint(5, 5)));
    // The popup menu and the modal windows that open in turn, each handled, then closed.
    const std::vector<std::function<void(QWidget*)>> handlers = {
        [](QWidget* widget) {
            auto* menu = qobject_cast<QMenu*>(widget);
            ASSERT_TRUE(menu && !menu->actions().isEmpty());
            menu->setActiveAction(menu->actions()[0]);
            QTest::keyClick(menu, Qt::Key_Return);
        },
        [](QWidget* box) {
            EXPECT_EQ(box->windowTitle(), "About Vyr Remote Admin");
            const auto* version = box->findChild<QLabel*>("versionLabel");
            EXPECT_TRUE(version && version->text() == "Vyr Remote Admin Version 0.1");
        },
        [](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "ui_tests");
            EXPECT_EQ(box->text(), "<b>Invalid</b> %s");
            EXPECT_EQ(box->buttons().size(), 1);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        }};
    std::size_t next = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        QWidget* open = QApplication::activePopupWidget();
        open = open ? open : QApplication::activeModalWidget();
        if (open && next < handlers.size()) {
            handlers[next++](open);
            open->close();
        }
    });
    check.start(1);
    QApplication::sendEvent(&Dlg(), &click);
    QtMessageBox(nullptr)("<b>Invalid</b> %s");
    EXPECT_EQ(next, 3u);
}

TEST(AdminAppTest, AnswersVersionAndHelpAndRefusesUnknownOptions) {
    std::ostringstream out, err;
    const auto run = [&](std::vector<const char*> args) {
        args.insert(args.begin(), "vyr-admin");
        return CAdminApp::HandleCommandLine(int(args.size()), args.data(), out, err);
    };
    EXPECT_EQ(run({"-platform", "offscreen"}), std::nullopt); // left to Qt
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_EQ(run({"--versoin"}), 2);
    EXPECT_EQ(out.str().substr(0, 34), "vyr-admin 0.1.0.0\nUsage: vyr-admin");
    EXPECT_EQ(err.str().substr(0, 36), "vyr-admin: unknown option --versoin\n");
}
