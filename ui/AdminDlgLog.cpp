#include "ui/AdminDlg.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <utility>

#include "res/Strings.h"
#include "ui/WireText.h"

namespace {

// A refresh tick shows waiting entries for at most this long, in chunks that are each one edit
// (laid out once), so however fast events arrive the event loop keeps turning.
constexpr qint64 REFRESH_BUDGET_MS = 10;
constexpr std::size_t ENTRIES_PER_CHUNK = 64;

QTextCharFormat FormatOf(COLORREF colour) {
    QTextCharFormat format;
    format.setForeground(QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
    return format;
}

// A line's time, in grey before its text; its block's user state holds the second of the day,
// so the times can be taken out and put back when the option changes.
const QTextCharFormat& TimestampFormat() {
    static const QTextCharFormat format = FormatOf(0x808080);
    return format;
}
constexpr int TIMESTAMP_LENGTH = 9; // "HH:MM:SS "
constexpr int NO_TIMESTAMP = -1;

} // namespace

void CAdminDlg::AppendLog(const QString& text, COLORREF colour, bool lineBreak) {
    EditLogEnd([&](QTextCursor& end) { InsertLogText(end, text, colour, lineBreak); });
}

// Every text that reaches the log passes here: on screen, after the time when it starts a line,
// and in the log file.
void CAdminDlg::InsertLogText(QTextCursor& end, const QString& text, COLORREF colour,
                              bool lineBreak) {
    const CLineClock::Stamp& stamp = m_clock.Now();
    if (end.atBlockStart()) {
        end.block().setUserState(stamp.secondOfDay);
        if (m_options.showTimestamps) {
            end.insertText(stamp.time, TimestampFormat());
        }
    }
    end.insertText(text, FormatOf(colour));
    if (lineBreak) {
        end.insertBlock();
        end.block().setUserState(NO_TIMESTAMP);
    }
    m_logFile.Append(text, lineBreak, stamp);
}

// Takes every time out of the log, or puts it back, as one edit.
void CAdminDlg::ShowTimestamps(bool show) {
    QTextCursor at(m_log->document());
    at.beginEditBlock();
    for (QTextBlock line = m_log->document()->begin(); line.isValid(); line = line.next()) {
        if (line.userState() == NO_TIMESTAMP) {
            continue;
        }
        at.setPosition(line.position());
        if (show) {
            at.insertText(CLineClock::TimeText(line.userState()), TimestampFormat());
        } else {
            at.setPosition(line.position() + TIMESTAMP_LENGTH, QTextCursor::KeepAnchor);
            at.removeSelectedText();
        }
    }
    at.endEditBlock();
}

void CAdminDlg::ClearLog() {
    m_log->clear();
}

// Moves the client's new entries behind those still waiting. Waiting entries beyond what the
// log holds could only be pushed out of it by the newer ones: they are counted and dropped, so a
// flood cannot make the window's memory grow without bound.
void CAdminDlg::TakeLogEntries() {
    for (LogEntry& entry : m_pClient->TakeLog()) {
        m_logBacklog.push_back(std::move(entry));
    }
    const auto limit = static_cast<std::size_t>(m_log->maximumBlockCount());
    while (limit > 0 && m_logBacklog.size() > limit) {
        m_logBacklog.pop_front();
        ++m_logSkipped;
    }
}

// Shows waiting entries, each on its own line, within the tick's time budget; the rest wait for
// the next refresh tick. Dropped entries are announced where they would have stood.
void CAdminDlg::ShowLogBacklog() {
    QElapsedTimer spent;
    spent.start();
    while ((m_logSkipped > 0 || !m_logBacklog.empty()) && spent.elapsed() < REFRESH_BUDGET_MS) {
        ShowLogChunk();
    }
}

// Shows the skipped notice, if any, and up to a chunk of waiting entries, as one edit.
void CAdminDlg::ShowLogChunk() {
    EditLogEnd([this](QTextCursor& end) {
        if (m_logSkipped > 0) {
            InsertLogText(end, QString::fromLatin1(strings::LOG_SKIPPED).arg(m_logSkipped),
                          COLOUR_DARK_RED, true);
            m_logSkipped = 0;
        }
        for (std::size_t n = 0; n < ENTRIES_PER_CHUNK && !m_logBacklog.empty(); ++n) {
            const LogEntry& entry = m_logBacklog.front();
            InsertLogText(end, FromWire(entry.text), entry.colour, true);
            m_logBacklog.pop_front();
        }
    });
}

// Appends through a cursor of its own, so the admin's selection in the log stays as it was, and
// as one edit, so the log lays itself out and scrolls once for all that `insert` adds.
void CAdminDlg::EditLogEnd(const std::function<void(QTextCursor&)>& insert) {
    QScrollBar* scrollBar = m_log->verticalScrollBar();
    // Follow the newest line, unless the admin has scrolled up to read.
    const bool following = scrollBar->value() == scrollBar->maximum();

    QTextCursor end(m_log->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    insert(end);
    end.endEditBlock();

    if (following) {
        scrollBar->setValue(scrollBar->maximum());
    }
}

// The log follows the newest line again once the admin's keys bring its cursor back to the last
// line (Ctrl+End, PgDn, the arrows), with that line wholly in view. The log handles the key
// first, so the check sees where the key has taken the cursor.
bool CAdminDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_log || event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    static_cast<QObject*>(m_log)->event(event);
    if (m_log->textCursor().blockNumber() >= m_log->document()->blockCount() - 2) {
        QScrollBar* scrollBar = m_log->verticalScrollBar();
        scrollBar->setValue(scrollBar->maximum());
    }
    return event->isAccepted();
}
