#include "ui/CommandHistory.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

#include "res/Strings.h"
#include "ui/HistoryFile.h"
#include "ui/TabCompletion.h"

CCommandHistory::CCommandHistory(QLineEdit* edit, QString path,
                                 std::function<QStringList()> playerNames)
    : QObject(edit), edit(edit), path(std::move(path)), playerNames(std::move(playerNames)) {
    if (!this->path.isEmpty()) {
        LoadedHistory loaded = LoadHistory(this->path);
        commands = std::move(loaded.commands);
        damaged = loaded.damaged;
    }
    walked = commands.size();
    edit->installEventFilter(this);
}

QString CCommandHistory::Add(const QString& command) {
    if (commands.isEmpty() || commands.last() != command) {
        commands.push_back(command);
        if (commands.size() > MAX_HISTORY) {
            commands.removeFirst();
        }
    }
    walked = commands.size();
    unsent.clear();
    QString error;
    if (path.isEmpty() || SaveHistory(path, commands, &error) || std::exchange(saveFailed, true)) {
        return {};
    }
    return QString::fromLatin1(strings::HISTORY_NOT_SAVED).arg(error);
}

bool CCommandHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) {
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Up:
        Walk(-1);
        return true;
    case Qt::Key_Down:
        Walk(1);
        return true;
    case Qt::Key_Tab:
        // Nothing to complete: Tab moves the focus on as usual.
        return Complete();
    default:
        return false;
    }
}

void CCommandHistory::Walk(int step) {
    const qsizetype next = walked + step;
    if (next < 0 || next > commands.size()) {
        return;
    }
    if (walked == commands.size()) {
        unsent = edit->text();
    }
    walked = next;
    edit->setText(walked == commands.size() ? unsent : commands[walked]);
}

bool CCommandHistory::Complete() {
    const bool again = !completedLine.isEmpty() && edit->text() == completedLine;
    if (!again) {
        completionSource = edit->text();
        completionCursor = edit->cursorPosition();
        completionIndex = 0;
    }
    const Completions found =
        CompletionsAt(completionSource, completionCursor, commands, playerNames());
    if (found.words.isEmpty()) {
        completedLine.clear();
        return false;
    }
    if (again) {
        completionIndex = (completionIndex + 1) % static_cast<int>(found.words.size());
    }
    const QString& word = found.words[completionIndex];
    completedLine =
        completionSource.left(found.wordStart) + word + completionSource.mid(completionCursor);
    edit->setText(completedLine);
    edit->setCursorPosition(static_cast<int>(found.wordStart + word.size()));
    return true;
}
