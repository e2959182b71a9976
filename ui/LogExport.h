#pragma once
// "Save log as…": the log as shown, as plain text or (for a .htm or .html name) as HTML with
// its colours. The file is created 0600: a log may be private.

#include <QString>

class QTextDocument;

// Empty on success, else why the file could not be written.
QString SaveLog(const QTextDocument& log, const QString& path);
