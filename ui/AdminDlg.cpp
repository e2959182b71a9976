#include "ui/AdminDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QStyleOption>
#include <QTimer>
#include <cmath>
#include <optional>

#include "core/CoreTexts.h"
#include "core/LoginRules.h"
#include "core/PlayerLookup.h"
#include "core/SavedLogin.h"
#include "engine/Timers.h"
#include "platform/MessageBox.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/CommandHistory.h"
#include "ui/DialogUnits.h"
#include "ui/LogFindBar.h"
#include "ui/PageAutomation.h"
#include "ui/PageBans.h"
#include "ui/PagePlayerMemory.h"
#include "ui/PasswordFetch.h"
#include "ui/PlayerColumn.h"
#include "ui/PlayerMemoryTexts.h"
#include "ui/PlayerTable.h"
#include "ui/PreferencesDlg.h"
#include "ui/SavedServers.h"
#include "ui/ServerPicker.h"
#include "ui/SessionDriver.h"
#include "ui/StatusLog.h"
#include "ui/UserText.h"
#include "ui/WireText.h"
#include "ui_AdminDlg.h"

CAdminDlg::CAdminDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::AdminDlg>()) {
    m_context.savedLogin = true;
    SetUp();
    m_userEdit->setFocus();
}

CAdminDlg::CAdminDlg(PageContext context, QWidget* parent)
    : QDialog(parent, Qt::Widget), ui(std::make_unique<Ui::AdminDlg>()),
      m_context(std::move(context)), m_isPage(true) {
    if (m_context.ownLink) {
        m_ownLink = std::make_unique<CAdminSocket>();
        m_ownRoster = std::make_unique<CPlayerList>();
    }
    SetUp();
}

void CAdminDlg::SetUp() {
    ui->setupUi(this);
    ForEachControl(*this, [](int, auto*& member, auto* made) { member = made; });
    ApplyTemplateSizes();
    m_reconnectCheck = ui->reconnectCheck; // additions, outside the template's ids
    m_serverPicker = ui->serverPicker;
    m_keyringCheck = ui->keyringCheck;
    m_statusLog = new CStatusLog(m_log, ui->statusGroup);
    m_session = new CSessionDriver([this](unsigned id) { OnTimer(id); },
                                   [this] { OnReconnectDue(); }, this);
    m_automation = new CPageAutomation(this);
    m_automation->Session().banWith = [this](const AutomationOutput& ban) {
        m_bans->RemoveForAutomation(ban);
    };
    connect(m_automation, &CPageAutomation::logLine, this,
            [this](const QString& line) { AppendLog(line, COLOUR_AUTOMATION, true); });
    connect(m_automation, &CPageAutomation::attentionWanted, this, &CAdminDlg::AskForAttention);
    m_playerColumn = new CPlayerColumn(this, ui->columnSplitter, ui->playerColumn, ui->dialogLayout,
                                       ui->topLayout, ui->playerAdminGroup, ui->playerAdminLayout,
                                       ui->playerButtonLayout);
    m_playerMemory = new CPagePlayerMemory(
        this, m_playerList,
        [this]() -> std::optional<PageServer> {
            const std::string host = m_hostEdit->text().toStdString();
            const std::optional<int> port = PortNumber(m_portEdit->text().toStdString());
            if (host.empty() || !port) {
                return std::nullopt;
            }
            return PageServer{{host, *port}, m_userEdit->text().toStdString()};
        },
        m_preferences.Int(CPreferences::Key::ChatRetentionDays));
    connect(m_playerMemory, &CPagePlayerMemory::problem, this,
            [this](const QString& text) { AppendLog(text, COLOUR_DARK_RED, true); });
    // A watched player's join counts as the watch word does: it also marks the tab.
    connect(m_playerMemory, &CPagePlayerMemory::attentionWanted, this, [this] {
        AskForAttention();
        MarkImportant();
    });
    connect(m_automation, &CPageAutomation::outputCarried, m_playerMemory,
            &CPagePlayerMemory::OnAutomation);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated,
            m_playerMemory, &CPagePlayerMemory::ShowPlayersWindow);
    m_bans = new CPageBans(m_playerMemory->Store(), this);
    connect(m_bans, &CPageBans::logLine, this, [this](const QString& line, bool problem) {
        AppendLog(line, problem ? COLOUR_DARK_RED : COLOUR_BLUE, true);
    });

    setWindowIcon(AppIcon());
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));
    m_commandEdit->setMaxLength(static_cast<int>(MAX_CONSOLE_LINE));
    m_keyringCheck->hide();
    if (m_isPage) {
        // A tab has the margins of the window it once was, so one tab looks as that window did.
        QStyleOption asWindow;
        asWindow.initFrom(this);
        asWindow.state |= QStyle::State_Window;
        const auto margin = [&](QStyle::PixelMetric metric) {
            return style()->pixelMetric(metric, &asWindow, nullptr);
        };
        ui->pageLayout->setContentsMargins(
            margin(QStyle::PM_LayoutLeftMargin), margin(QStyle::PM_LayoutTopMargin),
            margin(QStyle::PM_LayoutRightMargin), margin(QStyle::PM_LayoutBottomMargin));
        m_picker = new CServerPicker(
            m_serverPicker, *m_context.servers,
            LoginEdits{m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit},
            [this](const QString& line) { AppendLog(line, COLOUR_BLUE, true); }, this);
        connect(m_picker, &CServerPicker::chosenChanged, this, &CAdminDlg::ShowProfileControls);
        m_passwordFetch = new CPasswordFetch(m_context.servers->Keyring(), this);
        m_commandEdit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_commandEdit, &QWidget::customContextMenuRequested, this,
                &CAdminDlg::ShowCommandLineMenu);
    } else {
        ui->serverLabel->hide();
        m_serverPicker->hide();
    }
    PlaceFindBar();
    // The template's size is the smallest; the log takes extra height and width, the player
    // list extra height.
    ui->dialogLayout->setStretch(0, 1);
    ui->dialogLayout->setStretch(1, 3);
    ui->topLayout->addStretch(1);
    setMinimumSize(sizeHint());
    resize(minimumSize());

    m_log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_log, &QWidget::customContextMenuRequested, this, &CAdminDlg::ShowLogMenu);
    connect(m_statusLog, &CStatusLog::optionsChosen, this, &CAdminDlg::SetLogOptions);
    connect(m_statusLog, &CStatusLog::linesAdded, this, &CAdminDlg::linesAdded);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, m_statusLog->FindBar(),
            &CLogFindBar::Open);

    connect(m_connectButton, &QPushButton::clicked, this, &CAdminDlg::OnConnect);
    connect(m_kickButton, &QPushButton::clicked, this, &CAdminDlg::OnKick);
    connect(m_banButton, &QPushButton::clicked, this, &CAdminDlg::OnBan);
    connect(m_sendButton, &QPushButton::clicked, this, &CAdminDlg::OnSend);
    connect(m_shutdownButton, &QPushButton::clicked, this, &CAdminDlg::OnShutdown);
    connect(m_playerList, &CPlayerTable::kickRequested, this, &CAdminDlg::OnKick);
    connect(m_playerList, &CPlayerTable::banRequested, this, &CAdminDlg::OnBan);
    connect(m_playerList, &CPlayerTable::kickWithReasonRequested, this,
            &CAdminDlg::OnKickWithReason);
    connect(m_playerList, &CPlayerTable::bansRequested, m_bans, &CPageBans::ShowWindow);
    // Enter in a login field connects; while connected it does nothing there.
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit}) {
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (m_connectButton->text() == QLatin1String(strings::CONNECT)) {
                OnConnect();
            }
        });
    }
    // A tab without a server is called by its host.
    connect(m_hostEdit, &QLineEdit::textChanged, this, &CAdminDlg::stateChanged);
    const auto playerNames = [this] {
        return m_pClient ? PlayerNames(*m_pClient->roster) : std::vector<std::string>();
    };
    if (m_context.history) {
        m_history = new CCommandHistory(m_commandEdit, m_context.history, playerNames);
    } else {
        const QString stateDir = StateDirectory();
        m_history = new CCommandHistory(
            m_commandEdit,
            stateDir.isEmpty() ? QString() : stateDir + '/' + QLatin1String(strings::HISTORY_FILE),
            playerNames);
    }
    if (m_history->LoadedDamaged()) {
        AppendLog(QString::fromUtf8(texts::HISTORY_DAMAGED), COLOUR_DARK_RED, true);
    }
    m_reconnectCheck->setChecked(m_preferences.Bool(CPreferences::Key::Reconnect));
    connect(m_reconnectCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_preferences.Set(CPreferences::Key::Reconnect, on);
        if (!on && m_session->StopReconnecting()) {
            EndReconnecting(texts::LOG_RECONNECT_STOPPED);
        }
    });
    m_playerColumn->SetColumnWidth(m_preferences.Text(CPreferences::Key::PlayerColumn).toInt());
    connect(m_playerColumn, &CPlayerColumn::columnWidthChosen, this, [this](int width) {
        m_preferences.Set(CPreferences::Key::PlayerColumn, QString::number(width));
    });

    LoadSettings();
}

// A window object destroyed without being closed still disconnects and saves.
CAdminDlg::~CAdminDlg() {
    OnDestroy();
    m_pClient.reset(); // before the tab's own link and roster go
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
    // The splitter measured its panes as the template made them; a page not shown yet does not
    // tell its layouts of the new sizes by itself.
    for (QLayout* layout : findChildren<QLayout*>()) {
        layout->invalidate();
    }
}

// The find bar stands over the log, in the log's cell.
void CAdminDlg::PlaceFindBar() {
    ui->statusLayout->removeWidget(m_log);
    auto* logColumn = new QVBoxLayout;
    logColumn->addWidget(m_statusLog->FindBar());
    logColumn->addWidget(m_log);
    ui->statusLayout->addLayout(logColumn, 0, 0, 1, 2);
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

void CAdminDlg::AppendLog(const QString& text, COLORREF colour, bool lineBreak) {
    m_statusLog->Append(text, colour, lineBreak);
}

void CAdminDlg::OnConnect() {
    const QString caption = m_connectButton->text();
    if (caption == QLatin1String(strings::CONNECT)) {
        if (m_isPage) {
            BeginSession();
        } else {
            StartSession(false);
        }
    } else if (caption == QLatin1String(strings::CANCEL)) {
        StopWaitingForPassword();
        AppendLog(QString::fromUtf8(strings::LOG_PASSWORD_CANCELLED), COLOUR_BLUE, true);
    } else if (caption == QLatin1String(strings::DISCONNECT)) {
        if (m_session->StopReconnecting()) {
            EndReconnecting(texts::LOG_RECONNECT_STOPPED);
            NoteState();
            return;
        }
        // The next tick of any timer shows the end of the connection.
        m_session->Rule().EndByAdmin(*m_pClient, m_bConnected);
        ArmWaits(CSessionDriver::Step::Other);
    }
    NoteState();
}

// A tab refuses a second session with the same server and user, which the server would refuse
// anyway. A saved server whose password field is left empty gets its password from its source
// first, without the window waiting: the login goes out when it has arrived.
void CAdminDlg::BeginSession() {
    const QString host = m_hostEdit->text(), user = m_userEdit->text();
    const std::optional<int> port = PortNumber(m_portEdit->text().toStdString());
    if (port && m_context.sameLoginElsewhere) {
        if (const QString refusal = m_context.sameLoginElsewhere(*this, host, *port, user);
            !refusal.isEmpty()) {
            AfxMessageBox(refusal.toStdString());
            return;
        }
    }
    m_fetchedPassword.Clear();
    const ServerProfile* profile = Profile();
    if (!profile || !m_passwordEdit->text().isEmpty()) {
        StartSession(false);
        return;
    }
    const QString name = QString::fromStdString(profile->name);
    if (profile->passwordSource == PasswordSource::Ask) {
        AppendLog(QString::fromUtf8(strings::LOG_ENTER_PASSWORD).arg(name), COLOUR_BLUE, true);
        m_passwordEdit->setFocus();
        return;
    }
    AppendLog(QString::fromUtf8(profile->passwordSource == PasswordSource::Keyring
                                    ? strings::LOG_PASSWORD_FROM_KEYRING
                                    : strings::LOG_PASSWORD_FROM_COMMAND)
                  .arg(name),
              COLOUR_BLUE, true);
    SetLoginFieldsEnabled(false);
    m_connectButton->setText(QString::fromLatin1(strings::CANCEL));
    m_passwordFetch->Start(*profile,
                           [this](FetchedPassword& fetched) { PasswordArrived(fetched); });
}

void CAdminDlg::PasswordArrived(FetchedPassword& fetched) {
    StopWaitingForPassword();
    if (fetched.outcome == FetchedPassword::Outcome::Found) {
        m_fetchedPassword = std::move(fetched.password);
        StartSession(false);
        NoteState();
        return;
    }
    // No password came: the admin types it, and a keyring that merely had none is offered it.
    const QString name = Name();
    QString line = fetched.notice.isEmpty() ? QString() : Sentence(fetched.notice) + ' ';
    line += QString::fromUtf8(strings::LOG_ENTER_PASSWORD).arg(name);
    AppendLog(line,
              fetched.outcome == FetchedPassword::Outcome::NotStored ? COLOUR_BLUE
                                                                     : COLOUR_DARK_RED,
              true);
    if (fetched.outcome == FetchedPassword::Outcome::NotStored) {
        m_keyringCheck->setChecked(true);
    }
    m_passwordEdit->setFocus();
}

void CAdminDlg::StopWaitingForPassword() {
    m_passwordFetch->Cancel();
    m_connectButton->setText(QString::fromLatin1(strings::CONNECT));
    SetLoginFieldsEnabled(true);
    NoteState();
}

// The "save" box belongs to the plain login (vyr.ini's Password); a saved server's password
// lives in its source, and for the keyring the tab offers to keep a typed one there.
void CAdminDlg::ShowProfileControls() {
    const ServerProfile* profile = Profile();
    m_savePassCheck->setVisible(!profile);
    m_keyringCheck->setVisible(profile && profile->passwordSource == PasswordSource::Keyring);
    m_keyringCheck->setChecked(false);
    m_passwordEdit->setPlaceholderText(!profile ? QString()
                                       : profile->passwordSource == PasswordSource::Keyring
                                           ? QString::fromUtf8(strings::PASSWORD_FROM_KEYRING)
                                       : profile->passwordSource == PasswordSource::Command
                                           ? QString::fromUtf8(strings::PASSWORD_FROM_COMMAND)
                                           : QString());
    emit stateChanged(); // the title names the server
}

// Once a typed password has logged in, and the admin asked for it, it goes into the keyring.
void CAdminDlg::StoreTypedPassword() {
    const ServerProfile* profile = Profile();
    if (!profile || m_keyringCheck->isHidden() || !m_keyringCheck->isChecked() ||
        m_passwordEdit->text().isEmpty()) {
        return;
    }
    m_keyringCheck->setChecked(false);
    m_context.servers->Keyring().Store(
        *profile, m_passwordEdit->text().toStdString(), this, [this](KeyringAnswer& answer) {
            AppendLog(Sentence(QString::fromStdString(answer.message)),
                      answer.outcome == KeyringOutcome::Stored ? COLOUR_BLUE : COLOUR_DARK_RED,
                      true);
        });
}

bool CAdminDlg::StartSession(bool reconnectAttempt) {
    // A typed password comes first; an empty field takes the one the saved server's source gave.
    const std::string typed = m_passwordEdit->text().toStdString();
    const LoginCheck check = CheckLogin(
        m_hostEdit->text().toStdString(), m_portEdit->text().toStdString(),
        m_userEdit->text().toStdString(), typed.empty() ? m_fetchedPassword.Text() : typed);
    if (!check.login) {
        ShowLoginProblem(check.problem);
        return false;
    }
    const Login& login = *check.login;
    m_pClient.reset();
    m_pClient = m_ownLink ? std::make_unique<CAdminClient>(*m_ownLink, *m_ownRoster)
                          : std::make_unique<CAdminClient>();
    const bool opened = m_pClient->Connect(login.host.c_str(), login.port, login.user.c_str(),
                                           login.password.c_str());
    m_session->WatchLink(*m_pClient);
    ArmWaits(CSessionDriver::Step::Other);
    if (!opened) {
        AfxMessageBox(texts::CONNECT_FAILED);
        return false;
    }
    m_sessionFields = LoginFields();
    m_pClient->onEvent = [this](const ClientEvent& event) { OnClientEvent(event); };
    m_automation->SetClient(m_pClient.get());
    const ServerProfile* chosen = Profile();
    m_automation->SessionStarting(login.host, login.port,
                                  chosen ? chosen->automationFile : std::string());
    m_playerMemory->SessionStarting(m_pClient.get(),
                                    {{login.host, login.port}, m_userEdit->text().toStdString()});
    m_automation->SessionStarting(login.host, login.port, {});
    m_bans->SetClient(m_pClient.get());
    m_bans->SessionStarting(login.host, login.port, login.user);
    m_session->Started(reconnectAttempt);
    m_attemptIsReconnect = reconnectAttempt;
    m_lost = false;
    m_statusLog->File().Start(QString::fromStdString(login.host), login.port);
    SetLoginFieldsEnabled(false);
    m_connectButton->setText(strings::DISCONNECT);
    AppendLog(texts::LOG_CONNECTING, COLOUR_BLUE, true);
    return true;
}

void CAdminDlg::ShowLoginProblem(const LoginProblem& problem) {
    if (!problem.wireText.refused.empty()) {
        AfxMessageBox(UnsendableBox(problem.wireText).toStdString());
    } else {
        AfxMessageBox(problem.text);
    }
}

void CAdminDlg::OnClientEvent(const ClientEvent& event) {
    m_session->Rule().Observe(event);
    m_automation->Observe(event);
    m_playerMemory->Observe(event);
    m_bans->Observe(event);
    if (std::holds_alternative<event::Refused>(event.what)) {
        ArmWaits(CSessionDriver::Step::Other); // the link is no longer read: quiet it before the
                                               // box opens
    } else if (const auto* chat = std::get_if<event::Chat>(&event.what)) {
        const QString& word = m_statusLog->Options().watchWord;
        if (!word.isEmpty() && FromWire(chat->text).contains(word, Qt::CaseInsensitive)) {
            AskForAttention();
            MarkImportant();
        }
    }
}

void CAdminDlg::OnTimer(unsigned timerId) {
    if (!m_pClient) {
        return;
    }
    // The client may open a modal box in here, and ticks run nested inside it: every step below
    // reads the client's state afresh.
    ++m_tickDepth;
    switch (m_session->Rule().Tick(*m_pClient, m_bConnected, timerId)) {
    case CSessionRule::Step::Connected:
        ConnectedTransition();
        break;
    case CSessionRule::Step::Disconnected:
        DisconnectedTransition();
        break;
    case CSessionRule::Step::None:
        break;
    }
    m_playerMemory->Tick();
    if (timerId == TIMER_UI_REFRESH) {
        Refresh();
    }
    ArmWaits(timerId == TIMER_UI_REFRESH ? CSessionDriver::Step::RefreshTick
                                         : CSessionDriver::Step::Other);
    --m_tickDepth;
    NoteState();
}

void CAdminDlg::ConnectedTransition() {
    m_commandEdit->setEnabled(true);
    m_sendButton->setEnabled(true);
    SetLoginFieldsEnabled(false);
    m_kickButton->setEnabled(true);
    m_banButton->setEnabled(true);
    m_shutdownButton->setEnabled(true);
    m_commandEdit->setFocus();
    AppendLog(texts::LOG_CONNECTED, COLOUR_BLUE, true);
    m_session->LoggedIn();
    m_automation->Connected();
    StoreTypedPassword();
    m_bans->Connected();
}

void CAdminDlg::DisconnectedTransition() {
    // What happened before the end stands above it: shown now, or, after a flood, the end
    // waits behind it so the window never stalls.
    m_statusLog->Queue(m_pClient->TakeLog());
    m_statusLog->ShowWaiting();
    m_commandEdit->setEnabled(false);
    m_sendButton->setEnabled(false);
    SetLoginFieldsEnabled(true);
    m_kickButton->setEnabled(false);
    m_banButton->setEnabled(false);
    m_playerList->RemoveAllPlayers();
    m_playerColumn->SetTitle(QString::fromLatin1(strings::PLAYER_ADMIN));
    m_shutdownButton->setEnabled(false);
    m_connectButton->setText(strings::CONNECT);
    if (m_statusLog->HasWaiting()) {
        m_statusLog->Queue({{texts::LOG_DISCONNECTED + m_pClient->reason, COLOUR_RED}});
    } else {
        AppendLog(texts::LOG_DISCONNECTED, COLOUR_RED, false);
        AppendLog(FromWire(m_pClient->reason), COLOUR_RED, true);
    }
    m_session->Timers().KillTimer(TIMER_CONNECT_TIMEOUT);
    m_automation->Disconnected();
    m_lost = m_session->Rule().Ending() != SessionEnding::ClosedByAdmin;
    m_bans->Disconnected();
    AskForAttention();
    SessionEnded();
}

// After "Disconnected: <reason>": wait and try again, when the rule and the admin want it.
void CAdminDlg::SessionEnded() {
    const auto wait = m_session->Ended(m_reconnectCheck->isChecked());
    if (!wait) {
        m_fetchedPassword.Clear(); // no attempt will need it; the next connect asks its source
        return;
    }
    SetLoginFieldsEnabled(false);
    m_connectButton->setText(strings::DISCONNECT);
    AppendLog(QString::fromLatin1(texts::LOG_RECONNECTING)
                  .arg(std::llround(static_cast<double>(wait->count()) / 1000)),
              COLOUR_BLUE, true);
}

void CAdminDlg::OnReconnectDue() {
    m_session->ReconnectTimer()->stop(); // when called before the timer fired
    if (m_tickDepth > 0) {
        m_session->PutOffAttempt();
        return;
    }
    if (LoginFields() != m_sessionFields) {
        m_session->StopReconnecting();
        EndReconnecting(texts::LOG_RECONNECT_FIELDS_CHANGED);
        return;
    }
    if (!StartSession(true)) {
        m_session->StopReconnecting();
        EndReconnecting(nullptr); // the attempt could not start; its box said why
    }
    NoteState();
}

// The reconnecting is over: the window is idle again, with `line` in the log (none when null).
void CAdminDlg::EndReconnecting(const char* line) {
    m_connectButton->setText(strings::CONNECT);
    SetLoginFieldsEnabled(true);
    m_fetchedPassword.Clear();
    m_lost = !line; // the admin's own stop leaves the tab idle
    if (line) {
        AppendLog(QString::fromLatin1(line), COLOUR_BLUE, true);
    }
}

QStringList CAdminDlg::LoginFields() const {
    return {m_hostEdit->text(), m_portEdit->text(), m_userEdit->text(), m_passwordEdit->text()};
}

// Empties the client's mailboxes into the log (as much as the tick's time budget allows) and
// the player list. Lists of the server go to the Bans window, through the events.
void CAdminDlg::Refresh() {
    m_statusLog->Queue(m_pClient->TakeLog());
    m_statusLog->ShowWaiting();
    if (m_pClient->listDirty) {
        RedrawPlayerList();
    }
    m_pClient->listTextLength = 0;
}

void CAdminDlg::ArmWaits(CSessionDriver::Step after) {
    m_session->ArmWaits(*m_pClient, after, m_statusLog->HasWaiting());
}

void CAdminDlg::RedrawPlayerList() {
    m_playerList->Redraw(*m_pClient->roster);
    m_playerColumn->SetTitle(
        QString::fromLatin1(strings::PLAYER_ADMIN_COUNT).arg(m_pClient->roster->GetCount()));
    m_pClient->listDirty = false;
}

void CAdminDlg::SetLoginFieldsEnabled(bool enabled) {
    for (QLineEdit* edit : {m_userEdit, m_passwordEdit, m_hostEdit, m_portEdit}) {
        edit->setEnabled(enabled);
    }
    m_serverPicker->setEnabled(enabled);
}

// Kick and Ban act on the player of the selected row, found in the roster as it is now: the
// rows may be sorted, and the roster changes between two redraws.
void CAdminDlg::OnKick() {
    const std::optional<PlayerKey> player = m_playerList->SelectedPlayer();
    if (!m_bConnected || !player) {
        return;
    }
    if (const std::optional<int> position = RosterPosition(*m_pClient->roster, *player)) {
        m_playerMemory->BeforeKick(*position);
        m_pClient->Kick(*position);
    }
}

// A ban asks for its reason and length first; the ban memory sends it and keeps it.
void CAdminDlg::OnBan() {
    const std::optional<PlayerKey> player = m_playerList->SelectedPlayer();
    if (m_bConnected && player) {
        m_bans->AskToRemove(RemovalOrder::Kind::Ban, *player);
    }
}

void CAdminDlg::OnKickWithReason() {
    const std::optional<PlayerKey> player = m_playerList->SelectedPlayer();
    if (m_bConnected && player) {
        m_bans->AskToRemove(RemovalOrder::Kind::Kick, *player);
    }
}

// Sends the command line without its leading blanks; trailing blanks are part of the command.
void CAdminDlg::OnSend() {
    if (!m_bConnected) {
        return;
    }
    if (const std::optional<std::string> line = CheckedCommandLine()) {
        if (!line->empty()) {
            SendConsoleLine(*line);
        }
        CommandLineSent(*line);
    }
}

std::optional<std::string> CAdminDlg::CheckedCommandLine() {
    const std::optional<WireText> line = ConsoleLineForWire(m_commandEdit->text().toStdString());
    if (!line) {
        return std::string();
    }
    if (!line->Ok()) {
        // The typed line stays for the admin to mend.
        AfxMessageBox(line->refused.empty() ? line->Describe()
                                            : UnsendableBox(*line).toStdString());
        return std::nullopt;
    }
    return line->latin1;
}

bool CAdminDlg::SendConsoleLine(const std::string& latin1) {
    if (!m_bConnected) {
        return false;
    }
    m_pClient->SendCommand(latin1.c_str());
    m_bans->AdminSent(latin1);
    return true;
}

void CAdminDlg::CommandLineSent(const std::string& latin1) {
    if (!latin1.empty()) {
        if (const QString failure = m_history->Add(FromWire(latin1)); !failure.isEmpty()) {
            AppendLog(failure, COLOUR_DARK_RED, true);
        }
    }
    m_commandEdit->clear();
}

void CAdminDlg::ShowCommandLineMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu(m_commandEdit->createStandardContextMenu());
    menu->addSeparator();
    menu->addAction(QString::fromUtf8(strings::MENU_SEND_TO_ALL), this,
                    &CAdminDlg::sendToAllRequested);
    menu->exec(m_commandEdit->mapToGlobal(at));
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

void CAdminDlg::SetLogOptions(const LogOptions& options) {
    m_statusLog->SetOptions(options);
    SaveLogOptions(m_preferences, options);
}

void CAdminDlg::ShowLogMenu(const QPoint& at) {
    m_statusLog->ShowMenu(at, [this](QMenu& menu) {
        menu.addAction(QString::fromUtf8(strings::MENU_PREFERENCES), this, [this] {
            CPreferencesDlg preferences(m_statusLog->Options(), this);
            preferences.SetChatRetentionDays(
                m_preferences.Int(CPreferences::Key::ChatRetentionDays));
            if (preferences.exec() == QDialog::Accepted) {
                SetLogOptions(preferences.Options());
                m_preferences.Set(CPreferences::Key::ChatRetentionDays,
                                  preferences.ChatRetentionDays());
                m_playerMemory->SetChatRetention(preferences.ChatRetentionDays());
            }
        });
        menu.addAction(QString::fromUtf8(strings::MENU_AUTOMATION), m_automation,
                       &CPageAutomation::ShowWindow);
        menu.addAction(QString::fromUtf8(playertexts::MENU_PLAYERS), m_playerMemory,
                       &CPagePlayerMemory::ShowPlayersWindow);
        menu.addAction(QString::fromUtf8(strings::MENU_BANS), m_bans, &CPageBans::ShowWindow);
        menu.addAction(QString::fromLatin1(strings::ABOUT_MENU), this,
                       [this] { OnSysCommand(IDM_ABOUTBOX); });
    });
}

// Window managers own the system menu, so the About item lives in the background's menu, after
// the window's own commands in a tab.
void CAdminDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (!m_context.windowActions.isEmpty()) {
        menu.addActions(m_context.windowActions);
        menu.addSeparator();
    }
    const QAction* about = menu.addAction(QString::fromLatin1(strings::ABOUT_MENU));
    menu.addAction(QString::fromUtf8(strings::MENU_AUTOMATION), m_automation,
                   &CPageAutomation::ShowWindow);
    menu.addAction(QString::fromUtf8(playertexts::MENU_PLAYERS), m_playerMemory,
                   &CPagePlayerMemory::ShowPlayersWindow);
    menu.addAction(QString::fromUtf8(strings::MENU_BANS), m_bans, &CPageBans::ShowWindow);
    if (menu.exec(event->globalPos()) == about) {
        OnSysCommand(IDM_ABOUTBOX);
    }
}

PageState CAdminDlg::State() const {
    const QString caption = m_connectButton->text();
    if (caption == QLatin1String(strings::CANCEL)) {
        return PageState::Connecting;
    }
    if (caption == QLatin1String(strings::CONNECT)) {
        return m_lost ? PageState::Lost : PageState::Idle;
    }
    if (m_bConnected) {
        return PageState::Connected;
    }
    return m_attemptIsReconnect || m_session->ReconnectTimer()->isActive() ? PageState::Reconnecting
                                                                           : PageState::Connecting;
}

// Every step that can change the state ends here; the window hears of real changes only.
void CAdminDlg::NoteState() {
    if (const PageState now = State(); now != m_shownState) {
        m_shownState = now;
        emit stateChanged();
    }
}

const ServerProfile* CAdminDlg::Profile() const {
    return m_picker ? m_picker->Chosen() : nullptr;
}

QString CAdminDlg::Name() const {
    const ServerProfile* profile = Profile();
    return profile ? QString::fromStdString(profile->name) : m_hostEdit->text();
}

void CAdminDlg::MarkImportant() {
    emit importantRaised();
}

// Only a window the admin is not looking at asks; the desktop marks it in the taskbar.
void CAdminDlg::AskForAttention() {
    if (!isActiveWindow()) {
        ++m_attentionRequests;
        QApplication::alert(this);
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
        m_session->Rule().EndByAdmin(*m_pClient, m_bConnected);
    }
    if (m_passwordFetch) {
        m_passwordFetch->Cancel();
    }
    // vyr.ini holds the plain login: a tab showing a saved server leaves it as it was.
    if (m_context.savedLogin && !Profile()) {
        SaveSettings();
    }
    if (!m_isPage) {
        m_preferences.Set(CPreferences::Key::Geometry, saveGeometry());
    }
    m_statusLog->File().Flush();
    m_session->Stop();
    m_automation->SetClient(nullptr);
    m_playerMemory->Closing();
    m_bans->SetClient(nullptr);
}

// The login fields in vyr.ini: read once when the window opens, written once when it closes.
// Beside them, the window's own preferences.
void CAdminDlg::LoadSettings() {
    if (m_context.savedLogin) {
        const std::string path = SavedLoginPath();
        const LoadedLogin loaded = LoadSavedLogin(path);
        m_userEdit->setText(QString::fromStdString(loaded.login.user));
        m_passwordEdit->setText(QString::fromStdString(loaded.login.password));
        m_savePassCheck->setChecked(loaded.login.savePassword);
        m_hostEdit->setText(QString::fromStdString(loaded.login.host));
        m_portEdit->setText(QString::fromStdString(loaded.login.port));
        if (loaded.notAFile) {
            AppendLog(QString::fromStdString(NotAFileWarning(path)), COLOUR_DARK_RED, true);
        }
        if (loaded.passwordExposed) {
            AppendLog(QString::fromStdString(ExposedPasswordWarning(path)), COLOUR_DARK_RED, true);
        }
    }
    m_statusLog->SetOptions(LoadLogOptions(m_preferences));
    if (m_isPage) {
        return; // the window keeps the geometry, and tells of an unreadable preferences file
    }
    restoreGeometry(m_preferences.Bytes(CPreferences::Key::Geometry));
    if (m_preferences.Unreadable()) {
        AppendLog(QString::fromUtf8(strings::PREFERENCES_UNREADABLE).arg(m_preferences.FileName()),
                  COLOUR_DARK_RED, true);
    }
}

void CAdminDlg::SaveSettings() const {
    SavedLogin login;
    login.user = m_userEdit->text().toStdString();
    login.password = m_passwordEdit->text().toStdString();
    login.savePassword = m_savePassCheck->isChecked();
    login.host = m_hostEdit->text().toStdString();
    login.port = m_portEdit->text().toStdString();
    SaveLogin(SavedLoginPath(), login);
}
