#ifndef TIMEUTILS_H
#define TIMEUTILS_H

#include "larkutils_export.h"

#include <QString>

/// Duration formatting with a selectable precision.
class LARKUTILS_EXPORT TimeUtils
{
public:
    /// How fine msecToString goes; every test is "at least", values above 7 act as 7.
    enum TimePrecision : int {
        DayPrecision = 4,
        HourPrecision = 5,
        MinutePrecision = 6,
        SecondPrecision = 7
    };

    /// "1j 1h 1mn 1sec" style duration down to precision; below one minute at SecondPrecision
    /// the millisecond remainder follows ("1sec 500ms"). Empty for 0 or a negative duration.
    static QString msecToString(qint64 msec, TimePrecision precision);
};

#endif // TIMEUTILS_H
