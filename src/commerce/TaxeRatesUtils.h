#ifndef TAXERATESUTILS_H
#define TAXERATESUTILS_H

#include "larkutils_export.h"

#include <QList>
#include <QMap>
#include <QString>

/// Value-added tax rates of the European Union countries, read from the library's embedded table.
class LARKUTILS_EXPORT TaxeRatesUtils
{
public:
    /// Rate categories: 0 standard, 1 second reduced, 2 reduced, 3 super-reduced, 4 parking.
    using CategoryRates = QMap<int, double>;
    /// The rates of each country, by its code in lower case.
    using RatesTable = QMap<QString, CategoryRates>;

    /// The rate in percent of a country (two-letter code, any letter case) in a category;
    /// -1.0 when there is no such rate, country or category.
    static double europeanTax(const QString& country, int category);
    /// The categories known to europeanTax: 0, 1, 2, 3, 4.
    static QList<int> europeanTaxCategories();

protected:
    /// The table held by a rates document; empty when the document is not valid JSON. Logs nothing.
    static RatesTable _ratesFromJson(const QByteArray& json);
    /// The rate of a country and category in a table, -1.0 when absent.
    static double _rateIn(const RatesTable& table, const QString& country, int category);
};

#endif // TAXERATESUTILS_H
