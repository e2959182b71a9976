#include "ui/PlayerPageView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/players/PlayerStore.h"
#include "core/players/PlayerTexts.h"
#include "engine/PrintableText.h"
#include "platform/MessageBox.h"
#include "ui/PlayerMemoryTexts.h"
#include "ui/WireText.h"

namespace {

// Chat lines fetched at a time; "Older lines" fetches the next ones.
constexpr int CHAT_PAGE = 200;
constexpr int SESSIONS_SHOWN = 200;

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString Shown(const std::string& serverText) {
    return FromWire(Printable(serverText));
}

QString NameShown(const std::string& name) {
    return name.empty() ? Text(playertexts::SERVER_ROW) : Shown(name);
}

QString Time(std::int64_t at) {
    return Utf8(LocalTimeText(at));
}

QTreeWidget* Table(const QStringList& columns, QWidget* parent) {
    auto* table = new QTreeWidget(parent);
    table->setHeaderLabels(columns);
    table->setRootIsDecorated(false);
    table->setUniformRowHeights(true);
    table->setAllColumnsShowFocus(true);
    table->header()->setStretchLastSection(true);
    return table;
}

// The flag menu's entries, in the order of PlayerFlag.
const PlayerFlag FLAGS[] = {PlayerFlag::None, PlayerFlag::Watch, PlayerFlag::Trusted};

} // namespace

CPlayerPageView::CPlayerPageView(CPlayerStore& store, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(this)), m_summary(new QLabel(this)),
      m_flag(new QComboBox(this)), m_forget(new QPushButton(Text(playertexts::PAGE_FORGET), this)),
      m_tabs(new QTabWidget(this)), m_chatFilter(new QLineEdit(this)),
      m_chatCount(new QLabel(this)),
      m_olderChat(new QPushButton(Text(playertexts::PAGE_MORE_CHAT), this)),
      m_note(new QPlainTextEdit(this)),
      m_saveNote(new QPushButton(Text(playertexts::PAGE_SAVE_NOTE), this)),
      m_status(new QLabel(this)), store(store) {
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    for (QPushButton* button : {m_forget, m_olderChat, m_saveNote}) {
        button->setAutoDefault(false); // Enter in the chat filter presses none of them
    }
    m_flag->addItems({Text(playertexts::FLAG_NONE), Text(playertexts::FLAG_WATCH),
                      Text(playertexts::FLAG_TRUSTED)});

    m_sessions = Table({Text(playertexts::COLUMN_JOINED), Text(playertexts::COLUMN_LEFT),
                        Text(playertexts::COLUMN_HOW)},
                       this);
    m_chat = Table({Text(playertexts::COLUMN_TIME), Text(playertexts::COLUMN_KIND),
                    Text(playertexts::COLUMN_TEXT)},
                   this);
    m_actions = Table({Text(playertexts::COLUMN_TIME), Text(playertexts::COLUMN_ACTION),
                       Text(playertexts::COLUMN_ADMIN), Text(playertexts::COLUMN_DETAIL)},
                      this);
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00  "));
    for (QTreeWidget* table : {m_sessions, m_chat, m_actions}) {
        table->header()->resizeSection(0, timeWidth);
    }
    m_sessions->header()->resizeSection(1, timeWidth);
    m_chat->header()->resizeSection(1, fontMetrics().horizontalAdvance(QStringLiteral("public  ")));
    m_chatFilter->setPlaceholderText(Text(playertexts::PAGE_CHAT_FILTER));
    m_chatFilter->setClearButtonEnabled(true);

    auto* chatPage = new QWidget(this);
    auto* chatLayout = new QVBoxLayout(chatPage);
    auto* chatBottom = new QHBoxLayout;
    chatBottom->addWidget(m_chatCount, 1);
    chatBottom->addWidget(m_olderChat);
    chatLayout->addWidget(m_chatFilter);
    chatLayout->addWidget(m_chat);
    chatLayout->addLayout(chatBottom);
    auto* notePage = new QWidget(this);
    auto* noteLayout = new QVBoxLayout(notePage);
    noteLayout->addWidget(m_note);
    noteLayout->addWidget(m_saveNote, 0, Qt::AlignRight);
    m_tabs->addTab(chatPage, Text(playertexts::PAGE_CHAT));
    m_tabs->addTab(m_sessions, Text(playertexts::PAGE_SESSIONS));
    m_tabs->addTab(m_actions, Text(playertexts::PAGE_ACTIONS));
    m_tabs->addTab(notePage, Text(playertexts::PAGE_NOTE));

    auto* flagRow = new QHBoxLayout;
    flagRow->addWidget(new QLabel(Text(playertexts::PAGE_FLAG), this));
    flagRow->addWidget(m_flag);
    flagRow->addStretch(1);
    flagRow->addWidget(m_forget);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addWidget(m_summary);
    layout->addLayout(flagRow);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_status);

    connect(m_chatFilter, &QLineEdit::returnPressed, this, [this] { Load(false); });
    connect(m_olderChat, &QPushButton::clicked, this, [this] { Load(true); });
    connect(m_saveNote, &QPushButton::clicked, this, &CPlayerPageView::SaveNote);
    connect(m_flag, qOverload<int>(&QComboBox::activated), this, &CPlayerPageView::SetFlag);
    connect(m_forget, &QPushButton::clicked, this, &CPlayerPageView::Forget);
    Clear();
}

void CPlayerPageView::Show(const ServerKey& where, const std::string& admin,
                           const std::string& player, const QString& chatWords) {
    server = where;
    adminUser = admin;
    name = player;
    m_chatFilter->setText(chatWords);
    Load(false);
}

void CPlayerPageView::Clear() {
    showing = false;
    name.clear();
    m_title->setText(Text(playertexts::PAGE_EMPTY));
    m_summary->clear();
    for (QTreeWidget* table : {m_sessions, m_chat, m_actions}) {
        table->clear();
    }
    m_chatCount->clear();
    m_note->clear();
    SetStatus({}, false);
    for (QWidget* control : std::initializer_list<QWidget*>{m_flag, m_forget, m_tabs}) {
        control->setEnabled(false);
    }
}

void CPlayerPageView::SetStatus(const QString& text, bool problem) {
    m_status->setText(text);
    m_status->setStyleSheet(problem ? QStringLiteral("color: #660000") : QString());
    m_status->setVisible(!text.isEmpty());
}

void CPlayerPageView::Load(bool more) {
    PageQuery query;
    query.chatFilter = m_chatFilter->text().toStdString();
    query.chatOffset = more ? chatShown : 0;
    query.chatLimit = CHAT_PAGE;
    query.sessionLimit = more ? 0 : SESSIONS_SHOWN;
    const auto read = store.Page(server, name, query);
    emit readDone();
    if (!read.Ok()) {
        SetStatus(Utf8(read.error), true);
        return;
    }
    if (!read.value) {
        const std::string gone = name;
        Clear();
        m_title->setText(NameShown(gone));
        SetStatus(Text(playertexts::FOUND_NONE), false);
        return;
    }
    const PlayerPage& page = *read.value;
    showing = true;
    SetStatus({}, false);
    for (QWidget* control : std::initializer_list<QWidget*>{m_flag, m_forget, m_tabs}) {
        control->setEnabled(true);
    }
    if (!more) {
        ShowRecord(page.record);
        m_chat->clear();
        chatShown = 0;
        m_sessions->clear();
        for (const SessionEntry& s : page.sessions) {
            const QString how =
                Utf8(JoinHowText(s.howJoined)) + QStringLiteral(", ") +
                (s.howLeft ? Utf8(LeaveHowText(*s.howLeft)) : Text(playertexts::STILL_PLAYING));
            new QTreeWidgetItem(m_sessions,
                                {Time(s.joinedAt), s.leftAt ? Time(*s.leftAt) : QString(), how});
        }
        m_actions->clear();
        for (const ActionEntry& a : page.actions) {
            new QTreeWidgetItem(m_actions, {Time(a.at), Utf8(ActionKindText(a.kind)),
                                            Utf8(NoteText(a.adminUser, true)),
                                            Utf8(NoteText(a.detail, true))});
        }
        m_tabs->setTabText(m_tabs->indexOf(m_sessions),
                           Text(playertexts::PAGE_SESSIONS) +
                               QStringLiteral(" (%1)").arg(page.sessionTotal));
        m_tabs->setTabText(m_tabs->indexOf(m_actions),
                           Text(playertexts::PAGE_ACTIONS) +
                               QStringLiteral(" (%1)").arg(page.actions.size()));
    }
    QList<QTreeWidgetItem*> lines;
    for (const ChatEntry& line : page.chat) {
        lines << new QTreeWidgetItem(
            {Time(line.at), Utf8(ChatKindText(line.kind)), Shown(line.text)});
    }
    m_chat->addTopLevelItems(lines);
    chatShown += static_cast<int>(page.chat.size());
    m_chatCount->setText(Text(playertexts::PAGE_CHAT_COUNT).arg(chatShown).arg(page.chatTotal));
    m_olderChat->setEnabled(chatShown < page.chatTotal);
}

void CPlayerPageView::ShowRecord(const PlayerRecord& r) {
    QString title = NameShown(r.name);
    if (r.onlineSince) {
        title += QStringLiteral(" \u2013 ") + Text(playertexts::ONLINE_NOW);
    }
    m_title->setText(title);
    const QString never = Text(playertexts::NEVER);
    m_summary->setText(Text(playertexts::PAGE_SUMMARY)
                           .arg(r.firstSeen ? Time(*r.firstSeen) : never,
                                r.lastSeen ? Time(*r.lastSeen) : never, QString::number(r.sessions),
                                Utf8(PlayTimeText(r.playSeconds)), QString::number(r.kills),
                                QString::number(r.deaths), QString::number(r.suicides),
                                r.score ? Text(playertexts::PAGE_SCORE).arg(*r.score) : QString(),
                                QString::number(r.kicks))
                           .arg(r.bans));
    m_flag->setCurrentIndex(static_cast<int>(r.flag));
    m_note->setPlainText(Utf8(NoteText(r.note, false)));
}

bool CPlayerPageView::CanWrite() {
    if (store.State() == StoreState::Paused) {
        SetStatus(Text(playertexts::NOTE_NOT_SAVED), true);
        return false;
    }
    return true;
}

void CPlayerPageView::SaveNote() {
    if (showing && CanWrite()) {
        store.SetNote(server, name, m_note->toPlainText().toStdString(), adminUser);
        emit changed(QByteArray::fromStdString(name));
    }
}

void CPlayerPageView::SetFlag(int index) {
    if (showing && index >= 0 && index < static_cast<int>(std::size(FLAGS)) && CanWrite()) {
        store.SetFlag(server, name, FLAGS[index]);
        emit changed(QByteArray::fromStdString(name));
    }
}

void CPlayerPageView::Forget() {
    if (!showing) {
        return;
    }
    const QString question =
        Text(playertexts::FORGET_QUESTION)
            .arg(NameShown(name), Utf8(server.host) + u':' + QString::number(server.port));
    const std::string player = name; // the page may change while the question is open
    const ServerKey where = server;
    if (!AfxQuestionBox(question.toStdString()) || !CanWrite()) {
        return;
    }
    store.ForgetPlayer(where, player);
    Clear();
    emit forgotten(QByteArray::fromStdString(player));
}
