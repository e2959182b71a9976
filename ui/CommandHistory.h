#pragma once
// The command line's keys: Up and Down walk the commands sent before (the newest first, Down past
// the newest gives back what was being typed), Tab completes the word before the cursor and,
// pressed again, goes on to the next candidate. The commands are kept by the core's store, which
// the tabs of one window share: a command sent in one tab is there for Up in every other.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/HistoryStore.h"

class QLineEdit;

class CCommandHistory : public QObject {
  public:
    // Takes Up, Down and Tab from `edit`; `path` empty keeps the history for this run only.
    CCommandHistory(QLineEdit* edit, const QString& path,
                    std::function<std::vector<std::string>()> playerNames);
    // Takes them over a store shared with other command lines.
    CCommandHistory(QLineEdit* edit, std::shared_ptr<CHistoryStore> store,
                    std::function<std::vector<std::string>()> playerNames);

    // Records a sent command. Returns a line for the log the first time the file cannot be
    // written, else an empty text.
    QString Add(const QString& command);

    bool LoadedDamaged() const { return store->LoadedDamaged(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Walk(int step);
    bool Complete();

    QLineEdit* edit;
    std::shared_ptr<CHistoryStore> store;
    std::function<std::vector<std::string>()> playerNames;

    // How many commands back from the newest the walk stands; 0 while not walking. Counted from
    // the newest, so a command another tab adds meanwhile does not move the walk's start.
    std::size_t back = 0;
    QString unsent; // what was typed before Up began the walk

    // The completion in progress: the line it was made from, and what it made of it.
    QString completionSource;
    qsizetype completionCursor = 0;
    QString completedLine;
    std::size_t completionIndex = 0;
};
