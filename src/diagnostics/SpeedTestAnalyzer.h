#ifndef SPEEDTESTANALYZER_H
#define SPEEDTESTANALYZER_H

#include "larkutils_export.h"

#include "UnitTestInfo.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

/// A named stopwatch around a long operation: runs from its construction, records named steps
/// back to back and reports the total and the steps. A disabled probe records and reports nothing.
class LARKUTILS_EXPORT SpeedTestAnalyzer
{
public:
    /// Starts the total and step timers.
    explicit SpeedTestAnalyzer(const QString& name = QString());

    /// Records a step lasting from the previous step (or the construction) until now.
    void append(const QString& stepName);
    /// Same as append, for chaining.
    SpeedTestAnalyzer& operator<<(const QString& stepName);

    /// Milliseconds since construction; -1 when disabled.
    int elapsed() const;
    /// Switches recording and reporting on or off; the timers keep running.
    void setEnabled(bool enabled);

    /// The formatted time since construction; empty when disabled.
    QString speedTotalToString() const;
    /// "<name> Speed total =<total>" and one line per step; empty when disabled.
    QString toString() const;

private:
    QElapsedTimer mTotalTimer;
    QElapsedTimer mStepTimer;
    QList<UnitTestInfo> mSteps;
    QString mName;
    bool mEnabled = true;
};

#endif // SPEEDTESTANALYZER_H
