#include "ui/PageBans.h"

#include <QTimer>

#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "ui/BanDialog.h"
#include "ui/BansWindow.h"

namespace {

// Often enough that a ban's lists and a lift's answer are dealt with at once, one /removeip a
// second kept, and rare enough to cost nothing.
constexpr int TICK_MS = 200;
constexpr int LAST_REASONS = 10;

} // namespace

CPageBans::CPageBans(CPlayerStore& store, QWidget* page)
    : QObject(page), store(store), session(store), tick(new QTimer(this)),
      window(new CBansWindow(page)) {
    connect(tick, &QTimer::timeout, this, &CPageBans::Step);
    connect(window, &CBansWindow::refreshRequested, this, [this] { session.LookAtList(); });
    connect(window, &CBansWindow::liftRequested, this,
            [this](const std::vector<std::string>& entries) { session.Lift(entries); });
}

CPageBans::~CPageBans() = default;

void CPageBans::SessionStarting(const std::string& host, int port, const std::string& adminUser) {
    store.Open(); // on its own thread: open by the time a ban or the Bans window needs it
    session.SessionStarting({host, port}, adminUser);
    listsShown = session.ListsReceived();
}

void CPageBans::Connected() {
    session.Connected(CBanSession::Clock::now(), true, window->isVisible());
    tick->start(TICK_MS);
}

void CPageBans::Disconnected() {
    session.Disconnected();
    Step(); // what the end left to say
    tick->stop();
}

void CPageBans::Observe(const ClientEvent& event) {
    if (!session.Observe(event) && std::holds_alternative<event::ServerList>(event.what)) {
        QTimer::singleShot(0, window, &CBansWindow::Open); // not inside the client's datagram
    }
}

void CPageBans::AdminSent(const std::string& line) {
    session.AdminSent(line, CBanSession::Clock::now());
}

void CPageBans::Step() {
    if (client) {
        for (const BanNotice& notice : session.Step(*client, CBanSession::Clock::now())) {
            emit logLine(QString::fromStdString(notice.text), notice.problem);
        }
    }
    if ((session.ListsReceived() != listsShown || rowsIncomplete) && window->isVisible()) {
        ShowRows();
    }
}

void CPageBans::ShowRows() {
    listsShown = session.ListsReceived();
    const StoreRead<std::vector<BanRow>> rows = session.Rows();
    rowsIncomplete = !rows.Ok(); // again at the next step: the store may be opening
    window->ShowRows(rows.value, session.LatestList() != nullptr,
                     QString::fromStdString(rows.error));
}

void CPageBans::ShowWindow() {
    window->Open();
    ShowRows();
    session.LookAtList();
}

QStringList CPageBans::LastReasons() {
    QStringList reasons;
    for (const std::string& reason : session.LastReasons(LAST_REASONS)) {
        reasons << QString::fromStdString(reason);
    }
    return reasons;
}

void CPageBans::AskToRemove(RemovalOrder::Kind kind, const PlayerKey& player) {
    CBanDialog dialog(kind, player, LastReasons(), window->parentWidget());
    // Ticks run while the dialog is open: the session may end and the player leave; the core
    // looks the player up when the order goes out.
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (const std::string problem = session.Remove(dialog.Order()); !problem.empty()) {
        AfxMessageBox(QString::fromUtf8(strings::BAN_NOT_SENT)
                          .arg(QString::fromStdString(problem))
                          .toStdString());
        return;
    }
    Step();
}
