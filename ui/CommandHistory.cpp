#include "ui/CommandHistory.h"

#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "core/Completion.h"
#include "core/CoreTexts.h"

CCommandHistory::CCommandHistory(QLineEdit* edit, const QString& path,
                                 std::function<std::vector<std::string>()> playerNames)
    : CCommandHistory(edit, std::make_shared<CHistoryStore>(QFile::encodeName(path).toStdString()),
                      std::move(playerNames)) {}

CCommandHistory::CCommandHistory(QLineEdit* edit, std::shared_ptr<CHistoryStore> store,
                                 std::function<std::vector<std::string>()> playerNames)
    : QObject(edit), edit(edit), store(std::move(store)), playerNames(std::move(playerNames)) {
    edit->installEventFilter(this);
}

QString CCommandHistory::Add(const QString& command) {
    const std::string failure = store->Add(command.toStdString());
    back = 0;
    unsent.clear();
    return failure.empty()
               ? QString()
               : QString::fromUtf8(texts::HISTORY_NOT_SAVED).arg(QString::fromStdString(failure));
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
    const std::vector<std::string>& commands = store->Commands();
    back = std::min(back, commands.size()); // the store may have been trimmed meanwhile
    if ((step < 0 && back == commands.size()) || (step > 0 && back == 0)) {
        return;
    }
    if (back == 0) {
        unsent = edit->text();
    }
    back = step < 0 ? back + 1 : back - 1;
    edit->setText(back == 0 ? unsent : QString::fromStdString(commands[commands.size() - back]));
}

bool CCommandHistory::Complete() {
    const bool again = !completedLine.isEmpty() && edit->text() == completedLine;
    if (!again) {
        completionSource = edit->text();
        completionCursor = edit->cursorPosition();
        completionIndex = 0;
    }
    const std::string line = completionSource.toStdString();
    const std::size_t cursor =
        static_cast<std::size_t>(completionSource.left(completionCursor).toUtf8().size());
    const Completions found = CompletionsAt(line, cursor, store->Commands(), {}, playerNames());
    if (found.words.empty()) {
        completedLine.clear();
        return false;
    }
    if (again) {
        completionIndex = (completionIndex + 1) % found.words.size();
    }
    const QString before = QString::fromStdString(line.substr(0, found.wordStart));
    const QString word = QString::fromStdString(found.words[completionIndex]);
    completedLine = before + word + completionSource.mid(completionCursor);
    edit->setText(completedLine);
    edit->setCursorPosition(static_cast<int>(before.size() + word.size()));
    return true;
}
