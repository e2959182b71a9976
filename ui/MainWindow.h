#pragma once
// The program's window: one tab per server, each a CAdminDlg page with a session, log, player
// table and command line of its own. With one tab the tab bar hides and the window is that page
// at its template size. Ctrl+T opens a tab on the server picker, Ctrl+W logs out and closes one
// (the last closes the window), Ctrl+PgUp and Ctrl+PgDn go to the tab before and after. A
// tab's title shows its server, its state and the lines added while another tab was shown, in
// bold when something the admin watches for came up. The tabs open at the close come back at the
// next start: saved servers connect, their passwords from their sources.

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include "ui/Preferences.h"

class QAction;
class QTabWidget;
class CAdminDlg;
class CHistoryStore;
class CPageTabBar;
class CSavedServers;

class CMainWindow : public QWidget {
    Q_OBJECT
  public:
    // Reads the saved servers and opens the tabs of the last close; the saved servers among them
    // connect once the event loop runs.
    explicit CMainWindow(QWidget* parent = nullptr);
    ~CMainWindow() override;

    int Count() const;
    CAdminDlg* Page(int index) const;
    CAdminDlg* CurrentPage() const;
    int IndexOf(const CAdminDlg* page) const;
    QString TitleOf(int index) const;
    bool IsMarked(int index) const;

    // A tab on the picker, made current. The plain login's tab (vyr.ini's fields) when no tab
    // has it.
    CAdminDlg* NewTab();
    // A tab on the saved server called `name`; null when there is none of that name.
    CAdminDlg* OpenServer(const QString& name);
    // Logs the tab out and closes it; closing the last closes the window.
    void CloseTab(int index);
    void ShowTab(int step); // +1 the next, -1 the one before, round the ends
    // "Send to all": the command line of `from`, after a question naming the connected tabs, to
    // each of them.
    void SendToAll(CAdminDlg* from);

    QTabWidget* m_tabs;
    CPageTabBar* m_tabBar;
    CSavedServers* m_servers;
    QAction* m_newTab;
    QAction* m_closeTab;
    QAction* m_nextTab;
    QAction* m_previousTab;

  signals:
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    CAdminDlg* AddPage(bool savedLogin);
    void OpenLastTabs();
    QString SameLoginElsewhere(const CAdminDlg& asking, const QString& host, int port,
                               const QString& user) const;
    void OnCurrentChanged(int index);
    void CountUnseen(CAdminDlg* page, int lines);
    void Mark(CAdminDlg* page);
    void ShowTitle(CAdminDlg* page);
    void ShowAllTitles();
    void SaveTabs();
    void CloseAll();
    void Dismiss(CAdminDlg* page);

    CPreferences m_preferences;
    std::shared_ptr<CHistoryStore> m_history;
    QPointer<CAdminDlg> m_loginPage; // the tab of vyr.ini's login, while there is one
    bool m_firstPageMade = false;
    bool m_closed = false;
    std::map<const CAdminDlg*, int> m_unseen;
    // Counts of unseen lines reach the titles at most this often, so a busy tab in the
    // background costs no more than a few title updates a second.
    QTimer m_titleTimer;
};
