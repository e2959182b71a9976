// Saved servers whose password is in the desktop keyring, from the window, against a real
// Secret Service: ctest runs these suites inside tests/core/profiles/keyring-session.sh, with
// the keyring in the state each one needs.
#include "MainWindowFixture.h"
#include "core/profiles/Keyring.h"
#include "tests/core/profiles/KeyringSession.h"
#include "ui/SavedServers.h"
#include "ui/ServerPicker.h"
#include "ui/ServersDlg.h"

namespace {

class KeyringWindowTest : public MainWindowTest {
  protected:
    void RequireSession(const std::string& mode) {
        if (const std::optional<std::string> why = WhyNoKeyringSession(mode)) {
            GTEST_SKIP() << *why;
        }
        WriteServers(Server("eu1", server.Port(), "\"keyring\""));
    }
    // What the keyring holds for `profile`, asked as any other client would.
    static KeyringAnswer Lookup(const ServerProfile& profile) {
        CKeyring keyring;
        keyring.Lookup(profile);
        std::optional<KeyringAnswer> answer;
        Until(
            [&] {
                if (!answer) {
                    answer = keyring.TakeAnswer();
                }
                return answer.has_value();
            },
            60s);
        return answer ? std::move(*answer) : KeyringAnswer{};
    }
    // Every file under the test's config and state folders, read whole.
    QByteArray AllFiles() {
        QByteArray all;
        for (const QString& root : {configDir.path(), stateDir.path()}) {
            QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                all += ReadFile(files.next());
            }
        }
        return all;
    }

    UdpPeer server;
};

class KeyringWindowUnlocked : public KeyringWindowTest {
  protected:
    void SetUp() override { RequireSession("unlocked"); }
};
class KeyringWindowServiceAbsent : public KeyringWindowTest {
  protected:
    void SetUp() override { RequireSession("no-service"); }
};

// Nothing stored yet: the tab says so, offers the keyring and asks; the typed password logs in
// and goes into the keyring, from where the next connect takes it. A rename in "Servers..."
// takes it along; deleting the server removes it.
TEST_F(KeyringWindowUnlocked, ATypedPasswordIsOfferedToTheKeyringAndTakenFromItNextTime) {
    CAdminDlg& tab = Tab(0);
    tab.m_picker->Choose("eu1");
    EXPECT_FALSE(tab.m_keyringCheck->isHidden());
    EXPECT_EQ(tab.m_passwordEdit->placeholderText(), "from the keyring");
    tab.OnConnect();
    ASSERT_TRUE(Until([&] { return tab.m_connectButton->text() == "Connect"; }, 60s));
    EXPECT_TRUE(LogOf(tab).endsWith("The desktop keyring holds no password for eu1. Enter the "
                                    "password of eu1, then press Connect.\n"))
        << LogOf(tab).toStdString();
    EXPECT_TRUE(tab.m_keyringCheck->isChecked()) << "offered";
    EXPECT_TRUE(server.NothingWithin(100ms));

    tab.m_passwordEdit->setText("kept-in-keyring");
    tab.OnConnect();
    LogIn(server, tab, "kept-in-keyring");
    ASSERT_TRUE(Until([&] { return LogOf(tab).contains("is now in the desktop keyring"); }, 60s));
    const ServerProfile eu1 = *tab.Profile();
    EXPECT_EQ(Lookup(eu1).password.Text(), "kept-in-keyring");
    EXPECT_FALSE(AllFiles().contains("kept-in-keyring")) << "never in a file";

    tab.OnConnect();
    tab.OnTimer(TIMER_POLL);
    tab.m_passwordEdit->clear();
    tab.OnConnect();
    LogIn(server, tab, "kept-in-keyring");
    EXPECT_TRUE(LogOf(tab).contains("Getting the password of eu1 from the keyring"));

    CServersDlg list(
        *Window().m_servers, [&](const QString& line) { tab.AppendLog(line, COLOUR_BLUE, true); },
        &tab);
    list.m_list->setCurrentRow(0);
    ASSERT_TRUE(list.Rename("europe"));
    ASSERT_TRUE(Until([&] { return LogOf(tab).count("is now in the desktop keyring") == 2; }, 60s));
    const ServerProfile europe = *tab.Profile();
    EXPECT_EQ(europe.name, "europe");
    EXPECT_EQ(Lookup(europe).password.Text(), "kept-in-keyring");
    EXPECT_EQ(Lookup(eu1).outcome, KeyringOutcome::NotStored) << "nothing left under the old name";
    list.RemoveSelected();
    ASSERT_TRUE(
        Until([&] { return LogOf(tab).contains("was removed from the desktop keyring"); }, 60s));
    EXPECT_EQ(Lookup(europe).outcome, KeyringOutcome::NotStored);
}

// No Secret Service: the tab says why once, then only asks; the password is never written to a
// file in its place, however the admin asks to keep it.
TEST_F(KeyringWindowServiceAbsent, WithoutAKeyringTheTabSaysWhyOnceAndAsks) {
    CAdminDlg& tab = Tab(0);
    tab.m_picker->Choose("eu1");
    const auto attempt = [&] {
        tab.OnConnect();
        ASSERT_TRUE(Until([&] { return tab.m_connectButton->text() == "Connect"; }, 60s));
    };
    attempt();
    attempt();
    const QString log = LogOf(tab);
    EXPECT_EQ(log.count("no Secret Service runs on this D-Bus session"), 1) << log.toStdString();
    EXPECT_EQ(log.count("Enter the password of eu1, then press Connect."), 2);
    EXPECT_FALSE(tab.m_keyringCheck->isChecked()) << "nothing to offer it to";

    tab.m_keyringCheck->setChecked(true);
    tab.m_passwordEdit->setText("only-in-memory");
    tab.OnConnect();
    LogIn(server, tab, "only-in-memory");
    // Asked to, the tab tries the keyring, and says that it could not keep the password there.
    ASSERT_TRUE(Until(
        [&] { return LogOf(tab).count("no Secret Service runs on this D-Bus session") == 2; }, 60s))
        << LogOf(tab).toStdString();
    Restart();
    EXPECT_FALSE(AllFiles().contains("only-in-memory"));
}

} // namespace
