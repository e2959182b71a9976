// Closing the window, the settings file, the About box, the message box and the command line.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "AdminDlgFixture.h"
#include "res/Resource.h"
#include "ui/AdminApp.h"
#include "ui/QtMessageBox.h"

namespace {

// Runs `inspect` on the modal widget that the next call opens, then closes it.
void WhenModalOpens(const std::function<void(QWidget*)>& inspect) {
    QTimer::singleShot(0, [inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        inspect(modal);
        modal->close();
    });
}

} // namespace

TEST_F(AdminDlgTest, EscapeIsIgnoredAndClosingDisconnectsThenSaves) {
    LogIn();
    Dlg().show();
    QTest::keyClick(&Dlg(), Qt::Key_Escape);
    QTest::keyClick(Dlg().m_commandEdit, Qt::Key_Escape);
    EXPECT_TRUE(Dlg().isVisible());

    Dlg().close();
    EXPECT_FALSE(Dlg().isVisible());
    EXPECT_EQ(server.ReceiveOfType(MSG_QUIT), wire::EncodeQuit());
    EXPECT_EQ(ReadIni(), QByteArray("[Remote Admin]\r\nUsername=admin\r\nSavePass=false\r\n"
                                    "Password=\r\nIP=127.0.0.1\r\nPort=") +
                             QByteArray::number(server.Port()) + "\r\n");

    WriteIni(""); // saved once only, however often the window is asked to close
    dlg.reset();
    EXPECT_EQ(ReadIni(), "");
}

TEST_F(AdminDlgTest, SettingsRoundTripEveryFieldInFull) {
    const QString host(40, 'h');
    Dlg().m_userEdit->setText("Someone With A Long Name");
    Dlg().m_passwordEdit->setText("p=a;s\"s");
    Dlg().m_savePassCheck->setChecked(true);
    Dlg().m_hostEdit->setText(host);
    Dlg().m_portEdit->setText("27888");
    dlg.reset();

    CAdminDlg& reopened = Dlg();
    EXPECT_EQ(reopened.m_userEdit->text(), "Someone With A Long Name");
    EXPECT_EQ(reopened.m_passwordEdit->text(), "p=a;s\"s");
    EXPECT_TRUE(reopened.m_savePassCheck->isChecked());
    EXPECT_EQ(reopened.m_hostEdit->text(), host);
    EXPECT_EQ(reopened.m_portEdit->text(), "27888");
}

TEST_F(AdminDlgTest, SavePassMustBeExactlyTrueAndGuardsThePassword) {
    WriteIni("[Remote Admin]\r\nPassword=kept\r\nSavePass=True\r\nPort=12ab\r\n");
    EXPECT_EQ(Dlg().m_passwordEdit->text(), "kept"); // loaded whatever SavePass says
    EXPECT_FALSE(Dlg().m_savePassCheck->isChecked());
    EXPECT_EQ(Dlg().m_portEdit->text(), "12ab"); // the file's text, as text
    dlg.reset();
    EXPECT_TRUE(ReadIni().contains("SavePass=false\r\n"));
    EXPECT_TRUE(ReadIni().contains("Password=\r\n"));
}

TEST_F(AdminDlgTest, AboutBoxComesFromTheBackgroundMenuCommand) {
    bool shown = false;
    WhenModalOpens([&](QWidget* about) {
        shown = true;
        EXPECT_EQ(about->windowTitle(), "About Vyr Remote Admin");
        EXPECT_TRUE(about->findChild<QLabel*>("versionLabel")->text() ==
                    "Vyr Remote Admin Version 0.1");
    });
    Dlg().OnSysCommand(IDM_ABOUTBOX | 0x3); // the low four bits do not count
    EXPECT_TRUE(shown);
    Dlg().OnSysCommand(0xF060); // not ours: nothing opens
}

TEST(QtMessageBoxTest, OneOkButtonExactTextProgramNameCaption) {
    WhenModalOpens([](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "ui_tests");
        EXPECT_EQ(box->text(), "<b>Invalid</b> %s");
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    });
    QtMessageBox(nullptr)("<b>Invalid</b> %s");
}

TEST(AdminAppTest, AnswersVersionAndHelpAndRefusesUnknownOptions) {
    const auto run = [](std::vector<const char*> args, std::string& out, std::string& err) {
        args.insert(args.begin(), "vyr-admin");
        std::ostringstream o, e;
        const auto code =
            CAdminApp::HandleCommandLine(static_cast<int>(args.size()), args.data(), o, e);
        out = o.str();
        err = e.str();
        return code;
    };
    std::string out, err;
    EXPECT_EQ(run({"--version"}, out, err), 0);
    EXPECT_EQ(out, "vyr-admin 0.1.0.0\n");
    EXPECT_EQ(run({"--help"}, out, err), 0);
    EXPECT_NE(out.find("Usage: vyr-admin"), std::string::npos);
    EXPECT_EQ(run({"--versoin"}, out, err), 2);
    EXPECT_NE(err.find("--versoin"), std::string::npos);
    EXPECT_EQ(run({"-platform", "offscreen"}, out, err), std::nullopt);
}
