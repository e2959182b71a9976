#include "ui/AdminDlg.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <optional>
#include <utility>

#include "engine/Timers.h"
#include "platform/MessageBox.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/DialogUnits.h"
#include "ui/ServerListWindow.h"
#include "ui/TabStopDelegate.h"
#include "ui_AdminDlg.h"

namespace {

// The status log keeps this many lines and drops the oldest, so weeks of events stay fast.
constexpr int MAX_LOG_LINES = 100000;

// Item data that lets a redraw find the selected player again.
constexpr int PLAYER_ID_ROLE = Qt::UserRole;
constexpr int PLAYER_NAME_ROLE = Qt::UserRole + 1;

constexpr int MAX_PORT = 65535;

// The most characters the command line takes.
constexpr int MAX_COMMAND = 128;

// The port text read as atoi reads it: blanks, a sign, the leading digits; 0 when there are
// none. A number above the highest port reads as 0 instead of wrapping round to another port.
int PortNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        ++i;
    }
    int value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > MAX_PORT) {
            return 0;
        }
    }
    return negative ? -value : value;
}

// The blanks that the command line loses at its start (C's isspace set).
bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Server text is single-byte; Latin-1 maps every byte to one character and back.
QString FromWire(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CAdminDlg::CAdminDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::AdminDlg>()), m_timers([this](unsigned id) { OnTimer(id); }) {
    ui->setupUi(this);
    m_shutdownButton = ui->shutdownButton;
    m_playerList = ui->playerList;
    m_kickButton = ui->kickButton;
    m_connectButton = ui->connectButton;
    m_sendButton = ui->sendButton;
    m_commandEdit = ui->commandEdit;
    m_banButton = ui->banButton;
    m_log = ui->log;
    m_savePassCheck = ui->savePassCheck;
    m_passwordEdit = ui->passwordEdit;
    m_userEdit = ui->userEdit;
    m_portEdit = ui->portEdit;
    m_hostEdit = ui->hostEdit;
    m_reconnectCheck = ui->reconnectCheck;
    m_serverList = new CServerListWindow(this);

    setWindowIcon(AppIcon());
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));
    m_commandEdit->setMaxLength(MAX_COMMAND);
    m_log->setMaximumBlockCount(MAX_LOG_LINES);
    ApplyTemplateSizes();

    connect(m_connectButton, &QPushButton::clicked, this, &CAdminDlg::OnConnect);
    connect(m_kickButton, &QPushButton::clicked, this, &CAdminDlg::OnKick);
    connect(m_banButton, &QPushButton::clicked, this, &CAdminDlg::OnBan);
    connect(m_sendButton, &QPushButton::clicked, this, &CAdminDlg::OnSend);
    connect(m_shutdownButton, &QPushButton::clicked, this, &CAdminDlg::OnShutdown);
    SetUpReconnect();

    LoadSettings();
    m_userEdit->setFocus();
}

// A window object destroyed without being closed still disconnects and saves.
CAdminDlg::~CAdminDlg() {
    OnDestroy();
}

// Sizes from the template, in dialog units of the window's font, so the layout keeps the
// template's proportions at any font size.
void CAdminDlg::ApplyTemplateSizes() {
    const QFontMetrics metrics = fontMetrics();
    m_playerList->setMinimumSize(DialogUnitsToPixels(metrics, 113, 64));
    m_log->setMinimumSize(DialogUnitsToPixels(metrics, 226, 56));
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit}) {
        edit->setMinimumWidth(DialogUnitsToPixels(metrics, 53, 0).width());
    }
    m_portEdit->setFixedWidth(DialogUnitsToPixels(metrics, 27, 0).width());
    m_connectButton->setMinimumWidth(DialogUnitsToPixels(metrics, 61, 0).width());
    m_shutdownButton->setMinimumWidth(DialogUnitsToPixels(metrics, 80, 0).width());
    m_playerList->setItemDelegate(
        new CTabStopDelegate(DialogUnitsToPixels(metrics, 70, 0).width(), m_playerList));
}

QWidget* CAdminDlg::GetDlgItem(int controlId) const {
    switch (controlId) {
    case IDC_PLAYER_LIST:
        return m_playerList;
    case IDC_KICK:
        return m_kickButton;
    case IDC_BAN:
        return m_banButton;
    case IDC_COMMAND:
        return m_commandEdit;
    case IDC_SEND:
        return m_sendButton;
    case IDC_LOG:
        return m_log;
    case IDC_USERNAME:
        return m_userEdit;
    case IDC_PASSWORD:
        return m_passwordEdit;
    case IDC_SAVE_PASS:
        return m_savePassCheck;
    case IDC_CONNECT:
        return m_connectButton;
    case IDC_HOST:
        return m_hostEdit;
    case IDC_PORT:
        return m_portEdit;
    case IDC_SHUTDOWN:
        return m_shutdownButton;
    default:
        return nullptr;
    }
}

void CAdminDlg::OnConnect() {
    const QString caption = m_connectButton->text();
    if (caption == QLatin1String(strings::CONNECT)) {
        const QString host = m_hostEdit->text();
        const int port = PortNumber(m_portEdit->text());
        if (host.isEmpty() || port <= 0) {
            AfxMessageBox(strings::INVALID_HOST_OR_PORT);
            return;
        }
        const QString user = m_userEdit->text();
        if (user.contains(QLatin1Char(LOGIN_SEPARATOR))) {
            AfxMessageBox(strings::INVALID_NICKNAME);
            return;
        }
        const QString password = m_passwordEdit->text();

        m_pClient.reset();
        m_pClient = std::make_unique<CAdminClient>();
        const bool opened =
            m_pClient->Connect(host.toUtf8().constData(), port, user.toLatin1().constData(),
                               password.toLatin1().constData());
        WatchLink();
        if (!opened) {
            AfxMessageBox(strings::CONNECT_FAILED);
            return;
        }
        SessionStarting();
        m_timers.SetTimer(TIMER_CONNECT_TIMEOUT, CONNECT_TIMEOUT_MS);
        m_timers.SetTimer(TIMER_UI_REFRESH, UI_REFRESH_MS);
        m_timers.SetTimer(TIMER_POLL, POLL_MS);
        m_timers.SetTimer(TIMER_WATCHDOG, WATCHDOG_MS);
        SetLoginFieldsEnabled(false);
        m_connectButton->setText(strings::DISCONNECT);
        AppendLog(strings::LOG_CONNECTING, COLOUR_BLUE, true);
    } else if (caption == QLatin1String(strings::DISCONNECT)) {
        if (StopReconnecting(strings::LOG_RECONNECT_STOPPED)) {
            return;
        }
        // The next tick of any timer shows the end of the connection.
        m_pClient->Disconnect();
        m_pClient->reason = strings::REASON_CLIENT_DISCONNECTED;
        m_bConnected = true;
        FollowClient(false);
    }
}

void CAdminDlg::OnTimer(unsigned timerId) {
    if (!m_pClient) {
        return;
    }
    // The client may open a modal box in here, and ticks run nested inside it: every step below
    // reads the client's state afresh.
    ++m_tickDepth;
    m_pClient->OnTimer(timerId);
    const bool idle = !m_pClient->loggedIn && !m_pClient->loginPending;
    if (!m_bConnected && m_pClient->loggedIn) {
        ConnectedTransition();
    } else if ((m_bConnected && idle) || m_pClient->reasonPending ||
               (timerId == TIMER_CONNECT_TIMEOUT && idle)) {
        DisconnectedTransition();
    }
    if (timerId == TIMER_UI_REFRESH) {
        Refresh();
    }
    FollowClient(timerId == TIMER_UI_REFRESH);
    --m_tickDepth;
}

void CAdminDlg::ConnectedTransition() {
    m_bConnected = true;
    m_commandEdit->setEnabled(true);
    m_sendButton->setEnabled(true);
    SetLoginFieldsEnabled(false);
    m_kickButton->setEnabled(true);
    m_banButton->setEnabled(true);
    m_shutdownButton->setEnabled(true);
    AppendLog(strings::LOG_CONNECTED, COLOUR_BLUE, true);
    m_reconnect.LoggedIn();
}

void CAdminDlg::DisconnectedTransition() {
    const bool wasConnected = m_bConnected;
    m_pClient->reasonPending = false;
    m_commandEdit->setEnabled(false);
    m_sendButton->setEnabled(false);
    SetLoginFieldsEnabled(true);
    m_kickButton->setEnabled(false);
    m_banButton->setEnabled(false);
    m_playerList->clear();
    m_shutdownButton->setEnabled(false);
    m_connectButton->setText(strings::CONNECT);
    AppendLog(strings::LOG_DISCONNECTED, COLOUR_RED, false);
    AppendLog(FromWire(m_pClient->reason), COLOUR_RED, true);
    m_bConnected = false;
    m_timers.KillTimer(TIMER_CONNECT_TIMEOUT);
    SessionEnded(wasConnected);
}

// Empties the client's mailboxes into the log (as much as the tick's time budget allows), the
// player list and the server list window.
void CAdminDlg::Refresh() {
    TakeLogEntries();
    ShowLogBacklog();
    if (m_pClient->listDirty) {
        RedrawPlayerList();
    }
    if (m_pClient->listTextLength > 0) {
        m_pClient->listTextLength = 0;
        m_serverList->ShowEntries(wire::SplitListText(m_pClient->listText));
    }
}

// Rebuilds the list in roster order, so an item's index is the player's roster position. The
// player selected before (same id and name) is selected again, so a score change does not take
// the admin's choice away.
void CAdminDlg::RedrawPlayerList() {
    std::optional<std::pair<int, QString>> reselect;
    if (const QList<QListWidgetItem*> selected = m_playerList->selectedItems();
        !selected.isEmpty()) {
        reselect.emplace(selected[0]->data(PLAYER_ID_ROLE).toInt(),
                         selected[0]->data(PLAYER_NAME_ROLE).toString());
    }

    m_playerList->clear();
    const CPlayerList& roster = *m_pClient->roster;
    for (int i = 0; i < roster.GetCount(); ++i) {
        const QString name = FromWire(roster.NameByPosition(i).value_or(std::string()));
        const int id = roster.IdByPosition(i);
        const QString line =
            QStringLiteral("%1 (%2)\t%3")
                .arg(name, QString::number(id), QString::number(roster.ValueByPosition(i)));
        auto* item = new QListWidgetItem(line);
        item->setData(PLAYER_ID_ROLE, id);
        item->setData(PLAYER_NAME_ROLE, name);
        m_playerList->insertItem(i, item);
        if (reselect && reselect->first == id && reselect->second == name) {
            m_playerList->setCurrentItem(item);
            reselect.reset();
        }
    }
    m_pClient->listDirty = false;
}

int CAdminDlg::SelectedPlayer() const {
    const QList<QListWidgetItem*> selected = m_playerList->selectedItems();
    return selected.isEmpty() ? -1 : m_playerList->row(selected[0]);
}

void CAdminDlg::SetLoginFieldsEnabled(bool enabled) {
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit}) {
        edit->setEnabled(enabled);
    }
}

void CAdminDlg::OnKick() {
    const int position = SelectedPlayer();
    if (m_bConnected && position != -1) {
        m_pClient->Kick(position);
    }
}

void CAdminDlg::OnBan() {
    const int position = SelectedPlayer();
    if (m_bConnected && position != -1) {
        m_pClient->Ban(position);
    }
}

// Sends the command line without its leading blanks; trailing blanks are part of the command.
void CAdminDlg::OnSend() {
    if (!m_bConnected) {
        return;
    }
    const QString line = m_commandEdit->text();
    qsizetype start = 0;
    while (start < line.size() && IsBlank(line[start])) {
        ++start;
    }
    if (start < line.size()) {
        m_pClient->SendCommand(line.mid(start).toLatin1().constData());
    }
    m_commandEdit->clear();
}

void CAdminDlg::OnShutdown() {
    if (m_bConnected) {
        m_pClient->RequestShutdown();
    }
}

void CAdminDlg::OnSysCommand(unsigned commandId) {
    if ((commandId & SYSCOMMAND_MASK) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    }
}

// Window managers own the system menu, so the About item lives in the background's menu.
void CAdminDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const QAction* about = menu.addAction(QString::fromLatin1(strings::ABOUT_MENU));
    if (menu.exec(event->globalPos()) == about) {
        OnSysCommand(IDM_ABOUTBOX);
    }
}

// Escape does not close the window; the close box does.
void CAdminDlg::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAdminDlg::done(int result) {
    OnDestroy();
    QDialog::done(result);
}

void CAdminDlg::OnDestroy() {
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    if (m_bConnected) {
        m_pClient->Disconnect();
        m_pClient->reason = strings::REASON_CLIENT_DISCONNECTED;
    }
    SaveSettings();
    DropLinkNotifier();
    StopReconnecting(nullptr);
    for (unsigned id : {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL, TIMER_WATCHDOG}) {
        m_timers.KillTimer(id);
    }
}
