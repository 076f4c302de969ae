#include "SpeedTestAnalyzer.h"

#include "StringUtils.h"

#include <QElapsedTimer>
#include <QList>
#include <QSharedData>

#include <limits>

class SpeedTestAnalyzerData : public QSharedData
{
public:
    QElapsedTimer mTotalTimer;
    QElapsedTimer mStepTimer;
    QList<UnitTestInfo> mSteps;
    QString mName;
    bool mEnabled = true;
};

SpeedTestAnalyzer::SpeedTestAnalyzer(const QString& name)
    : d(new SpeedTestAnalyzerData)
{
    d->mName = name;
    d->mTotalTimer.start();
    d->mStepTimer.start();
}

SpeedTestAnalyzer::SpeedTestAnalyzer(const SpeedTestAnalyzer& other) = default;
SpeedTestAnalyzer& SpeedTestAnalyzer::operator=(const SpeedTestAnalyzer& other) = default;
SpeedTestAnalyzer::~SpeedTestAnalyzer() = default;

void SpeedTestAnalyzer::append(const QString& stepName)
{
    if (!d->mEnabled)
        return;
    d->mSteps.append(UnitTestInfo(stepName, d->mStepTimer));
}

SpeedTestAnalyzer& SpeedTestAnalyzer::operator<<(const QString& stepName)
{
    append(stepName);
    return *this;
}

int SpeedTestAnalyzer::elapsed() const
{
    if (!d->mEnabled)
        return -1;
    return int(qMin<qint64>(d->mTotalTimer.elapsed(), std::numeric_limits<int>::max()));
}

void SpeedTestAnalyzer::setEnabled(bool enabled)
{
    d->mEnabled = enabled;
}

QString SpeedTestAnalyzer::speedTotalToString() const
{
    if (!d->mEnabled)
        return QString();
    return StringUtils::formatDurationFromMSec(quint64(d->mTotalTimer.elapsed()));
}

QString SpeedTestAnalyzer::toString() const
{
    if (!d->mEnabled)
        return QString();
    QString text = d->mName + QStringLiteral(" Speed total =") + speedTotalToString() + QLatin1Char('\n');
    for (const UnitTestInfo& step : d->mSteps)
        text += step.toString() + QLatin1Char('\n');
    return text;
}
