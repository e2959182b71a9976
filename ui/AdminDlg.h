#pragma once
// The one working window. It owns the admin client and the window timers; every tick goes to
// the client first, and the client's flags and mailboxes then become control states, status-log
// lines and the player list. The client never touches a control.
//
// Implemented in AdminDlg.cpp (controls, states and commands), AdminDlgLog.cpp (the status log),
// AdminDlgLogMenu.cpp (the log's menu, options, files and attention) and AdminDlgSettings.cpp
// (vyr.ini and the window's preferences).

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

#include "engine/AdminClient.h"
#include "platform/WindowTimers.h"
#include "ui/LineClock.h"
#include "ui/LogFile.h"
#include "ui/LogOptions.h"
#include "ui/ReconnectPolicy.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTextCursor;
class QPushButton;
class CCommandHistory;
class CPlayerTable;
class QSocketNotifier;
class QTimer;
class CServerListWindow;
class CLogFindBar;

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
    void OnSend();
    void OnShutdown();
    void OnSysCommand(unsigned commandId);
    // The reconnect wait is over: the next attempt, through OnConnect.
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
    void ClearLog();

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
    // The entries of the latest server list text, in a small window of their own.
    CServerListWindow* m_serverList;
    // Up, Down and Tab in the command line; the commands sent, kept across runs.
    CCommandHistory* m_history;
    CWindowTimers m_timers;
    CLogFindBar* m_findBar;
    // Every line that reaches the log, on disk as well.
    CLogFile m_logFile;
    LogOptions m_options;
    int m_attentionRequests = 0; // times the window asked the desktop for attention
    QCheckBox* m_reconnectCheck;
    // Single shot: the wait before the next reconnect attempt; active only while waiting.
    QTimer* m_reconnectTimer;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Calls visit(id, member, widget made by the template) for every control of the template.
    template <class Self, class Visit> static void ForEachControl(Self& self, Visit&& visit);
    void ApplyTemplateSizes();
    void ConnectedTransition();
    void DisconnectedTransition();
    void Refresh();
    void TakeLogEntries();
    void ShowLogBacklog();
    void ShowLogChunk();
    void InsertLogText(QTextCursor& end, const QString& text, COLORREF colour, bool lineBreak);
    void ShowTimestamps(bool show);
    void ShowLogMenu(const QPoint& at);
    void SaveLogAs();
    void OpenLogFolder();
    void OnChat(const std::string& message);
    void AskForAttention();
    void EditLogEnd(const std::function<void(QTextCursor&)>& insert);
    void RedrawPlayerList();
    void SetLoginFieldsEnabled(bool enabled);
    void OnDestroy();
    void LoadSettings();
    void SaveSettings() const;
    void LoadPreferences();
    void SavePreferences() const;
    // The main loop between ticks: the link's readiness notifier and the refresh tick.
    void WatchLink();
    void DropLinkNotifier();
    void FollowClient(bool afterRefresh);
    // Reconnecting (ui/AdminDlgReconnect.cpp).
    void SetUpReconnect();
    void SessionStarting();
    void SessionEnded(bool wasConnected);
    bool StopReconnecting(const char* line);
    void EndReconnecting(const char* line);
    QStringList LoginFields() const;

    std::unique_ptr<Ui::AdminDlg> ui;
    CLineClock m_clock;
    bool m_destroyed = false;
    std::deque<LogEntry> m_logBacklog;         // taken from the client, not shown yet
    long long m_logSkipped = 0;                // dropped from the backlog since the last notice
    QSocketNotifier* m_linkNotifier = nullptr; // for the socket of the latest Connect
    int m_tickDepth = 0;                       // ticks running, nested ones included
    CReconnectPolicy m_reconnect{ProcessRandom};
    bool m_reconnectAttempt = false; // OnConnect runs for the reconnect wait, not for the admin
    QStringList m_sessionFields;     // the login fields of the latest Connect
};
