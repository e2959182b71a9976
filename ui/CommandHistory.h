#pragma once
// The command line's memory: Up and Down walk the commands sent before (the newest first, Down
// past the newest gives back what was being typed), Tab completes the word before the cursor
// and, pressed again, goes on to the next candidate. The history survives in a file.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLineEdit;

class CCommandHistory : public QObject {
  public:
    // Takes Up, Down and Tab from `edit`; `path` empty keeps the history for this run only.
    CCommandHistory(QLineEdit* edit, QString path, std::function<QStringList()> playerNames);

    // Records a sent command (once when sent twice in a row) and saves the history. Returns a
    // line for the log the first time the file cannot be written, else an empty text.
    QString Add(const QString& command);

    const QStringList& Commands() const { return commands; }
    bool LoadedDamaged() const { return damaged; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Walk(int step);
    bool Complete();

    QLineEdit* edit;
    QString path;
    std::function<QStringList()> playerNames;
    QStringList commands; // oldest first
    bool damaged = false;
    bool saveFailed = false;

    qsizetype walked; // index in `commands`; its size while not walking
    QString unsent;   // what was typed before Up began the walk

    // The completion in progress: the line it was made from, and what it made of it.
    QString completionSource;
    qsizetype completionCursor = 0;
    QString completedLine;
    int completionIndex = 0;
};
