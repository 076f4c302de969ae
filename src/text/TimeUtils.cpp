#include "TimeUtils.h"

#include <QStringList>

QString TimeUtils::msecToString(qint64 msec, TimePrecision precision)
{
    const int p = int(precision);
    const qint64 days = msec / 86400000;
    const qint64 hours = (msec / 3600000) % 24;
    const qint64 minutes = (msec / 60000) % 60;
    const qint64 seconds = (msec / 1000) % 60;

    QStringList pieces;
    if (p >= DayPrecision && days > 0)
        pieces << QString::number(days) + QLatin1Char('j');
    if (p >= HourPrecision && hours > 0)
        pieces << QString::number(hours) + QLatin1Char('h');
    if (p >= MinutePrecision && minutes > 0)
        pieces << QString::number(minutes) + QLatin1String("mn");
    if (p >= SecondPrecision && seconds > 0)
        pieces << QString::number(seconds) + QLatin1String("sec");
    // Short durations also show their milliseconds, in full (not only the tenths digit).
    if (p >= SecondPrecision && days == 0 && hours == 0 && minutes == 0) {
        const qint64 rest = msec % 1000;
        if (rest > 0)
            pieces << QString::number(rest) + QLatin1String("ms");
    }
    return pieces.join(QLatin1Char(' '));
}
