#include <CurrencyUtils.h>
#include <LogCapture.h>

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(QLocale::CurrencySymbolFormat)

class tst_CurrencyUtils : public QObject
{
    Q_OBJECT
private slots:
    // Must stay first: the numeric codes are there before anything else has built the tables.
    void numericCodeOnFirstCall();
    void numericCode_data();
    void numericCode();
    void listIsoCodes();
    void currencySymbol_data();
    void currencySymbol();
    void symbolFormatsOfEveryCode();
    void symbolComesFromEnglishLocales();
    void unknownSymbolFormat();
    void roundPrice_data();
    void roundPrice();
    void roundPriceNotFinite_data();
    void roundPriceNotFinite();
    void formatPrice_data();
    void formatPrice();
    void formatPrecisionPriceForInputLineEdit_data();
    void formatPrecisionPriceForInputLineEdit();
};

void tst_CurrencyUtils::numericCodeOnFirstCall()
{
    LogCapture logs;
    QCOMPARE(CurrencyUtils::currencyNumericCode(QStringLiteral("EUR")), 978);
    QCOMPARE(logs.count(), 0);
}

void tst_CurrencyUtils::numericCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("numeric");
    QTest::newRow("EUR") << "EUR" << 978;
    QTest::newRow("USD") << "USD" << 840;
    QTest::newRow("GBP") << "GBP" << 826;
    QTest::newRow("eur") << "eur" << 0;
    QTest::newRow("CHF") << "CHF" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_CurrencyUtils::numericCode()
{
    QFETCH(QString, code);
    QFETCH(int, numeric);
    QCOMPARE(CurrencyUtils::currencyNumericCode(code), numeric);
}

void tst_CurrencyUtils::listIsoCodes()
{
    const QStringList codes = CurrencyUtils::listIsoCodes();
    QStringList sorted = codes;
    sorted.sort();
    sorted.removeDuplicates();
    QCOMPARE(codes, sorted);
    for (const char* code : {"EUR", "USD", "GBP"})
        QVERIFY2(codes.contains(QLatin1String(code)), code);
    // Built once: a second call gives the same table.
    QCOMPARE(CurrencyUtils::listIsoCodes(), codes);
}

void tst_CurrencyUtils::currencySymbol_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QLocale::CurrencySymbolFormat>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XXX code") << "XXX" << QLocale::CurrencyIsoCode << "";
    QTest::newRow("XXX symbol") << "XXX" << QLocale::CurrencySymbol << "";
    QTest::newRow("XXX name") << "XXX" << QLocale::CurrencyDisplayName << "";
    QTest::newRow("eur (lower case)") << "eur" << QLocale::CurrencySymbol << "";
    QTest::newRow("empty") << "" << QLocale::CurrencySymbol << "";
    QTest::newRow("EUR code") << "EUR" << QLocale::CurrencyIsoCode << "EUR";
    QTest::newRow("EUR symbol") << "EUR" << QLocale::CurrencySymbol << "€";
    QTest::newRow("EUR name") << "EUR" << QLocale::CurrencyDisplayName << "Euro";
    QTest::newRow("GBP symbol") << "GBP" << QLocale::CurrencySymbol << "£";
    QTest::newRow("CAD symbol") << "CAD" << QLocale::CurrencySymbol << "$";
    // The English locale of the franc has no symbol: the code stands in.
    QTest::newRow("CHF symbol") << "CHF" << QLocale::CurrencySymbol << "CHF";
    QTest::newRow("CHF name") << "CHF" << QLocale::CurrencyDisplayName << "Swiss Franc";
}

void tst_CurrencyUtils::currencySymbol()
{
    QFETCH(QString, code);
    QFETCH(QLocale::CurrencySymbolFormat, format);
    QFETCH(QString, expected);
    LogCapture logs;
    QCOMPARE(CurrencyUtils::currencySymbol(code, format), expected);
    QCOMPARE(logs.count(), 0);
}

void tst_CurrencyUtils::symbolFormatsOfEveryCode()
{
    for (const QString& code : CurrencyUtils::listIsoCodes()) {
        QCOMPARE(CurrencyUtils::currencySymbol(code, QLocale::CurrencyIsoCode), code);
        QVERIFY2(!CurrencyUtils::currencySymbol(code, QLocale::CurrencySymbol).isEmpty(), qPrintable(code));
        const QString name = CurrencyUtils::currencySymbol(code, QLocale::CurrencyDisplayName);
        QVERIFY2(!name.isEmpty(), qPrintable(code));
        QVERIFY2(name.at(0) == name.at(0).toUpper(), qPrintable(code + QLatin1Char(' ') + name));
    }
}

void tst_CurrencyUtils::symbolComesFromEnglishLocales()
{
    // A currency that an English locale uses shows an English symbol; any other shows that of
    // the first locale of the database that uses it.
    QMap<QString, QStringList> englishSymbols;
    QMap<QString, QString> firstSymbol;
    const QList<QLocale> all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry);
    for (const QLocale& locale : all) {
        const QString code = locale.currencySymbol(QLocale::CurrencyIsoCode);
        if (code.isEmpty() || locale.currencySymbol(QLocale::CurrencyDisplayName).isEmpty())
            continue;
        QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
        if (symbol.isEmpty())
            symbol = code;
        if (locale.language() == QLocale::English)
            englishSymbols[code] << symbol;
        if (!firstSymbol.contains(code))
            firstSymbol.insert(code, symbol);
    }
    QVERIFY(englishSymbols.contains(QStringLiteral("USD")));
    QCOMPARE(CurrencyUtils::listIsoCodes(), firstSymbol.keys());
    for (auto it = firstSymbol.constBegin(); it != firstSymbol.constEnd(); ++it) {
        const QString symbol = CurrencyUtils::currencySymbol(it.key(), QLocale::CurrencySymbol);
        if (englishSymbols.contains(it.key()))
            QVERIFY2(englishSymbols.value(it.key()).contains(symbol), qPrintable(it.key() + QLatin1Char(' ') + symbol));
        else
            QCOMPARE(symbol, it.value());
    }
}

void tst_CurrencyUtils::unknownSymbolFormat()
{
    LogCapture logs;
    QCOMPARE(CurrencyUtils::currencySymbol(QStringLiteral("EUR"), QLocale::CurrencySymbolFormat(7)), QString());
    QVERIFY2(logs.has(Logwell::LogCritical, "CurrencyUtils::currencySymbol", "format"), qPrintable(logs.dump()));
}

void tst_CurrencyUtils::roundPrice_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.125") << 0.125 << 0.13;
    QTest::newRow("-0.125") << -0.125 << -0.12;
    QTest::newRow("0.375") << 0.375 << 0.38;
    QTest::newRow("-0.375") << -0.375 << -0.37;
    QTest::newRow("2.0") << 2.0 << 2.0;
    QTest::newRow("1.005 (below the half)") << 1.005 << 1.0;
    QTest::newRow("-12.344") << -12.344 << -12.34;
    QTest::newRow("-12.346") << -12.346 << -12.35;
    QTest::newRow("0") << 0.0 << 0.0;
    QTest::newRow("1e13") << 1e13 << 1e13;
    QTest::newRow("123456789012.345") << 123456789012.345 << 123456789012.35;
    // Beyond 64-bit hundredths: nothing to round, and no overflow.
    QTest::newRow("1e20") << 1e20 << 1e20;
    QTest::newRow("-1e300") << -1e300 << -1e300;
}

void tst_CurrencyUtils::roundPrice()
{
    QFETCH(double, price);
    QFETCH(double, rounded);
    LogCapture logs;
    QCOMPARE(CurrencyUtils::roundPrice(price), rounded);
    QCOMPARE(logs.count(), 0);
}

void tst_CurrencyUtils::roundPriceNotFinite_data()
{
    QTest::addColumn<double>("price");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
}

void tst_CurrencyUtils::roundPriceNotFinite()
{
    QFETCH(double, price);
    LogCapture logs;
    const double rounded = CurrencyUtils::roundPrice(price);
    QCOMPARE(std::isnan(rounded), std::isnan(price));
    if (!std::isnan(price))
        QCOMPARE(rounded, price);
    QVERIFY2(logs.has(Logwell::LogCritical, "CurrencyUtils::roundPrice"), qPrintable(logs.dump()));
}

void tst_CurrencyUtils::formatPrice_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("withSymbol");
    QTest::addColumn<QString>("withoutSymbol");
    QTest::newRow("12.5 EUR") << 12.5 << "EUR" << "12.50 €" << "12.50";
    QTest::newRow("12.5 XXX") << 12.5 << "XXX" << "12.50 " << "12.50";
    QTest::newRow("3 EUR") << 3.0 << "EUR" << "3.00 €" << "3.00";
    QTest::newRow("-1.5 GBP") << -1.5 << "GBP" << "-1.50 £" << "-1.50";
    QTest::newRow("-1.5 no code") << -1.5 << "" << "-1.50 " << "-1.50";
    QTest::newRow("0.125 rounds up") << 0.125 << "EUR" << "0.13 €" << "0.13";
    QTest::newRow("-0.001 is no negative zero") << -0.001 << "EUR" << "0.00 €" << "0.00";
    QTest::newRow("no group separators") << 1234567.891 << "EUR" << "1234567.89 €" << "1234567.89";
}

void tst_CurrencyUtils::formatPrice()
{
    QFETCH(double, price);
    QFETCH(QString, code);
    QFETCH(QString, withSymbol);
    QFETCH(QString, withoutSymbol);
    // The default locale must not change the number format.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    const QString formatted = CurrencyUtils::formatPrice(price, code);
    const QString plain = CurrencyUtils::formatPriceWithoutSymbol(price, code);
    QLocale::setDefault(previous);
    QCOMPARE(formatted, withSymbol);
    QCOMPARE(plain, withoutSymbol);
}

void tst_CurrencyUtils::formatPrecisionPriceForInputLineEdit_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<QString>("text");
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("12.0000004") << 12.0000004 << "12";
    QTest::newRow("0.1234567") << 0.1234567 << "0.123457";
    QTest::newRow("100") << 100.0 << "100";
    QTest::newRow("-2.25") << -2.25 << "-2.25";
    QTest::newRow("1234567.125") << 1234567.125 << "1234567.125";
}

void tst_CurrencyUtils::formatPrecisionPriceForInputLineEdit()
{
    QFETCH(double, price);
    QFETCH(QString, text);
    QCOMPARE(CurrencyUtils::formatPrecisionPriceForInputLineEdit(price), text);
}

QTEST_GUILESS_MAIN(tst_CurrencyUtils)
#include "tst_currencyutils.moc"
