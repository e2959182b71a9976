#pragma once
// The status log's options, kept in the preferences file (never in vyr.ini).

#include <QString>

class QSettings;

struct LogOptions {
    bool showTimestamps = true;
    bool keepLogFiles = true;
    // A chat line holding this word (any case) asks for attention; empty asks for none.
    QString watchWord = QStringLiteral("admin");
};

// What the file holds; a value that is missing or not understood reads as its default.
LogOptions LoadLogOptions(const QSettings& preferences);
void SaveLogOptions(QSettings& preferences, const LogOptions& options);
