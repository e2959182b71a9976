#pragma once
// A fresh main window per test, with its own config and state directories (vyr.ini, the
// preferences, servers.toml, logs and history), a recorder in place of the message box and a
// scripted answer to the question box. Servers are loopback UDP peers; saved servers get their
// password from a real command or keyring. The window runs its own event loop in the waits.

#include <QtTest>
#include <QtWidgets>
#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdminDlgFixture.h"
#include "engine/Protocol.h"
#include "platform/MessageBox.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"
#include "ui/AdminDlg.h"
#include "ui/MainWindow.h"
#include "ui/PlayerColumn.h"

using namespace std::chrono_literals;

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", stateDir.path().toLocal8Bit());
        previousQuestion = SetQuestionBoxHook([this](const std::string& text) {
            questions.push_back(text);
            return answerYes;
        });
    }
    ~MainWindowTest() override {
        window.reset();
        SetQuestionBoxHook(std::move(previousQuestion));
    }

    // The window as the program opens it, shown; made at the first call.
    CMainWindow& Window() {
        if (!window) {
            window = std::make_unique<CMainWindow>();
            window->show();
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        return *window;
    }
    // Closes the window as the admin does, and forgets it: the next Window() is the next start.
    void Restart() {
        Window().close();
        window.reset();
    }
    CAdminDlg& Tab(int index) { return *Window().Page(index); }

    QString ServersPath() const { return configDir.filePath("vyr/servers.toml"); }
    static void WriteFile(const QString& path, const QByteArray& content) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // servers.toml holding `text`, before the window opens.
    void WriteServers(const std::string& text) {
        QDir().mkpath(configDir.filePath("vyr"));
        std::ofstream(ServersPath().toStdString()) << text;
    }
    // A [[server]] table for a peer, its password from `source` (TOML).
    static std::string Server(const std::string& name, int port,
                              const std::string& source = "{ command = \"echo admin\" }") {
        return "[[server]]\nname = \"" + name +
               "\"\nhost = \"127.0.0.1\"\nport = " + std::to_string(port) +
               "\nuser = \"admin\"\npassword_source = " + source + "\n\n";
    }

    static bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        return RunEventLoopUntil(done, timeout);
    }
    // The next datagram of `type` that `peer` gets, while the window's event loop runs.
    static std::optional<Bytes> Await(UdpPeer& peer, int type) {
        std::optional<Bytes> got;
        Until([&] {
            if (!got) {
                got = peer.Receive(1ms, type);
            }
            return got.has_value();
        });
        return got;
    }
    // `tab` logs in to `peer` (the login is on its way or comes): the peer welcomes it.
    static void LogIn(UdpPeer& peer, CAdminDlg& tab, const std::string& password = "admin",
                      const std::vector<wire::PlayerEntry>& players = {}) {
        ASSERT_EQ(Await(peer, MSG_LOGIN), wire::EncodeLogin("admin", password));
        peer.Send(wire::EncodeWelcome(players));
        ASSERT_TRUE(Until([&] { return tab.m_bConnected; }));
    }
    // Fills the plain login fields of `tab` for `peer` and presses Connect.
    static void ConnectPlain(CAdminDlg& tab, const UdpPeer& peer) {
        tab.m_hostEdit->setText("127.0.0.1");
        tab.m_portEdit->setText(QString::number(peer.Port()));
        tab.m_userEdit->setText("admin");
        tab.m_passwordEdit->setText("admin");
        tab.OnConnect();
    }
    // The log's text without the times before its lines.
    static QString LogOf(const CAdminDlg& tab) {
        static const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d ",
                                             QRegularExpression::MultilineOption);
        return tab.m_log->toPlainText().remove(time);
    }
    // Presses `keys` in `widget`, as the admin would with the focus there.
    static void Press(QWidget* widget, const QKeySequence& keys) {
        widget->setFocus();
        const QKeyCombination key = keys[0];
        QTest::keyClick(widget, key.key(), key.keyboardModifiers());
    }

    QTemporaryDir configDir;
    QTemporaryDir stateDir;
    MessageBoxRecorder boxes;
    std::vector<std::string> questions;
    bool answerYes = true;
    QuestionBoxHook previousQuestion;
    std::unique_ptr<CMainWindow> window; // last, so it closes (and saves) before the rest goes
};
