#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "core/HistoryStore.h"
#include "core/LoginRules.h"
#include "engine/LogEntry.h"
#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "ui/AdminDlg.h"
#include "ui/AppIcon.h"
#include "ui/PageTabBar.h"
#include "ui/PlayerColumn.h"
#include "ui/SavedServers.h"
#include "ui/ServerPicker.h"
#include "ui/TabTitle.h"
#include "ui/UserText.h"
#include "ui/WireText.h"

namespace {

constexpr int TITLE_UPDATE_MS = 250;

// In the preferences, the plain login's tab among the servers' names (which cannot be "-").
const QString LOGIN_TAB = QStringLiteral("-");

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// "a", "a and b", "a, b and c".
QString Enumeration(const QStringList& names) {
    if (names.size() < 2) {
        return names.value(0);
    }
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.last();
}

QAction* WindowAction(QWidget* window, const char* text, const QKeySequence& keys) {
    auto* action = new QAction(Text(text), window);
    action->setShortcut(keys);
    window->addAction(action);
    return action;
}

} // namespace

CMainWindow::CMainWindow(QWidget* parent)
    : QWidget(parent), m_tabs(new CPageTabs(this)),
      m_tabBar(static_cast<CPageTabs*>(m_tabs)->Bar()), m_servers(new CSavedServers(this)) {
    setWindowTitle(Text(strings::WINDOW_TITLE));
    setWindowIcon(AppIcon());
    const QString stateDir = StateDirectory();
    m_history = std::make_shared<CHistoryStore>(
        stateDir.isEmpty()
            ? std::string()
            : QFile::encodeName(stateDir + '/' + QLatin1String(strings::HISTORY_FILE))
                  .toStdString());

    m_tabs->setTabBarAutoHide(true);
    m_tabs->setTabsClosable(true);
    m_tabs->setMovable(true);
    m_tabBar->setElideMode(Qt::ElideNone);
    m_tabBar->setUsesScrollButtons(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);

    m_newTab = WindowAction(this, strings::MENU_NEW_TAB, QKeySequence(Qt::CTRL | Qt::Key_T));
    m_closeTab = WindowAction(this, strings::MENU_CLOSE_TAB, QKeySequence(Qt::CTRL | Qt::Key_W));
    m_nextTab =
        WindowAction(this, strings::MENU_NEXT_TAB, QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    m_previousTab =
        WindowAction(this, strings::MENU_PREVIOUS_TAB, QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    connect(m_newTab, &QAction::triggered, this, [this] { NewTab(); });
    connect(m_closeTab, &QAction::triggered, this, [this] { CloseTab(m_tabs->currentIndex()); });
    connect(m_nextTab, &QAction::triggered, this, [this] { ShowTab(+1); });
    connect(m_previousTab, &QAction::triggered, this, [this] { ShowTab(-1); });
    connect(m_tabs, &QTabWidget::tabCloseRequested, this, &CMainWindow::CloseTab);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CMainWindow::OnCurrentChanged);
    m_titleTimer.setSingleShot(true);
    connect(&m_titleTimer, &QTimer::timeout, this, &CMainWindow::ShowAllTitles);

    OpenLastTabs();
    resize(minimumSizeHint());
    restoreGeometry(m_preferences.Bytes(CPreferences::Key::Geometry));
}

// A window destroyed without being closed still logs out and saves.
CMainWindow::~CMainWindow() {
    CloseAll();
}

// The tabs of the last close, in their order; none saved: the plain login's tab alone. What could
// not be opened is told in the first tab's log.
void CMainWindow::OpenLastTabs() {
    QStringList notes;
    if (!m_servers->LoadProblem().isEmpty()) {
        notes << Text(strings::PROFILES_UNREADABLE).arg(m_servers->LoadProblem());
    }
    if (m_preferences.Unreadable()) {
        notes << Text(strings::PREFERENCES_UNREADABLE).arg(m_preferences.FileName());
    }
    QStringList opened;
    for (const QString& tab : m_preferences.Text(CPreferences::Key::OpenTabs)
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (opened.contains(tab)) {
            continue;
        }
        opened << tab;
        if (tab == LOGIN_TAB) {
            AddPage(true);
        } else if (!OpenServer(tab)) {
            notes << Text(strings::TAB_NOT_REOPENED).arg(tab);
        }
    }
    if (Count() == 0) {
        AddPage(true);
    }
    m_tabs->setCurrentIndex(0);
    for (const QString& note : notes) {
        Page(0)->AppendLog(note, COLOUR_DARK_RED, true);
    }
    // The saved servers connect once the window is up, so that any box has a window to stand on.
    QTimer::singleShot(0, this, [this] {
        for (int i = 0; i < Count(); ++i) {
            if (Page(i)->Profile()) {
                Page(i)->OnConnect();
            }
        }
    });
}

CAdminDlg* CMainWindow::AddPage(bool savedLogin) {
    PageContext context;
    context.servers = m_servers;
    context.history = m_history;
    context.ownLink = std::exchange(m_firstPageMade, true);
    context.savedLogin = savedLogin && !m_loginPage;
    context.sameLoginElsewhere = [this](const CAdminDlg& page, const QString& host, int port,
                                        const QString& user) {
        return SameLoginElsewhere(page, host, port, user);
    };
    context.windowActions = {m_newTab, m_closeTab, m_nextTab, m_previousTab};
    auto* page = new CAdminDlg(std::move(context), m_tabs);
    if (savedLogin && !m_loginPage) {
        m_loginPage = page;
    }
    connect(page, &CAdminDlg::stateChanged, this, [this, page] { ShowTitle(page); });
    connect(page, &CAdminDlg::linesAdded, this,
            [this, page](int lines) { CountUnseen(page, lines); });
    connect(page, &CAdminDlg::importantRaised, this, [this, page] { Mark(page); });
    connect(page, &CAdminDlg::sendToAllRequested, this, [this, page] { SendToAll(page); });
    // One width for the player table's column in every tab.
    connect(page->m_playerColumn, &CPlayerColumn::columnWidthChosen, this, [this](int width) {
        for (int i = 0; i < Count(); ++i) {
            Page(i)->m_playerColumn->SetColumnWidth(width);
        }
    });
    m_tabs->addTab(page, QString());
    ShowTitle(page);
    return page;
}

CAdminDlg* CMainWindow::NewTab() {
    CAdminDlg* page = AddPage(!m_loginPage);
    m_tabs->setCurrentWidget(page);
    page->m_serverPicker->setFocus();
    return page;
}

CAdminDlg* CMainWindow::OpenServer(const QString& name) {
    if (!m_servers->Profiles().Find(name.toStdString())) {
        return nullptr;
    }
    CAdminDlg* page = AddPage(false);
    page->m_picker->Choose(name);
    return page;
}

void CMainWindow::CloseTab(int index) {
    CAdminDlg* page = Page(index);
    if (!page) {
        return;
    }
    if (Count() == 1) {
        close();
        return;
    }
    m_tabs->removeTab(index);
    m_unseen.erase(page);
    Dismiss(page);
}

// The tab logs out now (the plain login's tab writes vyr.ini) and goes once the event loop is
// back: the command may have come from that very tab's menu, which is still open on the stack.
void CMainWindow::Dismiss(CAdminDlg* page) {
    page->done(QDialog::Rejected);
    page->deleteLater();
}

void CMainWindow::ShowTab(int step) {
    if (Count() > 1) {
        m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + Count()) % Count());
    }
}

int CMainWindow::Count() const {
    return m_tabs->count();
}

CAdminDlg* CMainWindow::Page(int index) const {
    return static_cast<CAdminDlg*>(m_tabs->widget(index));
}

CAdminDlg* CMainWindow::CurrentPage() const {
    return Page(m_tabs->currentIndex());
}

int CMainWindow::IndexOf(const CAdminDlg* page) const {
    for (int i = 0; i < Count(); ++i) {
        if (Page(i) == page) {
            return i;
        }
    }
    return -1;
}

QString CMainWindow::TitleOf(int index) const {
    return m_tabs->tabText(index);
}

bool CMainWindow::IsMarked(int index) const {
    return m_tabBar->IsImportant(index);
}

// Host names compare without regard to case, as DNS does; the port as a number.
QString CMainWindow::SameLoginElsewhere(const CAdminDlg& asking, const QString& host, int port,
                                        const QString& user) const {
    for (int i = 0; i < Count(); ++i) {
        const CAdminDlg* other = Page(i);
        const PageState state = other->State();
        if (other == &asking || state == PageState::Idle || state == PageState::Lost) {
            continue;
        }
        if (other->m_hostEdit->text().compare(host, Qt::CaseInsensitive) == 0 &&
            PortNumber(other->m_portEdit->text().toStdString()) == port &&
            other->m_userEdit->text() == user) {
            return Text(strings::SAME_LOGIN_REFUSED)
                .arg(TitleOf(i), host + ':' + QString::number(port), user);
        }
    }
    return QString();
}

void CMainWindow::OnCurrentChanged(int index) {
    CAdminDlg* page = Page(index);
    if (!page) {
        return;
    }
    m_unseen.erase(page);
    m_tabBar->SetImportant(index, false);
    ShowTitle(page);
}

void CMainWindow::CountUnseen(CAdminDlg* page, int lines) {
    if (page == CurrentPage()) {
        return;
    }
    m_unseen[page] += lines;
    if (!m_titleTimer.isActive()) {
        m_titleTimer.start(TITLE_UPDATE_MS);
    }
}

void CMainWindow::Mark(CAdminDlg* page) {
    if (page != CurrentPage()) {
        m_tabBar->SetImportant(IndexOf(page), true);
    }
}

void CMainWindow::ShowTitle(CAdminDlg* page) {
    const int index = IndexOf(page);
    if (index < 0) {
        return;
    }
    const auto unseen = m_unseen.find(page);
    const QString title =
        TabTitle(page->Name(), page->State(), unseen == m_unseen.end() ? 0 : unseen->second);
    if (m_tabs->tabText(index) != title) {
        m_tabs->setTabText(index, title);
    }
}

void CMainWindow::ShowAllTitles() {
    for (int i = 0; i < Count(); ++i) {
        ShowTitle(Page(i));
    }
}

void CMainWindow::SendToAll(CAdminDlg* from) {
    const std::optional<std::string> line = from->CheckedCommandLine();
    if (!line || line->empty()) {
        return;
    }
    std::vector<QPointer<CAdminDlg>> targets;
    QStringList names;
    for (int i = 0; i < Count(); ++i) {
        if (Page(i)->m_bConnected) {
            targets.emplace_back(Page(i));
            names << Page(i)->Name();
        }
    }
    if (targets.empty()) {
        AfxMessageBox(strings::SEND_TO_ALL_NONE);
        return;
    }
    // Ticks run while the question is open: a tab may lose its session or go meanwhile.
    const QPointer<CAdminDlg> asking(from);
    if (!AfxQuestionBox(Text(strings::SEND_TO_ALL_QUESTION)
                            .arg(FromWire(*line), Enumeration(names))
                            .toStdString())) {
        return;
    }
    for (const QPointer<CAdminDlg>& page : targets) {
        if (page) {
            page->SendConsoleLine(*line);
        }
    }
    if (asking) {
        asking->CommandLineSent(*line);
    }
}

// The tabs to open at the next start: the saved servers', and the plain login's where it stands.
void CMainWindow::SaveTabs() {
    QStringList tabs;
    for (int i = 0; i < Count(); ++i) {
        const CAdminDlg* page = Page(i);
        if (const ServerProfile* profile = page->Profile()) {
            tabs << QString::fromStdString(profile->name);
        } else if (page == m_loginPage) {
            tabs << LOGIN_TAB;
        }
    }
    m_preferences.Set(CPreferences::Key::OpenTabs, tabs.join(QLatin1Char(' ')));
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    CloseAll();
    event->accept();
    emit closed();
}

void CMainWindow::CloseAll() {
    if (std::exchange(m_closed, true)) {
        return;
    }
    SaveTabs();
    m_preferences.Set(CPreferences::Key::Geometry, saveGeometry());
    m_titleTimer.stop();
    while (Count() > 0) {
        CAdminDlg* page = Page(0);
        m_tabs->removeTab(0);
        Dismiss(page);
    }
    m_unseen.clear();
}
