#include "ui/TabCompletion.h"

Completions CompletionsAt(const QString& line, qsizetype cursor, const QStringList& history,
                          const QStringList& playerNames) {
    Completions found;
    found.wordStart = line.lastIndexOf(QLatin1Char(' '), cursor - 1) + 1;
    const QString word = line.mid(found.wordStart, cursor - found.wordStart);
    if (word.isEmpty()) {
        return found;
    }
    if (found.wordStart == 0 && word.startsWith(QLatin1Char('/'))) {
        for (const QString& command : history) {
            const QString first = command.section(QLatin1Char(' '), 0, 0);
            if (first.startsWith(word) && first != word) {
                found.words << first;
            }
        }
    } else {
        for (const QString& name : playerNames) {
            if (name.startsWith(word, Qt::CaseInsensitive) && name != word) {
                found.words << name;
            }
        }
    }
    found.words.sort();
    found.words.removeDuplicates();
    return found;
}
