#pragma once
// The status log kept on disk: $XDG_STATE_HOME/vyr/logs/<host>_<port>/<YYYY-MM-DD>.log, one
// "YYYY-MM-DD HH:MM:SS <text>" line per log line, UTF-8, folders 0700 and files 0600. Lines are
// buffered and written at least once a second, so a slow disk never holds up the window; a write
// that fails is reported once and logging pauses until the next connection.

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <functional>

#include "ui/LineClock.h"

class CLogFile {
  public:
    // `onFailure` gets one text for the admin when writing stops.
    explicit CLogFile(std::function<void(const QString&)> onFailure);

    // A new connection: later lines go to this server's folder, and a paused log resumes.
    void Start(const QString& host, int port);
    // "Keep log files": off writes what is buffered and then nothing until it is on again.
    void SetEnabled(bool enabled);
    // Adds `text` to the current line, which starts with `stamp`; `lineBreak` ends the line.
    void Append(const QString& text, bool lineBreak, const CLineClock::Stamp& stamp);
    // Writes what is buffered.
    void Flush();

    // The folder of the current server's files; the folder of all servers before a connection.
    QString Folder() const;
    // The file the buffered lines go to; empty before a connection.
    QString FilePath() const;

    // The host as a folder name: characters unsafe in a file name become '_'.
    static QString SafeName(const QString& host);

  private:
    void Fail(const QString& path, const QString& why);

    std::function<void(const QString&)> m_onFailure;
    QTimer m_flushTimer;
    QByteArray m_buffer;
    QString m_folder; // empty: no connection yet, or no state folder
    QString m_day;    // the date of the buffered lines
    bool m_enabled = true;
    bool m_paused = false;
    bool m_lineOpen = false; // the buffer ends inside a line
};
