#include "TaxeRatesUtils.h"

#include "FileUtils.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {
const char* const RATES_RESOURCE = ":/larkutils/ue_tax_rates/taxes_ue.json";

// Category number -> member of a country entry. The numbering is not the order of the file.
const char* const CATEGORY_MEMBERS[] = {
    "standard_rate",      // 0
    "reduced_rate_alt",   // 1
    "reduced_rate",       // 2
    "super_reduced_rate", // 3
    "parking_rate",       // 4
};
const int CATEGORY_COUNT = int(sizeof(CATEGORY_MEMBERS) / sizeof(CATEGORY_MEMBERS[0]));

// The table, read on first use (main thread).
bool mInitialized = false;
TaxeRatesUtils::RatesTable mMapEuropeanRates;
} // namespace


double TaxeRatesUtils::europeanTax(const QString& country, int category)
{
    if (!mInitialized) {
        // A missing or broken resource leaves the table empty for good, silently.
        mMapEuropeanRates = _ratesFromJson(FileUtils::readFileContent(QString::fromLatin1(RATES_RESOURCE), false));
        mInitialized = true;
    }
    return _rateIn(mMapEuropeanRates, country, category);
}

QList<int> TaxeRatesUtils::europeanTaxCategories()
{
    QList<int> categories;
    for (int category = 0; category < CATEGORY_COUNT; ++category)
        categories << category;
    return categories;
}

TaxeRatesUtils::RatesTable TaxeRatesUtils::_ratesFromJson(const QByteArray& json)
{
    RatesTable table;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (document.isNull())
        return table;
    const QJsonObject rates = document.object().value(QLatin1String("rates")).toObject();
    for (auto it = rates.constBegin(); it != rates.constEnd(); ++it) {
        const QJsonObject entry = it.value().toObject();
        CategoryRates categories;
        for (int category = 0; category < CATEGORY_COUNT; ++category)
            categories.insert(category, entry.value(QLatin1String(CATEGORY_MEMBERS[category])).toDouble(-1.0));
        // "EL"/"el" style duplicates: the later key wins.
        table.insert(it.key().toLower(), categories);
    }
    return table;
}

double TaxeRatesUtils::_rateIn(const RatesTable& table, const QString& country, int category)
{
    return table.value(country.toLower()).value(category, -1.0);
}

