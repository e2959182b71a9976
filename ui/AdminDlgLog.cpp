#include "ui/AdminDlg.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

// Appends through a cursor of its own, so the admin's selection in the log stays as it was.
void CAdminDlg::AppendLog(const QString& text, COLORREF colour, bool lineBreak) {
    QScrollBar* scrollBar = m_log->verticalScrollBar();
    // Follow the newest line, unless the admin has scrolled up to read.
    const bool following = scrollBar->value() == scrollBar->maximum();

    QTextCharFormat format;
    format.setForeground(QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
    QTextCursor end(m_log->document());
    end.movePosition(QTextCursor::End);
    // One edit block per entry: the view lays out once, which keeps a full log fast.
    end.beginEditBlock();
    end.insertText(text, format);
    if (lineBreak) {
        end.insertBlock();
    }
    end.endEditBlock();

    if (following) {
        scrollBar->setValue(scrollBar->maximum());
    }
}
