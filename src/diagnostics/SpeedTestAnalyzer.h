#ifndef SPEEDTESTANALYZER_H
#define SPEEDTESTANALYZER_H

#include "larkutils_export.h"

#include "UnitTestInfo.h"

#include <QSharedDataPointer>
#include <QString>

class SpeedTestAnalyzerData;

/// A named stopwatch around a long operation: runs from its construction, records named steps
/// back to back and reports the total and the steps. A disabled probe records and reports nothing.
class LARKUTILS_EXPORT SpeedTestAnalyzer
{
public:
    /// Starts the total and step timers.
    explicit SpeedTestAnalyzer(const QString& name = QString());
    ///@{
    /// Implicitly shared: a copy records on its own from then on.
    SpeedTestAnalyzer(const SpeedTestAnalyzer& other);
    SpeedTestAnalyzer& operator=(const SpeedTestAnalyzer& other);
    ~SpeedTestAnalyzer();
    ///@}

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
    QSharedDataPointer<SpeedTestAnalyzerData> d;
};

#endif // SPEEDTESTANALYZER_H
