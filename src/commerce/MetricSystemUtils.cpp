#include "MetricSystemUtils.h"

MetricSystemUtils::MetricSystemUtils(QObject* parent)
    : QObject(parent)
{
}

MetricSystemUtils::~MetricSystemUtils() = default;

QString MetricSystemUtils::symbol(TypeGrandeur type, SystemMetric system, Display display)
{
    // Only the metric system in symbol form is known; other combinations have nothing to show.
    if (system != Metric || display != Symbol)
        return QString();
    switch (type) {
    case Length:
        return QStringLiteral("m");
    case Weight:
        return QStringLiteral("Kg");
    case Distance:
        return QStringLiteral("Km");
    }
    return QString();
}
