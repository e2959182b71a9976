#pragma once
// A fresh admin window per test, with its own config directory, a recorder in place of the
// message box and a loopback UDP peer as the server. Ticks are driven by calling OnTimer.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "engine/Protocol.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"
#include "ui/AdminDlg.h"

class AdminDlgTest : public ::testing::Test {
  protected:
    AdminDlgTest() { qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit()); }

    QString IniPath() const { return configDir.filePath("vyr.ini"); }
    void WriteIni(const QByteArray& content) {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadIni() const {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    CAdminDlg& Dlg() {
        if (!dlg) {
            dlg = std::make_unique<CAdminDlg>();
        }
        return *dlg;
    }

    // Fills in the peer's address and presses Connect; the peer takes the login request.
    void PressConnect(const QString& user = "admin", const QString& password = "secret") {
        Dlg().m_hostEdit->setText("127.0.0.1");
        Dlg().m_portEdit->setText(QString::number(server.Port()));
        Dlg().m_userEdit->setText(user);
        Dlg().m_passwordEdit->setText(password);
        Dlg().OnConnect();
        login = server.ReceiveOfType(MSG_LOGIN);
        ASSERT_TRUE(login);
    }

    // Poll ticks until `done` holds; the datagrams need a moment on the loopback.
    bool PollUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            Dlg().OnTimer(TIMER_POLL);
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // Connects and logs in with `players` in the welcome, then draws the list.
    void LogIn(const std::vector<wire::PlayerEntry>& players = {}) {
        PressConnect();
        server.Send(wire::EncodeWelcome(players));
        ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
        Dlg().OnTimer(TIMER_UI_REFRESH);
    }

    // Sends `datagram` as the server and polls until the client has taken it.
    void ServerSends(const Bytes& datagram) {
        Dlg().m_pClient->heardFromServer = false;
        server.Send(datagram);
        ASSERT_TRUE(PollUntil([this] { return Dlg().m_pClient->heardFromServer; }));
    }

    QString Log() { return Dlg().m_log->toPlainText(); }

    QTemporaryDir configDir;
    MessageBoxRecorder boxes;
    UdpPeer server;
    std::optional<UdpPeer::Bytes> login;
    std::unique_ptr<CAdminDlg> dlg; // last, so it closes (and saves) before the rest goes
};
