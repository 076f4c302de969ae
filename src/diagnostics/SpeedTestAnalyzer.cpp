#include "SpeedTestAnalyzer.h"

#include "StringUtils.h"

#include <limits>

SpeedTestAnalyzer::SpeedTestAnalyzer(const QString& name)
    : mName(name)
{
    mTotalTimer.start();
    mStepTimer.start();
}

void SpeedTestAnalyzer::append(const QString& stepName)
{
    if (!mEnabled)
        return;
    mSteps.append(UnitTestInfo(stepName, mStepTimer));
}

SpeedTestAnalyzer& SpeedTestAnalyzer::operator<<(const QString& stepName)
{
    append(stepName);
    return *this;
}

int SpeedTestAnalyzer::elapsed() const
{
    if (!mEnabled)
        return -1;
    return int(qMin<qint64>(mTotalTimer.elapsed(), std::numeric_limits<int>::max()));
}

void SpeedTestAnalyzer::setEnabled(bool enabled)
{
    mEnabled = enabled;
}

QString SpeedTestAnalyzer::speedTotalToString() const
{
    if (!mEnabled)
        return QString();
    return StringUtils::formatDurationFromMSec(quint64(mTotalTimer.elapsed()));
}

QString SpeedTestAnalyzer::toString() const
{
    if (!mEnabled)
        return QString();
    QString text = mName + QStringLiteral(" Speed total =") + speedTotalToString() + QLatin1Char('\n');
    for (const UnitTestInfo& step : mSteps)
        text += step.toString() + QLatin1Char('\n');
    return text;
}
