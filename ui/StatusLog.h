#pragma once
// The status log around the template's log view: coloured lines, each after the time it arrived;
// the entries that wait while a flood is shown a slice per refresh tick; the find bar; the log
// files on disk; "Save log as…"; and the log's context menu.

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "engine/LogEntry.h"
#include "ui/LineClock.h"
#include "ui/LogFile.h"
#include "ui/LogOptions.h"

class QMenu;
class QPlainTextEdit;
class QTextCursor;
class CLogFindBar;

class CStatusLog : public QObject {
    Q_OBJECT
  public:
    // `view` is the log control; the find bar is made as a child of `barParent`.
    CStatusLog(QPlainTextEdit* view, QWidget* barParent);

    // Adds `text` at the end in `colour` (0x00BBGGRR); `lineBreak` ends the line, so two calls
    // without it in the first form one line.
    void Append(const QString& text, COLORREF colour, bool lineBreak);
    // Entries (wire text) taken from the client, or lines that must not overtake them; shown
    // by ShowWaiting. Beyond what the log holds the oldest are counted and dropped, so a flood
    // cannot make the window's memory grow without bound.
    void Queue(std::vector<LogEntry> entries);
    // Shows waiting entries, each on its own line, for at most the refresh tick's time budget.
    void ShowWaiting();
    bool HasWaiting() const { return !backlog.empty() || skipped > 0; }
    void Clear();

    const LogOptions& Options() const { return options; }
    void SetOptions(const LogOptions& next);

    // The log's context menu at `at` (view coordinates), with `extra` actions added by the owner.
    void ShowMenu(const QPoint& at, const std::function<void(QMenu&)>& extra);

    QPlainTextEdit* View() const { return view; }
    CLogFindBar* FindBar() const { return findBar; }
    CLogFile& File() { return file; }

  signals:
    // The admin chose other options on the menu; the owner applies and keeps them.
    void optionsChosen(const LogOptions& options);
    // `count` lines were ended in one edit.
    void linesAdded(int count);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowChunk();
    void Insert(QTextCursor& end, const QString& text, COLORREF colour, bool lineBreak);
    void EditEnd(const std::function<void(QTextCursor&)>& insert);
    void ShowTimestamps(bool show);
    void SaveAs();
    void OpenFolder();

    QPlainTextEdit* view;
    CLogFindBar* findBar;
    CLogFile file;
    CLineClock clock;
    LogOptions options;
    std::deque<LogEntry> backlog; // taken from the client, not shown yet
    long long skipped = 0;        // dropped from the backlog since the last notice
    int endedLines = 0;           // in the edit under way
};
