#include "ui/AdminDlg.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <utility>

#include "res/Strings.h"

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

} // namespace

void CAdminDlg::AppendLog(const QString& text, COLORREF colour, bool lineBreak) {
    EditLogEnd([&](QTextCursor& end) {
        end.insertText(text, FormatOf(colour));
        if (lineBreak) {
            end.insertBlock();
        }
    });
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
        EditLogEnd([this](QTextCursor& end) {
            if (m_logSkipped > 0) {
                end.insertText(QString::fromLatin1(strings::LOG_SKIPPED).arg(m_logSkipped),
                               FormatOf(COLOUR_DARK_RED));
                end.insertBlock();
                m_logSkipped = 0;
            }
            for (std::size_t n = 0; n < ENTRIES_PER_CHUNK && !m_logBacklog.empty(); ++n) {
                const LogEntry& entry = m_logBacklog.front();
                end.insertText(QString::fromLatin1(entry.text.data(),
                                                   static_cast<qsizetype>(entry.text.size())),
                               FormatOf(entry.colour));
                end.insertBlock();
                m_logBacklog.pop_front();
            }
        });
    }
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
