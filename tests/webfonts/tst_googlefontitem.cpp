#include <GoogleFontItem.h>
#include <LogCapture.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTranslator>
#include <QtTest>

#include "MarkingTranslator.h"

namespace {

QJsonObject entry(const QString& family, const QJsonArray& variants)
{
    QJsonObject object;
    object.insert(QStringLiteral("family"), family);
    object.insert(QStringLiteral("variants"), variants);
    return object;
}

// "300:i" style summary of the weights: n for upright, i for italic.
QString weightsText(const GoogleFontItem& item)
{
    QStringList parts;
    const auto& weights = item.weights();
    for (auto it = weights.constBegin(); it != weights.constEnd(); ++it)
        parts << QStringLiteral("%1:%2%3").arg(it.key()).arg(it->normal ? "n" : "").arg(it->italic ? "i" : "");
    return parts.join(QLatin1Char(' '));
}
}

class tst_GoogleFontItem : public QObject
{
    Q_OBJECT
private slots:
    void labelWeight_data();
    void labelWeight();
    void labelFromVariant_data();
    void labelFromVariant();
    void labelsAreTranslated();
    void weights_data();
    void weights();
    void names();
    void defaultItem();
    void entryKeptWhole();
    void oddVariants();
};

void tst_GoogleFontItem::labelWeight_data()
{
    QTest::addColumn<int>("weight");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<QString>("label");
    QTest::newRow("300") << 300 << false << "Lighter weight (300)";
    QTest::newRow("500 italic") << 500 << true << "Bolder weight (500) (Italic)";
    QTest::newRow("400") << 400 << false << "Normal weight";
    QTest::newRow("400 italic") << 400 << true << "Normal weight (Italic)";
    QTest::newRow("700") << 700 << false << "Bold weight";
    QTest::newRow("700 italic") << 700 << true << "Bold weight (Italic)";
    QTest::newRow("900") << 900 << false << "Bolder weight (900)";
    QTest::newRow("0") << 0 << false << "Lighter weight (0)";
    QTest::newRow("-100") << -100 << false << "Lighter weight (-100)";
    QTest::newRow("399") << 399 << false << "Lighter weight (399)";
    QTest::newRow("401") << 401 << false << "Bolder weight (401)";
}

void tst_GoogleFontItem::labelWeight()
{
    QFETCH(int, weight);
    QFETCH(bool, italic);
    QFETCH(QString, label);
    QCOMPARE(GoogleFontItem::labelWeight(weight, italic), label);
}

void tst_GoogleFontItem::labelFromVariant_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("label");
    QTest::newRow("regular") << "regular" << "Normal weight";
    QTest::newRow("REGULAR") << "REGULAR" << "Normal weight";
    QTest::newRow("' Italic '") << " Italic " << "Normal weight (Italic)";
    QTest::newRow("700italic") << "700italic" << "Bold weight (Italic)";
    QTest::newRow("700Italic") << "700Italic" << "Bold weight (Italic)";
    QTest::newRow("100") << "100" << "Lighter weight (100)";
    QTest::newRow("400") << "400" << "Normal weight";
    QTest::newRow("300italic") << "300italic" << "Lighter weight (300) (Italic)";
    QTest::newRow("empty") << "" << "Lighter weight (0)";
    QTest::newRow("bold") << "bold" << "Lighter weight (0)";
}

void tst_GoogleFontItem::labelFromVariant()
{
    QFETCH(QString, variant);
    QFETCH(QString, label);
    QCOMPARE(GoogleFontItem::labelFromVariant(variant), label);
}

void tst_GoogleFontItem::labelsAreTranslated()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString lighter = GoogleFontItem::labelWeight(300, true);
    const QString bold = GoogleFontItem::labelFromVariant(QStringLiteral("700"));
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(lighter, QStringLiteral("<GoogleFontItem>Lighter weight (300) (Italic)"));
    QCOMPARE(bold, QStringLiteral("<GoogleFontItem>Bold weight"));
}

void tst_GoogleFontItem::weights_data()
{
    QTest::addColumn<QStringList>("variants");
    QTest::addColumn<QStringList>("common");
    QTest::addColumn<QString>("weights");
    QTest::newRow("common four") << QStringList{"regular", "italic", "700", "700italic"}
                                 << QStringList{"regular", "italic", "700", "700italic"}
                                 << "400:ni 700:ni";
    QTest::newRow("mixed") << QStringList{"regular", "italic", "700", "300italic"}
                           << QStringList{"regular", "italic", "700"}
                           << "300:i 400:ni 700:n";
    QTest::newRow("extremes") << QStringList{"100", "900italic"} << QStringList{} << "100:n 900:i";
    QTest::newRow("italic only") << QStringList{"italic"} << QStringList{"italic"} << "";
    QTest::newRow("letter case") << QStringList{"Regular", "700ITALIC"} << QStringList{"regular", "700italic"}
                                 << "400:n 700:i";
    QTest::newRow("unordered repeats") << QStringList{"900", "300", "900", "300italic"} << QStringList{}
                                       << "300:ni 900:n";
    // A numbered 400 is the regular weight under another name: it must not come out unavailable.
    QTest::newRow("numbered 400") << QStringList{"400", "400italic"} << QStringList{} << "400:ni";
    // Flags need the whole name of the weight; other spellings only name the weight.
    QTest::newRow("other spellings") << QStringList{"0700", "300Regular"} << QStringList{} << "300: 400: 700:";
    QTest::newRow("none") << QStringList{} << QStringList{} << "";
}

void tst_GoogleFontItem::weights()
{
    QFETCH(QStringList, variants);
    QFETCH(QStringList, common);
    QFETCH(QString, weights);
    const GoogleFontItem item(entry(QStringLiteral("Some Family"), QJsonArray::fromStringList(variants)));
    QCOMPARE(item.allVariants(), variants);
    QCOMPARE(item.commonVariants(), common);
    QCOMPARE(weightsText(item), weights);
    QCOMPARE(item.availableWeights(), item.weights().keys());
}

void tst_GoogleFontItem::names()
{
    const GoogleFontItem item(entry(QStringLiteral("Roboto Slab Condensed"), QJsonArray()));
    QCOMPARE(item.family(), QStringLiteral("Roboto Slab Condensed"));
    QCOMPARE(item.compressedFamily(), QStringLiteral("RobotoSlabCondensed"));

    QJsonObject numeric;
    numeric.insert(QStringLiteral("family"), 12);
    QCOMPARE(GoogleFontItem(numeric).family(), QString());
    QCOMPARE(GoogleFontItem(QJsonObject()).compressedFamily(), QString());
}

void tst_GoogleFontItem::defaultItem()
{
    const GoogleFontItem item;
    QVERIFY(item.object().isEmpty());
    QCOMPARE(item.family(), QString());
    QCOMPARE(item.allVariants(), QStringList());
    QCOMPARE(item.commonVariants(), QStringList());
    QCOMPARE(item.availableWeights(), QList<int>());
}

void tst_GoogleFontItem::entryKeptWhole()
{
    QJsonObject object = entry(QStringLiteral("Open Sans"), QJsonArray{"regular", "700"});
    object.insert(QStringLiteral("category"), QStringLiteral("sans-serif"));
    object.insert(QStringLiteral("files"), QJsonObject{{"regular", "http://example.invalid/a.ttf"}});
    const GoogleFontItem item(object);
    QCOMPARE(item.object(), object);

    // Copies keep the entry and the weights.
    GoogleFontItem copy;
    copy = item;
    QCOMPARE(copy.object(), object);
    QCOMPARE(weightsText(copy), QStringLiteral("400:n 700:n"));
    const GoogleFontItem moved(std::move(copy));
    QCOMPARE(weightsText(moved), QStringLiteral("400:n 700:n"));
}

void tst_GoogleFontItem::oddVariants()
{
    // Non-string elements read as empty strings and name no weight; a "variants" that is not an
    // array gives no variants. Nothing is logged.
    LogCapture logs;
    QJsonObject object;
    object.insert(QStringLiteral("family"), QStringLiteral("Odd"));
    object.insert(QStringLiteral("variants"), QJsonArray{700, QJsonValue(), "regular", QJsonObject()});
    const GoogleFontItem item(object);
    QCOMPARE(item.allVariants(), (QStringList{"", "", "regular", ""}));
    QCOMPARE(weightsText(item), QStringLiteral("400:n"));

    object.insert(QStringLiteral("variants"), QStringLiteral("regular"));
    QCOMPARE(GoogleFontItem(object).allVariants(), QStringList());
    QCOMPARE(logs.count(), 0);
}

QTEST_GUILESS_MAIN(tst_GoogleFontItem)
#include "tst_googlefontitem.moc"
