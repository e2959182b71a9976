// The server picker, "Servers...", "Save as profile..." and where a saved server's password comes
// from when its tab connects (a command, or the admin), with servers.toml on disk.
#include "MainWindowFixture.h"
#include "ui/ProfileDlg.h"
#include "ui/SavedServers.h"
#include "ui/ServerPicker.h"
#include "ui/ServersDlg.h"

namespace {

// The picker's rows as the admin reads them.
QStringList Rows(const QComboBox& picker) {
    QStringList rows;
    for (int i = 0; i < picker.count(); ++i) {
        rows << picker.itemText(i);
    }
    return rows;
}

QStringList Fields(const CAdminDlg& tab) {
    return {tab.m_userEdit->text(), tab.m_passwordEdit->text(), tab.m_hostEdit->text(),
            tab.m_portEdit->text()};
}

// Runs `fill` on the next modal dialog of that kind to open while `during` runs; `fill` closes
// it as the admin would.
template <class Dialog>
void WithNextDialog(const std::function<void(Dialog&)>& fill, const std::function<void()>& during) {
    bool handled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
            dialog && !handled) {
            handled = true;
            fill(*dialog);
        }
    });
    poll.start(5);
    during();
    EXPECT_TRUE(handled) << "no dialog opened";
}

class ServerPickerTest : public MainWindowTest {
  protected:
    ServerPickerTest() {
        WriteServers(Server("eu1", 27001, "\"ask\"") + Server("us-east", 27002));
        WriteFile(configDir.filePath("vyr.ini"),
                  "[Remote Admin]\r\nUsername=bob\r\nPassword=pw\r\nSavePass=true\r\n"
                  "IP=10.0.0.5\r\nPort=27888\r\n");
    }
    CSavedServers& Servers() { return *Window().m_servers; }
};

TEST_F(ServerPickerTest, ChoosingFillsTheFieldsAndNoProfileGivesThePlainLoginBack) {
    CAdminDlg& tab = Tab(0);
    EXPECT_EQ(Rows(*tab.m_serverPicker), QStringList({"(no profile)", "eu1", "us-east", "",
                                                      "Servers\u2026", "Save as profile\u2026"}));
    const QStringList plain = {"bob", "pw", "10.0.0.5", "27888"};
    EXPECT_EQ(Fields(tab), plain);
    EXPECT_FALSE(tab.m_savePassCheck->isHidden());

    tab.m_serverPicker->setCurrentIndex(2);
    emit tab.m_serverPicker->activated(2);
    EXPECT_EQ(Fields(tab), QStringList({"admin", "", "127.0.0.1", "27002"}));
    EXPECT_EQ(tab.Name(), "us-east");
    EXPECT_TRUE(tab.m_savePassCheck->isHidden()) << "the save box is the plain login's";
    EXPECT_EQ(tab.m_passwordEdit->placeholderText(), "from its command");
    EXPECT_TRUE(tab.m_userEdit->isEnabled()) << "the fields stay editable";
    tab.m_userEdit->setText("root");

    tab.m_picker->Choose("eu1");
    EXPECT_EQ(Fields(tab), QStringList({"admin", "", "127.0.0.1", "27001"}));
    emit tab.m_serverPicker->activated(0);
    EXPECT_EQ(Fields(tab), plain);
    EXPECT_EQ(tab.Profile(), nullptr);
    EXPECT_EQ(tab.m_serverPicker->currentIndex(), 0);

    // A command row runs its command and leaves the choice as it was.
    tab.m_picker->Choose("eu1");
    WithNextDialog<CServersDlg>([](CServersDlg& list) { list.reject(); },
                                [&] { emit tab.m_serverPicker->activated(4); });
    EXPECT_EQ(tab.m_serverPicker->currentText(), "eu1");

    // vyr.ini keeps the plain login while its tab shows a saved server.
    Restart();
    EXPECT_TRUE(ReadFile(configDir.filePath("vyr.ini")).contains("Username=bob"));
}

// Every change in "Servers..." is in servers.toml at once, and every tab's picker follows;
// a tab showing a renamed server follows it, one showing a deleted server keeps its fields.
TEST_F(ServerPickerTest, ServersAddEditRenameDeleteAndReorderAreSavedAndFollowed) {
    CAdminDlg& first = Tab(0);
    CAdminDlg& second = *Window().OpenServer("us-east");
    CServersDlg list(
        Servers(), [](const QString&) {}, &first);
    const auto names = [&] {
        return Rows(*first.m_serverPicker).mid(1, Servers().Profiles().List().size());
    };

    WithNextDialog<CProfileDlg>(
        [](CProfileDlg& form) {
            form.m_name->setText("test");
            form.m_host->setText("localhost");
            form.m_port->setText("56714");
            form.m_source->setCurrentIndex(static_cast<int>(PasswordSource::Command));
            form.m_command->setText("pass show game/test");
            form.accept();
        },
        [&] { list.Add(); });
    EXPECT_EQ(names(), QStringList({"eu1", "us-east", "test"}));
    EXPECT_EQ(Rows(*second.m_serverPicker), Rows(*first.m_serverPicker));
    const QByteArray saved = ReadFile(ServersPath());
    EXPECT_TRUE(saved.contains("name = \"test\"") && saved.contains("pass show game/test"))
        << saved.toStdString();

    list.m_list->setCurrentRow(1); // us-east, shown in the second tab
    WithNextDialog<CProfileDlg>(
        [](CProfileDlg& form) {
            form.m_port->setText("27003");
            form.accept();
        },
        [&] { list.EditSelected(); });
    EXPECT_EQ(second.m_portEdit->text(), "27003") << "an idle tab takes the change";
    ASSERT_TRUE(list.Rename("us-west"));
    EXPECT_EQ(second.Name(), "us-west");
    EXPECT_EQ(second.m_serverPicker->currentText(), "us-west");
    EXPECT_FALSE(list.Rename("eu1")) << "names are unique";
    EXPECT_EQ(boxes.texts.back(), "A server named \"eu1\" already exists.");

    list.MoveSelected(-1);
    EXPECT_EQ(names(), QStringList({"us-west", "eu1", "test"}));
    list.m_list->setCurrentRow(0);
    list.RemoveSelected();
    EXPECT_EQ(names(), QStringList({"eu1", "test"}));
    EXPECT_EQ(second.Profile(), nullptr);
    EXPECT_EQ(second.m_portEdit->text(), "27003") << "the fields stay, now a plain login";

    // What was saved is what the next start reads.
    CServerProfiles reread(ServersPath().toStdString());
    ASSERT_EQ(reread.Load(), "");
    EXPECT_EQ(reread.List(), Servers().Profiles().List());
}

// The form checks each field by the profile rules and points at the one that is wrong; the
// list it could not save is left as it was, on disk and in the window.
TEST_F(ServerPickerTest, TheFormRefusesWhatTheRulesRefuseAndAFileThatChangedIsNotSavedOver) {
    CServersDlg list(
        Servers(), [](const QString&) {}, &Tab(0));
    struct Case {
        const char* name;
        std::function<void(CProfileDlg&)> spoil;
        const char* box;
    } const cases[] = {
        {"name", [](CProfileDlg& f) { f.m_name->setText("-bad"); },
         "The server name may hold only A-Z"},
        {"port", [](CProfileDlg& f) { f.m_port->setText(""); }, "The port must be"},
        {"user", [](CProfileDlg& f) { f.m_user->setText("a|b"); }, "The user"},
        {"automation", [](CProfileDlg& f) { f.m_automation->setText("relative.toml"); },
         "The automation file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.texts.clear();
        CProfileDlg form(
            *Servers().Profiles().Find("eu1"), "Edit",
            [](const ServerProfile&) {
                ADD_FAILURE() << "taken although the rules refuse it";
                return std::string();
            },
            &Tab(0));
        c.spoil(form);
        form.accept();
        ASSERT_EQ(boxes.texts.size(), 1U);
        EXPECT_EQ(boxes.texts[0].rfind(c.box, 0), 0U) << boxes.texts[0];
        EXPECT_EQ(form.result(), QDialog::Rejected) << "the form stays open";
    }

    const QByteArray byHand = ReadFile(ServersPath()) + "# edited meanwhile\n";
    WriteFile(ServersPath(), byHand);
    boxes.texts.clear();
    list.m_list->setCurrentRow(0);
    list.MoveSelected(+1);
    ASSERT_EQ(boxes.texts.size(), 1U);
    EXPECT_NE(boxes.texts[0].find("changed since it was read"), std::string::npos);
    EXPECT_EQ(ReadFile(ServersPath()), byHand);
    EXPECT_EQ(Servers().Profiles().List()[0].name, "eu1") << "the change was undone";
}

// "Servers..." shows the file as it is now: edited by hand, its servers reach every picker; a
// file that cannot be read leaves the tabs their servers, says why, and is never saved over.
TEST_F(ServerPickerTest, ServersReadsTheFileAgainAndABrokenFileIsNeverSavedOver) {
    CAdminDlg& tab = *Window().OpenServer("us-east");
    WriteServers(Server("us-east", 27002) + Server("added-by-hand", 27005));
    {
        CServersDlg list(
            Servers(), [](const QString&) {}, &tab);
        EXPECT_EQ(list.m_list->count(), 2);
    }
    EXPECT_NE(tab.m_serverPicker->findText("added-by-hand"), -1);
    EXPECT_EQ(tab.Name(), "us-east");

    const QByteArray broken = "[[server]]\nname = \"x\"\nport = \"nope\"\n";
    WriteFile(ServersPath(), broken);
    CServersDlg list(
        Servers(), [](const QString&) {}, &tab);
    ASSERT_EQ(boxes.texts.size(), 1U);
    EXPECT_NE(boxes.texts[0].find("servers.toml, line"), std::string::npos) << boxes.texts[0];
    EXPECT_EQ(tab.Name(), "us-east") << "the tabs keep their servers";
    list.m_list->setCurrentRow(0);
    list.MoveSelected(+1);
    EXPECT_EQ(ReadFile(ServersPath()), broken);
}

TEST_F(ServerPickerTest, SaveAsProfileTurnsTheFieldsIntoTheChosenServer) {
    CAdminDlg& tab = Tab(0);
    tab.m_passwordEdit->clear();
    WithNextDialog<CProfileDlg>(
        [](CProfileDlg& form) {
            EXPECT_EQ(form.m_host->text(), "10.0.0.5");
            EXPECT_EQ(form.m_port->text(), "27888");
            EXPECT_EQ(form.m_user->text(), "bob");
            form.m_name->setText("lan");
            form.accept();
        },
        [&] { tab.m_picker->SaveAsProfile(); });
    EXPECT_EQ(tab.Name(), "lan");
    EXPECT_EQ(tab.m_serverPicker->currentText(), "lan");
    const ServerProfile* saved = Window().m_servers->Profiles().Find("lan");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->passwordSource, PasswordSource::Ask);
    EXPECT_TRUE(ReadFile(ServersPath()).contains("name = \"lan\""));
    EXPECT_FALSE(ReadFile(ServersPath()).contains("pw")) << "never a password in the file";
}

// Connect on a saved server with an empty password field: "ask" asks and sends nothing; a
// command's first line logs in; a failing command says why and asks; Cancel stops a command
// still running, and nothing is sent. A typed password always wins.
TEST_F(MainWindowTest, ASavedServersPasswordComesFromItsSourceWithoutTheWindowWaiting) {
    UdpPeer server;
    WriteServers(
        Server("ask", server.Port(), "\"ask\"") +
        Server("good", server.Port(), "{ command = \"echo s3cret; echo more\" }") +
        Server("failing", server.Port(), "{ command = \"echo 'not in the store' >&2; exit 1\" }") +
        Server("slow", server.Port(), "{ command = \"sleep 30; echo late\" }"));
    CAdminDlg& tab = Tab(0);

    tab.m_picker->Choose("ask");
    tab.OnConnect();
    EXPECT_TRUE(LogOf(tab).endsWith("Enter the password of ask, then press Connect.\n"));
    EXPECT_EQ(tab.State(), PageState::Idle);
    EXPECT_EQ(QApplication::focusWidget(), tab.m_passwordEdit);
    tab.m_passwordEdit->setText("typed");
    tab.OnConnect();
    LogIn(server, tab, "typed");
    tab.OnConnect();
    tab.OnTimer(TIMER_POLL);

    tab.m_picker->Choose("good");
    tab.OnConnect();
    EXPECT_EQ(tab.m_connectButton->text(), "Cancel");
    EXPECT_FALSE(tab.m_hostEdit->isEnabled());
    LogIn(server, tab, "s3cret");
    EXPECT_TRUE(LogOf(tab).contains("Running the password command of good\u2026\nConnecting...\n"));
    tab.OnConnect();
    tab.OnTimer(TIMER_POLL);

    tab.m_picker->Choose("failing");
    tab.OnConnect();
    ASSERT_TRUE(Until([&] { return tab.m_connectButton->text() == "Connect"; }));
    EXPECT_TRUE(LogOf(tab).endsWith(
        "The password command failed with exit status 1: not in the store. Enter the password "
        "of failing, then press Connect.\n"))
        << LogOf(tab).toStdString();
    EXPECT_TRUE(tab.m_hostEdit->isEnabled());

    tab.m_picker->Choose("slow");
    server.Drain(); // the sessions' ends
    QElapsedTimer took;
    took.start();
    tab.OnConnect();
    EXPECT_EQ(tab.State(), PageState::Connecting);
    tab.OnConnect(); // Cancel
    EXPECT_LT(took.elapsed(), 5000) << "the window waited for the command";
    EXPECT_EQ(tab.State(), PageState::Idle);
    EXPECT_TRUE(LogOf(tab).endsWith("Connecting cancelled.\n"));
    EXPECT_TRUE(server.NothingWithin(200ms));
}

} // namespace
