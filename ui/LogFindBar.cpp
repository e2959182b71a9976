#include "ui/LogFindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "res/Strings.h"

namespace {

// Highlighting stops here, so a one-letter search in a full log stays quick.
constexpr int MAX_HIGHLIGHTS = 1000;

} // namespace

CLogFindBar::CLogFindBar(QPlainTextEdit* log, QWidget* parent)
    : QWidget(parent), m_text(new QLineEdit(this)),
      m_matchCase(new QCheckBox(QString::fromUtf8(strings::FIND_MATCH_CASE), this)), m_log(log) {
    auto* previous = new QPushButton(QString::fromUtf8(strings::FIND_PREVIOUS), this);
    auto* next = new QPushButton(QString::fromUtf8(strings::FIND_NEXT), this);
    for (QPushButton* button : {previous, next}) {
        button->setAutoDefault(false);
    }
    m_text->setPlaceholderText(QString::fromUtf8(strings::FIND_PLACEHOLDER));
    m_text->installEventFilter(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_matchCase);

    connect(previous, &QPushButton::clicked, this, [this] { Find(true); });
    connect(next, &QPushButton::clicked, this, [this] { Find(false); });
    connect(m_text, &QLineEdit::textChanged, this, &CLogFindBar::HighlightAll);
    connect(m_matchCase, &QCheckBox::toggled, this, &CLogFindBar::HighlightAll);
    hide();
}

void CLogFindBar::Open() {
    show();
    m_text->setFocus();
    m_text->selectAll();
    HighlightAll();
}

void CLogFindBar::Close() {
    hide();
    m_log->setExtraSelections({});
    m_log->setFocus();
}

bool CLogFindBar::Find(bool backward) {
    if (m_text->text().isEmpty()) {
        return false;
    }
    QTextDocument::FindFlags flags;
    if (backward) {
        flags |= QTextDocument::FindBackward;
    }
    if (m_matchCase->isChecked()) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (m_log->find(m_text->text(), flags)) {
        return true;
    }
    // Wrap round: search again from the other end.
    const QTextCursor keep = m_log->textCursor();
    m_log->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    if (m_log->find(m_text->text(), flags)) {
        return true;
    }
    m_log->setTextCursor(keep);
    return false;
}

void CLogFindBar::HighlightAll() {
    QList<QTextEdit::ExtraSelection> matches;
    const QString text = m_text->text();
    if (isVisible() && !text.isEmpty()) {
        const QTextDocument::FindFlags flags = m_matchCase->isChecked()
                                                   ? QTextDocument::FindCaseSensitively
                                                   : QTextDocument::FindFlags();
        QTextCharFormat marked;
        marked.setBackground(QColor(255, 230, 110));
        QTextCursor at = m_log->document()->find(text, 0, flags);
        while (!at.isNull() && matches.size() < MAX_HIGHLIGHTS) {
            matches.append({at, marked});
            at = m_log->document()->find(text, at, flags);
        }
    }
    m_log->setExtraSelections(matches);
}

bool CLogFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Cancel)) {
            Close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
