#pragma once
// What Tab may put in place of the word before the cursor. The client cannot know a server's
// command set, so a first word starting with '/' completes to commands typed before; any other
// word completes to a player's name.

#include <QString>
#include <QStringList>

struct Completions {
    qsizetype wordStart = 0;
    QStringList words; // sorted, each once; empty when nothing fits
};

Completions CompletionsAt(const QString& line, qsizetype cursor, const QStringList& history,
                          const QStringList& playerNames);
