#ifndef METRICSYSTEMUTILS_H
#define METRICSYSTEMUTILS_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

/// Text symbols of units of measure, by kind of quantity, system of units and display form.
class LARKUTILS_EXPORT MetricSystemUtils : public QObject
{
    Q_OBJECT
public:
    /// The quantity a unit measures.
    enum TypeGrandeur {
        Length = 0,
        Weight = 1,
        Distance = 2
    };
    /// The system of units.
    enum SystemMetric {
        Metric = 0
    };
    /// How a unit is shown.
    enum Display {
        Symbol = 0
    };

    /// Holds no state; a QObject only for its translation context.
    explicit MetricSystemUtils(QObject* parent = nullptr);
    ~MetricSystemUtils() override;

    /// The unit's symbol ("m", "Kg", "Km"); an empty string when no unit is known for the combination.
    static QString symbol(TypeGrandeur type, SystemMetric system, Display display);
};

#endif // METRICSYSTEMUTILS_H
