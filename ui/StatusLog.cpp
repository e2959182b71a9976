#include "ui/StatusLog.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>
#include <utility>

#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "ui/LogExport.h"
#include "ui/LogFindBar.h"
#include "ui/Preferences.h"
#include "ui/WireText.h"

namespace {

// The log keeps this many lines and drops the oldest, so weeks of events stay fast.
constexpr int MAX_LOG_LINES = 100000;

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

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

CStatusLog::CStatusLog(QPlainTextEdit* view, QWidget* barParent)
    : QObject(view), view(view), findBar(new CLogFindBar(view, barParent)),
      file([this](const QString& failure) { Append(failure, COLOUR_DARK_RED, true); }) {
    view->setMaximumBlockCount(MAX_LOG_LINES);
    view->installEventFilter(this);
}

void CStatusLog::Append(const QString& text, COLORREF colour, bool lineBreak) {
    EditEnd([&](QTextCursor& end) { Insert(end, text, colour, lineBreak); });
}

// Every text that reaches the log passes here: on screen, after the time when it starts a line,
// and in the log file.
void CStatusLog::Insert(QTextCursor& end, const QString& text, COLORREF colour, bool lineBreak) {
    const CLineClock::Stamp& stamp = clock.Now();
    if (end.atBlockStart()) {
        end.block().setUserState(stamp.secondOfDay);
        if (options.showTimestamps) {
            end.insertText(stamp.time, TimestampFormat());
        }
    }
    end.insertText(text, FormatOf(colour));
    if (lineBreak) {
        end.insertBlock();
        end.block().setUserState(NO_TIMESTAMP);
        ++endedLines;
    }
    file.Append(text, lineBreak, stamp);
}

// Takes every time out of the log, or puts it back, as one edit.
void CStatusLog::ShowTimestamps(bool show) {
    QTextCursor at(view->document());
    at.beginEditBlock();
    for (QTextBlock line = view->document()->begin(); line.isValid(); line = line.next()) {
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

void CStatusLog::Clear() {
    view->clear();
}

void CStatusLog::Queue(std::vector<LogEntry> entries) {
    for (LogEntry& entry : entries) {
        backlog.push_back(std::move(entry));
    }
    const auto limit = static_cast<std::size_t>(view->maximumBlockCount());
    while (limit > 0 && backlog.size() > limit) {
        backlog.pop_front();
        ++skipped;
    }
}

void CStatusLog::ShowWaiting() {
    QElapsedTimer spent;
    spent.start();
    while (HasWaiting() && spent.elapsed() < REFRESH_BUDGET_MS) {
        ShowChunk();
    }
}

// Shows the skipped notice, if any, and up to a chunk of waiting entries, as one edit. Dropped
// entries are announced where they would have stood.
void CStatusLog::ShowChunk() {
    EditEnd([this](QTextCursor& end) {
        if (skipped > 0) {
            Insert(end, QString::fromLatin1(strings::LOG_SKIPPED).arg(skipped), COLOUR_DARK_RED,
                   true);
            skipped = 0;
        }
        for (std::size_t n = 0; n < ENTRIES_PER_CHUNK && !backlog.empty(); ++n) {
            const LogEntry& entry = backlog.front();
            Insert(end, FromWire(entry.text), entry.colour, true);
            backlog.pop_front();
        }
    });
}

// Appends through a cursor of its own, so the admin's selection in the log stays as it was, and
// as one edit, so the log lays itself out and scrolls once for all that `insert` adds.
void CStatusLog::EditEnd(const std::function<void(QTextCursor&)>& insert) {
    QScrollBar* scrollBar = view->verticalScrollBar();
    // Follow the newest line, unless the admin has scrolled up to read.
    const bool following = scrollBar->value() == scrollBar->maximum();

    QTextCursor end(view->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    insert(end);
    end.endEditBlock();

    if (following) {
        scrollBar->setValue(scrollBar->maximum());
    }
    if (const int count = std::exchange(endedLines, 0); count > 0) {
        emit linesAdded(count);
    }
}

// The log follows the newest line again once the admin's keys bring its cursor back to the last
// line (Ctrl+End, PgDn, the arrows), with that line wholly in view. The log handles the key
// first, so the check sees where the key has taken the cursor.
bool CStatusLog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view || event->type() != QEvent::KeyPress) {
        return false;
    }
    static_cast<QObject*>(view)->event(event);
    if (view->textCursor().blockNumber() >= view->document()->blockCount() - 2) {
        QScrollBar* scrollBar = view->verticalScrollBar();
        scrollBar->setValue(scrollBar->maximum());
    }
    return event->isAccepted();
}

void CStatusLog::SetOptions(const LogOptions& next) {
    if (next.showTimestamps != options.showTimestamps) {
        ShowTimestamps(next.showTimestamps);
    }
    file.SetEnabled(next.keepLogFiles);
    options = next;
}

void CStatusLog::ShowMenu(const QPoint& at, const std::function<void(QMenu&)>& extra) {
    std::unique_ptr<QMenu> menu(view->createStandardContextMenu(at));
    menu->addSeparator();
    menu->addAction(Text(strings::MENU_FIND), findBar, &CLogFindBar::Open);
    menu->addAction(Text(strings::MENU_CLEAR_LOG), this, &CStatusLog::Clear);
    menu->addSeparator();
    QAction* timestamps = menu->addAction(Text(strings::MENU_SHOW_TIMESTAMPS));
    timestamps->setCheckable(true);
    timestamps->setChecked(options.showTimestamps);
    connect(timestamps, &QAction::toggled, this, [this](bool on) {
        LogOptions next = options;
        next.showTimestamps = on;
        emit optionsChosen(next);
    });
    QAction* keep = menu->addAction(Text(strings::MENU_KEEP_LOG_FILES));
    keep->setCheckable(true);
    keep->setChecked(options.keepLogFiles);
    connect(keep, &QAction::toggled, this, [this](bool on) {
        LogOptions next = options;
        next.keepLogFiles = on;
        emit optionsChosen(next);
    });
    menu->addAction(Text(strings::MENU_OPEN_LOG_FOLDER), this, &CStatusLog::OpenFolder);
    menu->addAction(Text(strings::MENU_SAVE_LOG_AS), this, &CStatusLog::SaveAs);
    menu->addSeparator();
    extra(*menu);
    menu->exec(view->viewport()->mapToGlobal(at));
}

void CStatusLog::SaveAs() {
    const QString path = QFileDialog::getSaveFileName(view, Text(strings::MENU_SAVE_LOG_AS),
                                                      QString(), Text(strings::SAVE_LOG_FILTERS));
    if (path.isEmpty()) {
        return;
    }
    if (const QString failure = SaveLog(*view->document(), path); !failure.isEmpty()) {
        AfxMessageBox(Text(strings::SAVE_LOG_FAILED).arg(path, failure).toStdString());
    }
}

void CStatusLog::OpenFolder() {
    const QString folder = file.Folder();
    if (!folder.isEmpty() && MakePrivateDirectory(folder)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}
