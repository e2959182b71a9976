#pragma once
// The command history file: one command a line, UTF-8, oldest first, the newest MAX_HISTORY kept.

#include <QString>
#include <QStringList>

constexpr int MAX_HISTORY = 500;

struct LoadedHistory {
    QStringList commands; // oldest first, at most MAX_HISTORY, no command twice in a row
    bool damaged = false; // lines that are no command were left out
};

// Reads at most the file's tail that MAX_HISTORY commands can fill, so a huge or garbled file
// loads at once; a missing file is an empty history.
LoadedHistory LoadHistory(const QString& path);

// Replaces the file whole, 0600; false when it could not be written (the old file stays).
bool SaveHistory(const QString& path, const QStringList& commands, QString* error);
