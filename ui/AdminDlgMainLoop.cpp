// What runs between the ticks: a notifier that drains the link as soon as a datagram is
// readable, and a refresh tick that runs only while there is something to show. The poll tick
// stays as the backstop for a notification that never came.
#include <QSocketNotifier>

#include "engine/Timers.h"
#include "ui/AdminDlg.h"

// A notifier for the socket that Connect has just opened. The previous one goes first: its
// socket is closed, and a notifier on a closed descriptor would wake the event loop forever.
void CAdminDlg::WatchLink() {
    DropLinkNotifier();
    if (!m_pClient || !m_pClient->link->isOpen) {
        return;
    }
    m_linkNotifier = new QSocketNotifier(static_cast<qintptr>(m_pClient->link->socketHandle),
                                         QSocketNotifier::Read, this);
    // The same drain and transition checks as a poll tick.
    connect(m_linkNotifier, &QSocketNotifier::activated, this, [this] { OnTimer(TIMER_POLL); });
    FollowClient(false);
}

void CAdminDlg::DropLinkNotifier() {
    if (m_linkNotifier) {
        m_linkNotifier->setEnabled(false);
        m_linkNotifier->deleteLater(); // it may be the very notifier whose signal runs now
        m_linkNotifier = nullptr;
    }
}

// After every step of the client: the notifier listens only while the client reads the link
// (readiness the client would not consume would wake the loop without end), and the refresh
// tick is armed only while a mailbox or the log backlog holds something. A refresh tick that
// leaves something restarts itself, as it always has.
void CAdminDlg::FollowClient(bool afterRefresh) {
    if (m_linkNotifier) {
        const CAdminClient& client = *m_pClient;
        m_linkNotifier->setEnabled(client.link->isOpen &&
                                   client.link->socketHandle == m_linkNotifier->socket() &&
                                   (client.loggedIn || client.loginPending));
    }
    const bool waiting = m_pClient->logPending || m_pClient->listDirty ||
                         m_pClient->listTextLength > 0 || !m_logBacklog.empty() || m_logSkipped > 0;
    if (!waiting) {
        m_timers.KillTimer(TIMER_UI_REFRESH);
    } else if (afterRefresh || !m_timers.IsRunning(TIMER_UI_REFRESH)) {
        m_timers.SetTimer(TIMER_UI_REFRESH, UI_REFRESH_MS);
    }
}
