#pragma once
// The status log's options, kept in the preferences (never in vyr.ini).

#include <QString>

class CPreferences;

struct LogOptions {
    bool showTimestamps = true;
    bool keepLogFiles = true;
    // A chat line holding this word (any case) asks for attention; empty asks for none.
    QString watchWord = QStringLiteral("admin");
};

LogOptions LoadLogOptions(const CPreferences& preferences);
void SaveLogOptions(CPreferences& preferences, const LogOptions& options);
