#include <LogCapture.h>
#include <TaxeRatesUtils.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
const char* const RESOURCE = ":/larkutils/ue_tax_rates/taxes_ue.json";

// Reaches the parsing and lookup steps that europeanTax runs on the embedded resource.
class Rates : public TaxeRatesUtils
{
public:
    using TaxeRatesUtils::_rateIn;
    using TaxeRatesUtils::_ratesFromJson;
};

// Every code of the shipped table, in file order.
const QStringList CODES{"AT", "BE", "BG", "CY", "CZ", "DK", "DE", "EE", "EL", "GR", "ES", "FI", "FR", "HR", "IT",
                        "LV", "LT", "LU", "HU", "IE", "MT", "NL", "PL", "PT", "RO", "SI", "SK", "SE", "UK", "GB"};
}

class tst_TaxeRatesUtils : public QObject
{
    Q_OBJECT
private slots:
    void resourceIsRegistered();
    void europeanTax_data();
    void europeanTax();
    void wholeTable();
    void duplicateCodesAgree();
    void categories();
    void brokenDocument_data();
    void brokenDocument();
    void oddEntries();
};

void tst_TaxeRatesUtils::resourceIsRegistered()
{
    // The resource lives in the shared library: it must be there for a program that only links it.
    QFile file(QString::fromLatin1(RESOURCE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.contains("\r\n"));
    QCOMPARE(content.count("\r\n"), content.count('\n'));
    QJsonParseError error;
    const QJsonObject top = QJsonDocument::fromJson(content, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(top.value(QStringLiteral("last_updated")).toString(), QStringLiteral("2016-01-01T22:34Z"));
    QVERIFY(!top.value(QStringLiteral("disclaimer")).toString().isEmpty());
    const QJsonObject rates = top.value(QStringLiteral("rates")).toObject();
    QCOMPARE(rates.size(), 30);
    QCOMPARE(rates.value(QStringLiteral("EL")).toObject().value(QStringLiteral("iso_duplicate")).toString(), QStringLiteral("GR"));
    QCOMPARE(rates.value(QStringLiteral("GB")).toObject().value(QStringLiteral("iso_duplicate_of")).toString(), QStringLiteral("UK"));
    QCOMPARE(rates.value(QStringLiteral("FR")).toObject().value(QStringLiteral("country")).toString(), QStringLiteral("France"));
    // Absent rates are the literal false; figures have two decimals.
    QVERIFY(content.contains("\"parking_rate\": false"));
    QVERIFY(content.contains("\"reduced_rate_alt\": 5.50"));
    QVERIFY(content.contains("\"standard_rate\": 20.00"));
}

void tst_TaxeRatesUtils::europeanTax_data()
{
    QTest::addColumn<QString>("country");
    QTest::addColumn<int>("category");
    QTest::addColumn<double>("rate");
    QTest::newRow("FR 0") << "FR" << 0 << 20.0;
    QTest::newRow("fr 1") << "fr" << 1 << 5.5;
    QTest::newRow("fr 2") << "fr" << 2 << 10.0;
    QTest::newRow("Fr 3") << "Fr" << 3 << 2.1;
    QTest::newRow("FR 4 (false)") << "FR" << 4 << -1.0;
    QTest::newRow("IE 2") << "IE" << 2 << 13.5;
    QTest::newRow("IE 3") << "IE" << 3 << 4.8;
    QTest::newRow("IE 4") << "IE" << 4 << 13.5;
    QTest::newRow("DK 0") << "DK" << 0 << 25.0;
    QTest::newRow("DK 2 (false)") << "DK" << 2 << -1.0;
    QTest::newRow("AT 1 (alt)") << "AT" << 1 << 13.0;
    QTest::newRow("AT 2") << "AT" << 2 << 10.0;
    QTest::newRow("lU 3") << "lU" << 3 << 3.0;
    QTest::newRow("SI 2") << "SI" << 2 << 9.5;
    QTest::newRow("US 0") << "US" << 0 << -1.0;
    QTest::newRow("DE 5") << "DE" << 5 << -1.0;
    QTest::newRow("DE -1") << "DE" << -1 << -1.0;
    QTest::newRow("empty code") << "" << 0 << -1.0;
    QTest::newRow("FRA") << "FRA" << 0 << -1.0;
    QTest::newRow("' FR'") << " FR" << 0 << -1.0;
}

void tst_TaxeRatesUtils::europeanTax()
{
    QFETCH(QString, country);
    QFETCH(int, category);
    QFETCH(double, rate);
    LogCapture logs;
    QCOMPARE(TaxeRatesUtils::europeanTax(country, category), rate);
    QCOMPARE(logs.count(), 0);
}

void tst_TaxeRatesUtils::wholeTable()
{
    // Compared with the figures as printed in the table that the file was written from.
    const char* const table[] = {
        "AT 20 13 10 -1 12", "BE 21 6 12 -1 12", "BG 20 -1 9 -1 -1", "CY 19 5 9 -1 -1", "CZ 21 10 15 -1 -1",
        "DK 25 -1 -1 -1 -1", "DE 19 -1 7 -1 -1", "EE 20 -1 9 -1 -1", "EL 24 6 13 -1 -1", "GR 24 6 13 -1 -1",
        "ES 21 -1 10 4 -1", "FI 24 10 14 -1 -1", "FR 20 5.5 10 2.1 -1", "HR 25 5 13 -1 -1", "IT 22 4 10 -1 -1",
        "LV 21 -1 12 -1 -1", "LT 21 5 9 -1 -1", "LU 17 8 14 3 12", "HU 27 5 18 -1 -1", "IE 23 9 13.5 4.8 13.5",
        "MT 18 5 7 -1 -1", "NL 21 -1 6 -1 -1", "PL 23 5 8 -1 -1", "PT 23 6 13 -1 13", "RO 20 5 9 -1 -1",
        "SI 22 -1 9.5 -1 -1", "SK 20 -1 10 -1 -1", "SE 25 6 12 -1 -1", "UK 20 -1 5 -1 -1", "GB 20 -1 5 -1 -1",
    };
    QStringList seen;
    for (const char* row : table) {
        const QStringList fields = QString::fromLatin1(row).split(QLatin1Char(' '));
        seen << fields.first();
        for (int category = 0; category < 5; ++category) {
            const double expected = fields.at(category + 1).toDouble();
            QVERIFY2(TaxeRatesUtils::europeanTax(fields.first(), category) == expected,
                     qPrintable(QStringLiteral("%1 %2").arg(fields.first()).arg(category)));
        }
    }
    QCOMPARE(seen, CODES);
}

void tst_TaxeRatesUtils::duplicateCodesAgree()
{
    for (int category : TaxeRatesUtils::europeanTaxCategories()) {
        QCOMPARE(TaxeRatesUtils::europeanTax(QStringLiteral("GR"), category),
                 TaxeRatesUtils::europeanTax(QStringLiteral("el"), category));
        QCOMPARE(TaxeRatesUtils::europeanTax(QStringLiteral("gb"), category),
                 TaxeRatesUtils::europeanTax(QStringLiteral("UK"), category));
    }
}

void tst_TaxeRatesUtils::categories()
{
    QCOMPARE(TaxeRatesUtils::europeanTaxCategories(), (QList<int>{0, 1, 2, 3, 4}));
}

void tst_TaxeRatesUtils::brokenDocument_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("missing resource") << QByteArray();
    QTest::newRow("not json") << QByteArray("{\"rates\": {\"FR\": {\"standard_rate\": 20.00,");
    QTest::newRow("truncated resource") << QByteArray("{\r\n  \"last_updated\": \"2016-01-01T22:34Z\",\r\n  \"rates\": {\r\n");
    QTest::newRow("no rates") << QByteArray("{\"last_updated\": \"2016-01-01T22:34Z\"}");
    QTest::newRow("rates not an object") << QByteArray("{\"rates\": [20, 21]}");
    QTest::newRow("top-level array") << QByteArray("[{\"FR\": {\"standard_rate\": 20}}]");
}

void tst_TaxeRatesUtils::brokenDocument()
{
    // What a library built without a usable resource answers: -1.0 everywhere, and no log.
    QFETCH(QByteArray, json);
    LogCapture logs;
    const Rates::RatesTable table = Rates::_ratesFromJson(json);
    QVERIFY(table.isEmpty());
    for (const QString& code : CODES + QStringList{"fr", "US", ""}) {
        for (int category = -1; category <= 5; ++category)
            QCOMPARE(Rates::_rateIn(table, code, category), -1.0);
    }
    QCOMPARE(logs.count(), 0);
}

void tst_TaxeRatesUtils::oddEntries()
{
    // Missing or non-numeric members count as absent rates; keys are folded to lower case.
    const QByteArray json = "{\"rates\": {"
                            "\"XA\": {\"standard_rate\": \"20\", \"reduced_rate\": 0, \"parking_rate\": null},"
                            "\"XB\": 12,"
                            "\"Xc\": {\"standard_rate\": 2.00}}}";
    LogCapture logs;
    const Rates::RatesTable table = Rates::_ratesFromJson(json);
    QCOMPARE(table.keys(), (QStringList{"xa", "xb", "xc"}));
    QCOMPARE(table.value("xa"), (Rates::CategoryRates{{0, -1.0}, {1, -1.0}, {2, 0.0}, {3, -1.0}, {4, -1.0}}));
    QCOMPARE(table.value("xb").size(), 5);
    QCOMPARE(Rates::_rateIn(table, "Xb", 0), -1.0);
    QCOMPARE(Rates::_rateIn(table, "XC", 0), 2.0);
    QCOMPARE(logs.count(), 0);
}

QTEST_GUILESS_MAIN(tst_TaxeRatesUtils)
#include "tst_taxeratesutils.moc"
