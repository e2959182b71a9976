// Reconnecting by itself: a session lost to silence is tried again with the same fields, after
// the waits of CReconnectPolicy, through the same OnConnect as the admin's own press.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "engine/ClientTexts.h"
#include "res/Strings.h"
#include "ui/AdminDlg.h"
#include "ui/Preferences.h"

namespace {

// A wait that ends while a tick runs (nested in a box the client opened) is put off: the attempt
// replaces the client that the tick is still inside.
constexpr int DEFERRED_ATTEMPT_MS = 1000;
constexpr char PREF_RECONNECT[] = "reconnect";

CReconnectPolicy::Ending EndingOf(const std::string& reason) {
    if (reason == texts::TIMED_OUT) {
        return CReconnectPolicy::Ending::Silence;
    }
    if (reason == strings::REASON_CLIENT_DISCONNECTED) {
        return CReconnectPolicy::Ending::UserDisconnect;
    }
    return CReconnectPolicy::Ending::Refused; // every other reason is a refusal's
}

} // namespace

void CAdminDlg::SetUpReconnect() {
    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, this, &CAdminDlg::OnReconnectDue);
    m_reconnectCheck->setChecked(OpenPreferences()->value(PREF_RECONNECT, true).toBool());
    connect(m_reconnectCheck, &QCheckBox::toggled, this, [this](bool on) {
        OpenPreferences()->setValue(PREF_RECONNECT, on);
        if (!on) {
            StopReconnecting(strings::LOG_RECONNECT_STOPPED);
        }
    });
}

QStringList CAdminDlg::LoginFields() const {
    return {m_hostEdit->text(), m_portEdit->text(), m_userEdit->text(), m_passwordEdit->text()};
}

// A link is open and the login is on its way, for the admin or for a reconnect attempt.
void CAdminDlg::SessionStarting() {
    m_sessionFields = LoginFields();
    if (!m_reconnectAttempt) {
        m_reconnect.Stop();
    }
    m_pClient->onEvent = [this](const ClientEvent& event) {
        if (std::holds_alternative<event::Refused>(event.what)) {
            FollowClient(false); // the link is no longer read: quiet it before the box opens
        } else if (const auto* answer = std::get_if<event::ShutdownAnswer>(&event.what)) {
            if (answer->status == ShutdownStatus::ShuttingDown) {
                m_reconnect.ShutdownConfirmed();
            }
        } else if (const auto* chat = std::get_if<event::Chat>(&event.what)) {
            OnChat(chat->text);
        }
    };
}

// After "Disconnected: <reason>": wait and try again, when the policy and the admin want it.
void CAdminDlg::SessionEnded(bool wasConnected) {
    const auto wait = m_reconnect.Ended(EndingOf(m_pClient->reason), wasConnected);
    if (!wait || !m_reconnectCheck->isChecked()) {
        m_reconnect.Stop();
        return;
    }
    SetLoginFieldsEnabled(false);
    m_connectButton->setText(strings::DISCONNECT);
    AppendLog(QString::fromLatin1(strings::LOG_RECONNECTING)
                  .arg(std::llround(static_cast<double>(wait->count()) / 1000)),
              COLOUR_BLUE, true);
    m_reconnectTimer->start(*wait);
}

void CAdminDlg::OnReconnectDue() {
    m_reconnectTimer->stop(); // when called before the timer fired
    if (m_tickDepth > 0) {
        m_reconnectTimer->start(DEFERRED_ATTEMPT_MS);
        return;
    }
    if (LoginFields() != m_sessionFields) {
        EndReconnecting(strings::LOG_RECONNECT_FIELDS_CHANGED);
        return;
    }
    m_connectButton->setText(strings::CONNECT);
    m_reconnectAttempt = true;
    OnConnect();
    m_reconnectAttempt = false;
    if (m_connectButton->text() == QLatin1String(strings::CONNECT)) {
        EndReconnecting(nullptr); // the attempt could not start; its box said why
    }
}

// True when a wait was running; it ends with `line` in the log (none when null).
bool CAdminDlg::StopReconnecting(const char* line) {
    if (!m_reconnectTimer->isActive()) {
        return false;
    }
    m_reconnectTimer->stop();
    EndReconnecting(line);
    return true;
}

void CAdminDlg::EndReconnecting(const char* line) {
    m_reconnect.Stop();
    m_connectButton->setText(strings::CONNECT);
    SetLoginFieldsEnabled(true);
    if (line) {
        AppendLog(QString::fromLatin1(line), COLOUR_BLUE, true);
    }
}
