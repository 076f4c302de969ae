#ifndef UNITTESTINFO_H
#define UNITTESTINFO_H

#include "larkutils_export.h"

#include <QSharedDataPointer>
#include <QString>
#include <QtGlobal>

class QElapsedTimer;
class UnitTestInfoData;

/// One timed step of a SpeedTestAnalyzer: its name and duration in milliseconds.
class LARKUTILS_EXPORT UnitTestInfo
{
public:
    /// Takes the time since the timer's last start as the step's duration and restarts the timer.
    /// An invalid (never started) timer is misuse (logged): the duration is 0 and the timer starts.
    UnitTestInfo(const QString& name, QElapsedTimer& timer);
    ///@{
    /// Implicitly shared: copies are cheap.
    UnitTestInfo(const UnitTestInfo& other);
    UnitTestInfo& operator=(const UnitTestInfo& other);
    ~UnitTestInfo();
    ///@}

    /// The name, a space and the formatted duration, e.g. "Export 1s 250ms ".
    QString toString() const;

private:
    QSharedDataPointer<UnitTestInfoData> d;
};

#endif // UNITTESTINFO_H
