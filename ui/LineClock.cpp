#include "ui/LineClock.h"

#include <QDateTime>

const CLineClock::Stamp& CLineClock::Now() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_second) {
        m_second = second;
        const QDateTime now = QDateTime::fromSecsSinceEpoch(second);
        m_stamp.date = now.date().toString(QStringLiteral("yyyy-MM-dd"));
        m_stamp.time = now.time().toString(QStringLiteral("HH:mm:ss "));
        m_stamp.fileStamp = (m_stamp.date + u' ' + m_stamp.time).toLatin1();
        m_stamp.secondOfDay = now.time().msecsSinceStartOfDay() / 1000;
    }
    return m_stamp;
}

QString CLineClock::TimeText(int secondOfDay) {
    return QTime::fromMSecsSinceStartOfDay(secondOfDay * 1000)
        .toString(QStringLiteral("HH:mm:ss "));
}
