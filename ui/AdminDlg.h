#pragma once
// One server's page: a tab of the main window, or a window of its own. It owns the admin client;
// every tick goes to the client first, then the core's session rule decides the transitions, and
// the client's mailboxes become control states, status-log lines and the player list. The client
// never touches a control. The status log (CStatusLog), what keeps the session running
// (CSessionDriver), the server picker (CServerPicker) and the player table's place
// (CPlayerColumn) are parts of their own. A tab gets its saved server's password from where the
// profile says before it connects (CPasswordFetch), and tells the window what its title shows.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "core/profiles/SecretText.h"
#include "engine/AdminClient.h"
#include "ui/LogOptions.h"
#include "ui/PageContext.h"
#include "ui/Preferences.h"
#include "ui/SessionDriver.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CCommandHistory;
class CPasswordFetch;
class CPlayerColumn;
class CPlayerTable;
class CPageBans;
class CServerPicker;
class CStatusLog;
class CPageAutomation;
struct FetchedPassword;
class CPagePlayerMemory;
struct LoginProblem;
struct ServerProfile;

namespace Ui {
class AdminDlg;
}

class CAdminDlg : public QDialog {
    Q_OBJECT
  public:
    // A window of its own, with vyr.ini's login.
    explicit CAdminDlg(QWidget* parent = nullptr);
    // A tab of the main window.
    CAdminDlg(PageContext context, QWidget* parent);
    ~CAdminDlg() override;

    // The main loop: every tick of every window timer arrives here.
    void OnTimer(unsigned timerId);
    void OnConnect();
    void OnKick();
    void OnBan();
    void OnKickWithReason();
    void OnSend();
    void OnShutdown();
    void OnSysCommand(unsigned commandId);
    // The reconnect wait is over: the next attempt, with the fields of the last one.
    void OnReconnectDue();

    // Adds `text` at the end of the status log in `colour` (0x00BBGGRR); `lineBreak` ends the
    // line, so two calls without it in the first form one line.
    void AppendLog(const QString& text, COLORREF colour, bool lineBreak);

    // The control with a template id (IDC_*), or null.
    QWidget* GetDlgItem(int controlId) const;

    // Closes the window however it is asked to; the disconnect and the save run exactly once.
    void done(int result) override;

    // The log's options as the context menu and the preferences dialog set them; remembered.
    void SetLogOptions(const LogOptions& options);

    // The session as the tab's title shows it.
    PageState State() const;
    // The server chosen in the picker; null for a plain login (and in a window of its own).
    const ServerProfile* Profile() const;
    // What the tab is called: the server's name, else the host typed, else nothing.
    QString Name() const;
    // Something the admin should see came up (a watch word in the chat, a watched player
    // joining): the tab asks to be marked until it is looked at.
    void MarkImportant();

    // The command line made ready for the wire: empty for a blank line; nothing (after a box
    // saying why) for a line the wire cannot carry, which stays there to be mended.
    std::optional<std::string> CheckedCommandLine();
    // Sends a console line (Latin-1) when connected; true when it went.
    bool SendConsoleLine(const std::string& latin1);
    // The command line's text went out: it joins the history, and the line empties.
    void CommandLineSent(const std::string& latin1);

    std::unique_ptr<CAdminClient> m_pClient;
    bool m_bConnected = false;
    QPushButton* m_shutdownButton;
    CPlayerTable* m_playerList;
    QPushButton* m_kickButton;
    QPushButton* m_connectButton;
    QPushButton* m_sendButton;
    QLineEdit* m_commandEdit;
    QPushButton* m_banButton;
    QPlainTextEdit* m_log;
    QCheckBox* m_savePassCheck;
    QLineEdit* m_passwordEdit;
    QLineEdit* m_userEdit;
    QLineEdit* m_portEdit;
    QLineEdit* m_hostEdit;

    CStatusLog* m_statusLog;
    CSessionDriver* m_session;
    CPageAutomation* m_automation;
    // The player memory of this page: recording, the Seen column, the Players window.
    CPagePlayerMemory* m_playerMemory;
    // Bans with memory: the ban dialog, the Bans window, lifts at expiry.
    CPageBans* m_bans;
    // Up, Down and Tab in the command line; the commands sent, kept across runs.
    CCommandHistory* m_history;
    QCheckBox* m_reconnectCheck;
    int m_attentionRequests = 0; // times the window asked the desktop for attention
    // A tab's own parts (null in a window of its own): the picker and the offer to keep a typed
    // password in the keyring.
    QComboBox* m_serverPicker;
    QCheckBox* m_keyringCheck;
    CServerPicker* m_picker = nullptr;
    CPlayerColumn* m_playerColumn;

  signals:
    // What the tab's title shows may have changed.
    void stateChanged();
    // `count` lines were added to the log.
    void linesAdded(int count);
    void importantRaised();
    // "Send to all" on the command line's menu.
    void sendToAllRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void SetUp();
    // Calls visit(id, member, widget made by the template) for every control of the template.
    template <class Self, class Visit> static void ForEachControl(Self& self, Visit&& visit);
    void ApplyTemplateSizes();
    void PlaceFindBar();
    // Connect pressed in a tab: after the checks of a tab, with the password from the saved
    // server's source when the field is empty.
    void BeginSession();
    void PasswordArrived(FetchedPassword& fetched);
    void StopWaitingForPassword();
    void ShowProfileControls();
    void StoreTypedPassword();
    void ShowCommandLineMenu(const QPoint& at);
    void NoteState();
    // Checks the fields and connects: false (after a box saying why) when no attempt started.
    bool StartSession(bool reconnectAttempt);
    void ShowLoginProblem(const LoginProblem& problem);
    void OnClientEvent(const ClientEvent& event);
    void ConnectedTransition();
    void DisconnectedTransition();
    void SessionEnded();
    void EndReconnecting(const char* line);
    void Refresh();
    void ArmWaits(CSessionDriver::Step after);
    void RedrawPlayerList();
    void SetLoginFieldsEnabled(bool enabled);
    void ShowLogMenu(const QPoint& at);
    void AskForAttention();
    void OnDestroy();
    void LoadSettings();
    void SaveSettings() const;
    QStringList LoginFields() const;

    std::unique_ptr<Ui::AdminDlg> ui;
    PageContext m_context;
    bool m_isPage = false;
    CPreferences m_preferences;
    bool m_destroyed = false;
    int m_tickDepth = 0;         // ticks running, nested ones included
    QStringList m_sessionFields; // the login fields of the latest attempt
    // A tab's link and roster (every tab but the first); they outlive each client made on them.
    std::unique_ptr<CAdminSocket> m_ownLink;
    std::unique_ptr<CPlayerList> m_ownRoster;
    CPasswordFetch* m_passwordFetch = nullptr;
    // The password the saved server's source gave, for this session's attempts; never shown,
    // never written anywhere.
    SecretText m_fetchedPassword;
    bool m_attemptIsReconnect = false;
    bool m_lost = false; // the latest session ended by the server or by silence
    PageState m_shownState = PageState::Idle;
};
