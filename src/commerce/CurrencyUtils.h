#ifndef CURRENCYUTILS_H
#define CURRENCYUTILS_H

#include "larkutils_export.h"

#include <QLocale>
#include <QMap>
#include <QString>
#include <QStringList>

/// Currencies known to Qt's locale database: ISO codes, symbols and names, price rounding and
/// formatting. The tables are built once, on first use.
class LARKUTILS_EXPORT CurrencyUtils
{
public:
    /// Every ISO 4217 code known, ascending.
    static QStringList listIsoCodes();
    /// The code's text in a format (0 ISO code, 1 symbol, 2 display name, capitalised);
    /// empty for a code not in the table (exact, upper case) or an unknown format.
    static QString currencySymbol(const QString& isoCode, QLocale::CurrencySymbolFormat format);
    /// The ISO numeric code of "EUR", "USD" and "GBP"; 0 for any other code.
    static int currencyNumericCode(const QString& isoCode);

    /// The price rounded to hundredths, halves towards positive infinity. A value that is not a
    /// finite number is returned unchanged (and logged).
    static double roundPrice(double price);
    /// "12.50 €": the rounded price with two decimals, a space and the code's symbol.
    static QString formatPrice(double price, const QString& isoCode);
    /// "12.50": the rounded price with two decimals; the code does not change the result.
    static QString formatPriceWithoutSymbol(double price, const QString& isoCode);
    /// The price for an input field: up to six decimals, trailing zeros removed ("12.5").
    static QString formatPrecisionPriceForInputLineEdit(double price);

};

#endif // CURRENCYUTILS_H
