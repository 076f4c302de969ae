#include "UnitTestInfo.h"

#include "LarkLog.h"
#include "StringUtils.h"

#include <QElapsedTimer>

#include <limits>

UnitTestInfo::UnitTestInfo(const QString& name, QElapsedTimer& timer)
    : mName(name)
{
    if (!timer.isValid()) {
        LARK_CRITICAL << "timer not started for step" << name;
        timer.start();
        return;
    }
    const qint64 elapsed = timer.restart();
    mElapsed = qint32(qBound<qint64>(0, elapsed, std::numeric_limits<qint32>::max()));
}

QString UnitTestInfo::toString() const
{
    return mName + QLatin1Char(' ') + StringUtils::formatDurationFromMSec(quint64(mElapsed));
}
