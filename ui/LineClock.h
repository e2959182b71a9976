#pragma once
// The local date and time a log line gets. Lines arrive by the thousand per second on a busy
// server, so the texts are made once per second and reused.

#include <QByteArray>
#include <QString>

class CLineClock {
  public:
    struct Stamp {
        QString date;         // YYYY-MM-DD
        QString time;         // "HH:MM:SS " as the log shows it
        QByteArray fileStamp; // "YYYY-MM-DD HH:MM:SS " as a log file line starts
        int secondOfDay = 0;
    };

    // Now, to the second.
    const Stamp& Now();

    // "HH:MM:SS " for a second of the day.
    static QString TimeText(int secondOfDay);

  private:
    qint64 m_second = -1; // the second since the epoch that m_stamp describes
    Stamp m_stamp;
};
