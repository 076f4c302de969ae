#include <LocalizationUtils.h>

#include <QtTest>

class tst_LocalizationUtils : public QObject
{
    Q_OBJECT
private slots:
    void currentSystemLangCode();
    void isoLangCodeToString_data();
    void isoLangCodeToString();
};

void tst_LocalizationUtils::currentSystemLangCode()
{
    // The test runs with LC_ALL=fr_FR.UTF-8.
    QCOMPARE(LocalizationUtils::currentSystemLangCode(), QStringLiteral("fr_fr"));
}

void tst_LocalizationUtils::isoLangCodeToString_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("fr") << "fr" << "French";
    QTest::newRow("fr_FR") << "fr_FR" << QStringLiteral("français");
    QTest::newRow("pt_BR") << "pt_BR" << QStringLiteral("português");
    QTest::newRow("de") << "de" << "German";
    QTest::newRow("unknown") << "xx" << "C";
    QTest::newRow("empty") << "" << "C";
}

void tst_LocalizationUtils::isoLangCodeToString()
{
    QFETCH(QString, code);
    QTEST(LocalizationUtils::isoLangCodeToString(code), "name");
}

QTEST_APPLESS_MAIN(tst_LocalizationUtils)
#include "tst_localizationutils.moc"
