#include "UnitTestInfo.h"

#include "LarkLog.h"
#include "StringUtils.h"

#include <QElapsedTimer>
#include <QSharedData>

#include <limits>

class UnitTestInfoData : public QSharedData
{
public:
    QString mName;
    qint32 mElapsed = 0;
};

UnitTestInfo::UnitTestInfo(const QString& name, QElapsedTimer& timer)
    : d(new UnitTestInfoData)
{
    d->mName = name;
    if (!timer.isValid()) {
        LARK_CRITICAL << "timer not started for step" << name;
        timer.start();
        return;
    }
    const qint64 elapsed = timer.restart();
    d->mElapsed = qint32(qBound(qint64(0), elapsed, qint64(std::numeric_limits<qint32>::max())));
}

QString UnitTestInfo::toString() const
{
    return d->mName + QLatin1Char(' ') + StringUtils::formatDurationFromMSec(quint64(d->mElapsed));
}

UnitTestInfo::UnitTestInfo(const UnitTestInfo& other) = default;
UnitTestInfo& UnitTestInfo::operator=(const UnitTestInfo& other) = default;
UnitTestInfo::~UnitTestInfo() = default;
