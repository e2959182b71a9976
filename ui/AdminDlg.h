#pragma once
// The one working window. It owns the admin client; every tick goes to the client first, then
// the core's session rule decides the transitions, and the client's mailboxes become control
// states, status-log lines and the player list. The client never touches a control. The status
// log (CStatusLog) and what keeps the session running (CSessionDriver) are parts of their own.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

#include "engine/AdminClient.h"
#include "ui/LogOptions.h"
#include "ui/Preferences.h"
#include "ui/SessionDriver.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CCommandHistory;
class CPlayerTable;
class CPageBans;
class CPlayerStore;
class CStatusLog;
class CPageAutomation;
struct LoginProblem;

namespace Ui {
class AdminDlg;
}

class CAdminDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAdminDlg(QWidget* parent = nullptr);
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
    // Bans with memory: the ban dialog, the Bans window, lifts at expiry.
    CPageBans* m_bans;
    // Up, Down and Tab in the command line; the commands sent, kept across runs.
    CCommandHistory* m_history;
    QCheckBox* m_reconnectCheck;
    int m_attentionRequests = 0; // times the window asked the desktop for attention

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Calls visit(id, member, widget made by the template) for every control of the template.
    template <class Self, class Visit> static void ForEachControl(Self& self, Visit&& visit);
    void ApplyTemplateSizes();
    void PlaceFindBar();
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
    // The player memory the bans are kept in, until the window shares one per process.
    std::unique_ptr<CPlayerStore> m_playerStore;
    CPreferences m_preferences;
    bool m_destroyed = false;
    int m_tickDepth = 0;         // ticks running, nested ones included
    QStringList m_sessionFields; // the login fields of the latest attempt
};
