#include "CurrencyUtils.h"

#include "LarkLog.h"
#include "StringUtils.h"

#include <QtGlobal>

#include <cmath>

namespace {
// The tables, built on first use (main thread).
QMap<QString, QLocale> mMapCurrencies;
QMap<QString, int> mMapNumericCodes;

// Highest country number asked of the locale database; later numbers simply give nothing.
const int LAST_COUNTRY_PROBED = 499;

// From 2^52 on, a double has no fraction left to round (and the integer steps below would overflow).
const double ROUNDING_LIMIT = 4503599627370496.0;

void init()
{
    if (mMapNumericCodes.isEmpty()) {
        mMapNumericCodes.insert(QStringLiteral("EUR"), 978);
        mMapNumericCodes.insert(QStringLiteral("USD"), 840);
        mMapNumericCodes.insert(QStringLiteral("GBP"), 826);
    }
    if (!mMapCurrencies.isEmpty())
        return;

    const QLocale::Language reference = QLocale::c().language();
    // Country 0 (any country) lists the whole database; the others list it once more, country by country.
    for (int country = 0; country <= LAST_COUNTRY_PROBED; ++country) {
        const QList<QLocale> locales =
            QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::Country(country));
        for (const QLocale& locale : locales) {
            const QString code = locale.currencySymbol(QLocale::CurrencyIsoCode);
            if (code.isEmpty() || locale.currencySymbol(QLocale::CurrencyDisplayName).isEmpty())
                continue;
            auto stored = mMapCurrencies.find(code);
            if (stored == mMapCurrencies.end()) {
                mMapCurrencies.insert(code, locale);
                continue;
            }
            // The reference language wins over all others, then English over the rest: the last
            // English locale of the walk decides the symbol ("$" rather than "US$").
            const QLocale::Language kept = stored.value().language();
            const QLocale::Language candidate = locale.language();
            if ((kept != reference && candidate == reference)
                || (kept != reference && candidate != reference && candidate == QLocale::English))
                stored.value() = locale;
        }
    }
}
} // namespace

QStringList CurrencyUtils::listIsoCodes()
{
    init();
    return mMapCurrencies.keys();
}

QString CurrencyUtils::currencySymbol(const QString& isoCode, QLocale::CurrencySymbolFormat format)
{
    init();
    if (format != QLocale::CurrencyIsoCode && format != QLocale::CurrencySymbol
        && format != QLocale::CurrencyDisplayName) {
        LARK_CRITICAL << "bad usage!! unknown currency symbol format" << int(format);
        return QString();
    }
    const auto stored = mMapCurrencies.constFind(isoCode);
    if (stored == mMapCurrencies.constEnd())
        return QString();
    QString text = stored.value().currencySymbol(format);
    if (text.isEmpty())
        text = isoCode.toUpper();
    if (format == QLocale::CurrencyDisplayName)
        return StringUtils::capitalize(text);
    return text;
}

int CurrencyUtils::currencyNumericCode(const QString& isoCode)
{
    init();
    return mMapNumericCodes.value(isoCode, 0);
}

double CurrencyUtils::roundPrice(double price)
{
    if (!std::isfinite(price)) {
        LARK_CRITICAL << "bad usage!! price is not a finite number";
        return price;
    }
    const double x = price * 100.0;
    if (std::fabs(x) >= ROUNDING_LIMIT)
        return price;
    qint64 n;
    if (x >= 0.0) {
        n = qint64(x + 0.5);
    } else {
        // Halves go towards positive infinity on this side too: -12.5 gives -12.
        const qint64 k = qint64(x - 1.0);
        n = k + qint64(x - double(k) + 0.5);
    }
    return double(n) / 100.0;
}

QString CurrencyUtils::formatPrice(double price, const QString& isoCode)
{
    return formatPriceWithoutSymbol(price, isoCode) + QLatin1Char(' ')
           + currencySymbol(isoCode, QLocale::CurrencySymbol);
}

QString CurrencyUtils::formatPriceWithoutSymbol(double price, const QString& isoCode)
{
    Q_UNUSED(isoCode)
    return QString::number(roundPrice(price), 'f', 2);
}

QString CurrencyUtils::formatPrecisionPriceForInputLineEdit(double price)
{
    return StringUtils::formatRealForInput(price, 6);
}
