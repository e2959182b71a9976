#include "ui/AdminDlg.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <optional>
#include <utility>

#include "engine/PrintableText.h"
#include "engine/Timers.h"
#include "platform/MessageBox.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/CommandHistory.h"
#include "ui/DialogUnits.h"
#include "ui/LogFindBar.h"
#include "ui/PlayerTable.h"
#include "ui/Preferences.h"
#include "ui/ServerListWindow.h"
#include "ui/WireText.h"
#include "ui_AdminDlg.h"

namespace {

// The status log keeps this many lines and drops the oldest, so weeks of events stay fast.
constexpr int MAX_LOG_LINES = 100000;

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

// False, after a box naming the characters, when `text` cannot go out on the wire unchanged.
bool Sendable(const QString& text) {
    const QString unsendable = Unsendable(text);
    if (!unsendable.isEmpty()) {
        AfxMessageBox(QString::fromUtf8(strings::UNSENDABLE).arg(unsendable).toStdString());
    }
    return unsendable.isEmpty();
}

} // namespace

CAdminDlg::CAdminDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_timers([this](unsigned id) { OnTimer(id); }),
      m_logFile([this](const QString& failure) { AppendLog(failure, COLOUR_DARK_RED, true); }),
      ui(std::make_unique<Ui::AdminDlg>()) {
    ui->setupUi(this);
    ForEachControl(*this, [](int, auto*& member, auto* made) { member = made; });
    m_reconnectCheck = ui->reconnectCheck; // an addition, outside the template's ids
    m_serverList = new CServerListWindow(this);
    m_findBar = new CLogFindBar(m_log, ui->statusGroup);

    setWindowIcon(AppIcon());
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));
    m_commandEdit->setMaxLength(MAX_COMMAND);
    m_log->setMaximumBlockCount(MAX_LOG_LINES);
    ApplyTemplateSizes();
    // The find bar stands over the log, in the log's cell.
    ui->statusLayout->removeWidget(m_log);
    auto* logColumn = new QVBoxLayout;
    logColumn->addWidget(m_findBar);
    logColumn->addWidget(m_log);
    ui->statusLayout->addLayout(logColumn, 0, 0, 1, 2);
    // The template's size is the smallest; the log takes extra height and width, the player
    // list extra height.
    ui->dialogLayout->setStretch(0, 1);
    ui->dialogLayout->setStretch(1, 3);
    ui->topLayout->addStretch(1);
    setMinimumSize(sizeHint());
    resize(minimumSize());

    m_log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_log, &QWidget::customContextMenuRequested, this, &CAdminDlg::ShowLogMenu);
    m_log->installEventFilter(this);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, m_findBar,
            &CLogFindBar::Open);

    connect(m_connectButton, &QPushButton::clicked, this, &CAdminDlg::OnConnect);
    connect(m_kickButton, &QPushButton::clicked, this, &CAdminDlg::OnKick);
    connect(m_banButton, &QPushButton::clicked, this, &CAdminDlg::OnBan);
    connect(m_sendButton, &QPushButton::clicked, this, &CAdminDlg::OnSend);
    connect(m_shutdownButton, &QPushButton::clicked, this, &CAdminDlg::OnShutdown);
    connect(m_playerList, &CPlayerTable::kickRequested, this, &CAdminDlg::OnKick);
    connect(m_playerList, &CPlayerTable::banRequested, this, &CAdminDlg::OnBan);
    // Enter in a login field connects; while connected it does nothing there.
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit}) {
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (m_connectButton->text() == QLatin1String(strings::CONNECT)) {
                OnConnect();
            }
        });
    }
    const QString stateDir = StateDirectory();
    m_history = new CCommandHistory(
        m_commandEdit,
        stateDir.isEmpty() ? QString() : stateDir + '/' + QLatin1String(strings::HISTORY_FILE),
        [this] {
            QStringList names;
            if (m_pClient) {
                m_pClient->roster->ForEach(
                    [&names](const PlayerInfo& info) { names << QString::fromLatin1(info.name); });
            }
            return names;
        });
    if (m_history->LoadedDamaged()) {
        AppendLog(QString::fromLatin1(strings::HISTORY_DAMAGED), COLOUR_DARK_RED, true);
    }
    SetUpReconnect();

    LoadSettings();
    LoadPreferences();
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
}

// The one table of the template's controls: id, the member that keeps the widget, the widget.
template <class Self, class Visit> void CAdminDlg::ForEachControl(Self& self, Visit&& visit) {
    visit(IDC_PLAYER_LIST, self.m_playerList, self.ui->playerList);
    visit(IDC_KICK, self.m_kickButton, self.ui->kickButton);
    visit(IDC_BAN, self.m_banButton, self.ui->banButton);
    visit(IDC_COMMAND, self.m_commandEdit, self.ui->commandEdit);
    visit(IDC_SEND, self.m_sendButton, self.ui->sendButton);
    visit(IDC_LOG, self.m_log, self.ui->log);
    visit(IDC_USERNAME, self.m_userEdit, self.ui->userEdit);
    visit(IDC_PASSWORD, self.m_passwordEdit, self.ui->passwordEdit);
    visit(IDC_SAVE_PASS, self.m_savePassCheck, self.ui->savePassCheck);
    visit(IDC_CONNECT, self.m_connectButton, self.ui->connectButton);
    visit(IDC_HOST, self.m_hostEdit, self.ui->hostEdit);
    visit(IDC_PORT, self.m_portEdit, self.ui->portEdit);
    visit(IDC_SHUTDOWN, self.m_shutdownButton, self.ui->shutdownButton);
}

QWidget* CAdminDlg::GetDlgItem(int controlId) const {
    QWidget* found = nullptr;
    ForEachControl(*this, [&](int id, QWidget* member, const QWidget*) {
        if (id == controlId) {
            found = member;
        }
    });
    return found;
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
        if (!Sendable(user + password)) {
            return;
        }

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
        m_logFile.Start(host, port);
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
    m_commandEdit->setFocus();
    AppendLog(strings::LOG_CONNECTED, COLOUR_BLUE, true);
    m_reconnect.LoggedIn();
}

void CAdminDlg::DisconnectedTransition() {
    // What happened before the end stands above it: shown now, or, after a flood, the end
    // waits behind it in the backlog so the window never stalls.
    TakeLogEntries();
    ShowLogBacklog();
    const bool endWaits = m_logSkipped > 0 || !m_logBacklog.empty();
    const bool wasConnected = m_bConnected;
    m_pClient->reasonPending = false;
    m_commandEdit->setEnabled(false);
    m_sendButton->setEnabled(false);
    SetLoginFieldsEnabled(true);
    m_kickButton->setEnabled(false);
    m_banButton->setEnabled(false);
    m_playerList->RemoveAllPlayers();
    ui->playerAdminGroup->setTitle(QString::fromLatin1(strings::PLAYER_ADMIN));
    m_shutdownButton->setEnabled(false);
    m_connectButton->setText(strings::CONNECT);
    if (endWaits) {
        m_logBacklog.push_back({strings::LOG_DISCONNECTED + m_pClient->reason, COLOUR_RED});
    } else {
        AppendLog(strings::LOG_DISCONNECTED, COLOUR_RED, false);
        AppendLog(FromWire(m_pClient->reason), COLOUR_RED, true);
    }
    m_bConnected = false;
    m_timers.KillTimer(TIMER_CONNECT_TIMEOUT);
    AskForAttention();
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

void CAdminDlg::RedrawPlayerList() {
    m_playerList->Redraw(*m_pClient->roster);
    ui->playerAdminGroup->setTitle(
        QString::fromLatin1(strings::PLAYER_ADMIN_COUNT).arg(m_pClient->roster->GetCount()));
    m_pClient->listDirty = false;
}

void CAdminDlg::SetLoginFieldsEnabled(bool enabled) {
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit}) {
        edit->setEnabled(enabled);
    }
}

// Kick and Ban act on the player of the selected row, found in the roster as it is now: the
// rows may be sorted, and the roster changes between two redraws.
void CAdminDlg::OnKick() {
    const std::optional<PlayerKey> player = m_playerList->SelectedPlayer();
    if (!m_bConnected || !player) {
        return;
    }
    if (const int position = RosterPosition(*m_pClient->roster, *player); position != -1) {
        m_pClient->Kick(position);
    }
}

void CAdminDlg::OnBan() {
    const std::optional<PlayerKey> player = m_playerList->SelectedPlayer();
    if (!m_bConnected || !player) {
        return;
    }
    const QString question =
        QString::fromLatin1(strings::BAN_QUESTION)
            .arg(FromWire(Printable(player->name)), QString::number(player->id));
    // Ticks run while the box is open: the connection may end and the roster change, so the
    // player is looked up after the answer.
    if (!AfxQuestionBox(question.toStdString()) || !m_bConnected) {
        return;
    }
    if (const int position = RosterPosition(*m_pClient->roster, *player); position != -1) {
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
        if (!Sendable(line)) {
            return; // the typed line stays for the admin to mend
        }
        const QString command = line.mid(start);
        m_pClient->SendCommand(command.toLatin1().constData());
        if (const QString failure = m_history->Add(command); !failure.isEmpty()) {
            AppendLog(failure, COLOUR_DARK_RED, true);
        }
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
    SavePreferences();
    m_logFile.Flush();
    DropLinkNotifier();
    StopReconnecting(nullptr);
    for (unsigned id : {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL, TIMER_WATCHDOG}) {
        m_timers.KillTimer(id);
    }
}
