#pragma once
// What a tab of the main window shares with the window and the other tabs. A CAdminDlg made
// without one is a window of its own, as the program had before it had tabs.

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class CAdminDlg;
class CHistoryStore;
class CSavedServers;
class QAction;

// A tab's session, as its title shows it.
enum class PageState {
    Idle,         // no session, and none lost: never connected, or the admin disconnected
    Connecting,   // waiting for the password, or for the server's answer to the login
    Connected,    // logged in
    Reconnecting, // lost, and trying again by itself
    Lost,         // ended by the server or by silence, and not trying again
};

struct PageContext {
    CSavedServers* servers = nullptr;
    std::shared_ptr<CHistoryStore> history;
    // A link and roster of its own for the client: every tab but the first, so that two tabs
    // never share a socket (the first uses the process-wide ones).
    bool ownLink = false;
    // The tab of the plain login: it shows vyr.ini's login fields and writes them back when it
    // goes. At most one tab of a window has it.
    bool savedLogin = false;
    // The text of the box that refuses a session with this server and user because another tab
    // has one; empty when none has.
    std::function<QString(const CAdminDlg& page, const QString& host, int port,
                          const QString& user)>
        sameLoginElsewhere;
    // The window's commands (new tab, close tab, ...) for the page's background menu.
    QList<QAction*> windowActions;
};
