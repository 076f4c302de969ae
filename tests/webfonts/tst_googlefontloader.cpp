#include <CoreApplicationUtils.h>
#include <GoogleFontLoader.h>
#include <LogCapture.h>
#include <TestFiles.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTranslator>
#include <QtTest>

#include "MarkingTranslator.h"

namespace {

// Exposes the settings-folder path of the fresh catalogue.
class Loader : public GoogleFontLoader
{
public:
    using GoogleFontLoader::customFilepath_JsonGoogleFont;
};

QJsonObject family(const QString& name, const QJsonArray& variants = QJsonArray{"regular", "700"})
{
    QJsonObject entry;
    entry.insert(QStringLiteral("kind"), QStringLiteral("webfonts#webfont"));
    entry.insert(QStringLiteral("family"), name);
    entry.insert(QStringLiteral("variants"), variants);
    return entry;
}

QByteArray catalogueOf(const QJsonArray& items)
{
    QJsonObject top;
    top.insert(QStringLiteral("kind"), QStringLiteral("webfonts#webfontList"));
    top.insert(QStringLiteral("items"), items);
    return QJsonDocument(top).toJson();
}

QByteArray catalogue(const QStringList& families)
{
    QJsonArray items;
    for (const QString& name : families)
        items.append(family(name));
    return catalogueOf(items);
}

const QString CUSTOM_ONLY = QStringLiteral("Custom Family");
const QString SHIPPED_ONLY = QStringLiteral("Shipped Family");
const QString FALLBACK_INFO = QStringLiteral(" not retrieved from server... use local version (may osbsolete)");
}

class tst_GoogleFontLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void fromMemory_data();
    void fromMemory();
    void failedParseEmptiesList();
    void fromFile();
    void load_data();
    void load();
    void reloadReplacesList();
    void lookups();
    void summary();
    void shippedCatalogue();
    void loadIsASlot();

private:
    QTemporaryDir mHome;
    QString mCustomPath;
    QString mShippedPath;
};

void tst_GoogleFontLoader::initTestCase()
{
    // Settings go below a temporary home, in Qt's test locations.
    QVERIFY(mHome.isValid());
    qputenv("HOME", QFile::encodeName(mHome.path()));
    QStandardPaths::setTestModeEnabled(true);
    CoreApplicationUtils::setApplicationName(QStringLiteral("FontsTest"));

    mCustomPath = Loader::customFilepath_JsonGoogleFont();
    QVERIFY2(mCustomPath.startsWith(mHome.path() + QLatin1Char('/')), qPrintable(mCustomPath));
    QVERIFY(mCustomPath.endsWith(QLatin1String("/FontsTest/google.json")));
    mShippedPath = GoogleFontLoader().defaultWebFontsPath() + QLatin1String("google.json");
    QVERIFY(mShippedPath.endsWith(QLatin1String("/data/webfonts/google.json")));
    cleanup();
}

void tst_GoogleFontLoader::cleanup()
{
    QFile::remove(mCustomPath);
    QDir().rmdir(QFileInfo(mCustomPath).absolutePath());
    // The shipped place lies beside the test program: leave nothing behind.
    QFile::remove(mShippedPath);
    QDir().rmpath(QFileInfo(mShippedPath).absolutePath());
}

void tst_GoogleFontLoader::cleanupTestCase()
{
    cleanup();
}

void tst_GoogleFontLoader::fromMemory_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("warning"); // fragments of the one expected warning; empty: none

    const QStringList parseError{"GFonts file parsing error:"};
    const QStringList noItems{"GFonts file without \"items\" array"};
    QTest::newRow("empty items") << QByteArray("{\"items\":[]}") << true << QStringList() << QStringList();
    QTest::newRow("three, repeats kept") << catalogue({"Open Sans", "Lato", "Lato"}) << true
                                         << QStringList{"Open Sans", "Lato", "Lato"} << QStringList();
    QTest::newRow("non-object items") << QByteArray("{\"items\":[1,\"x\",null,{\"family\":\"A\"}]}") << true
                                      << QStringList{"", "", "", "A"} << QStringList();
    QTest::newRow("non-string variants") << QByteArray("{\"items\":[{\"family\":\"A\",\"variants\":[1,{}]}]}")
                                         << true << QStringList{"A"} << QStringList();
    QTest::newRow("not json") << QByteArray("not json") << false << QStringList()
                              << (parseError + QStringList{"illegal value"});
    QTest::newRow("nothing") << QByteArray() << false << QStringList() << parseError;
    QTest::newRow("truncated") << catalogue({"Open Sans"}).left(40) << false << QStringList() << parseError;
    // Valid JSON that is no catalogue (an error reply, say) is a failure, not an empty catalogue.
    QTest::newRow("array") << QByteArray("[{\"family\":\"A\"}]") << false << QStringList() << noItems;
    QTest::newRow("no items") << QByteArray("{\"error\":{\"code\":403}}") << false << QStringList() << noItems;
    QTest::newRow("items not an array") << QByteArray("{\"items\":{\"family\":\"A\"}}") << false << QStringList()
                                        << noItems;
}

void tst_GoogleFontLoader::fromMemory()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QFETCH(QStringList, names);
    QFETCH(QStringList, warning);
    GoogleFontLoader loader;
    LogCapture logs;
    QCOMPARE(loader.loadJsonGFontFromBynaryDatas(data), ok);
    QCOMPARE(loader.fontNames(), names);
    QVERIFY(!loader.isLoaded());
    QCOMPARE(logs.count(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QVERIFY2(logs.has(Logwell::LogWarning, "GoogleFontLoader::loadJsonGFontFromBynaryDatas", warning),
                 qPrintable(logs.dump()));
}

void tst_GoogleFontLoader::failedParseEmptiesList()
{
    GoogleFontLoader loader;
    QVERIFY(loader.loadJsonGFontFromBynaryDatas(catalogue({"Lato"})));
    QCOMPARE(loader.fontNames().size(), 1);
    LogCapture logs;
    QVERIFY(!loader.loadJsonGFontFromBynaryDatas("{"));
    QVERIFY(loader.fontNames().isEmpty());
}

void tst_GoogleFontLoader::fromFile()
{
    GoogleFontLoader loader;
    QTemporaryDir dir;
    LogCapture logs;

    const QString good = dir.filePath(QStringLiteral("good.json"));
    QVERIFY(writeFile(good, catalogue({"Lato", "Roboto"}), true));
    QVERIFY(loader.loadJsonGFontFromFilePath(good));
    QCOMPARE(loader.fontNames(), (QStringList{"Lato", "Roboto"}));
    QCOMPARE(logs.count(), 0);

    // Missing: fails quietly, and the list is emptied.
    QVERIFY(!loader.loadJsonGFontFromFilePath(dir.filePath(QStringLiteral("missing.json"))));
    QVERIFY(loader.fontNames().isEmpty());
    QCOMPARE(logs.count(), 0);

    // A folder exists but does not open as a file.
    QVERIFY(loader.loadJsonGFontFromFilePath(good));
    QVERIFY(!loader.loadJsonGFontFromFilePath(dir.path()));
    QVERIFY(loader.fontNames().isEmpty());
    QVERIFY2(logs.has(Logwell::LogWarning, "GoogleFontLoader::loadJsonGFontFromFilePath", "GFonts file opening error"),
             qPrintable(logs.dump()));

    logs.clear();
    const QString bad = dir.filePath(QStringLiteral("bad.json"));
    QVERIFY(writeFile(bad, "{\"items\": [", true));
    QVERIFY(!loader.loadJsonGFontFromFilePath(bad));
    QVERIFY(logs.has(Logwell::LogWarning, "GoogleFontLoader::loadJsonGFontFromBynaryDatas", "GFonts file parsing error:"));
    QVERIFY(!loader.isLoaded());
}

void tst_GoogleFontLoader::load_data()
{
    QTest::addColumn<QByteArray>("custom");  // null: no file
    QTest::addColumn<QByteArray>("shipped"); // null: no file
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("family");     // the family expected, empty for none
    QTest::addColumn<int>("infos");
    QTest::addColumn<int>("warnings");

    const QByteArray custom = catalogue({CUSTOM_ONLY, "Lato"});
    const QByteArray shipped = catalogue({SHIPPED_ONLY, "Lato", "Roboto"});
    QTest::newRow("custom") << custom << shipped << true << CUSTOM_ONLY << 0 << 0;
    QTest::newRow("custom only") << custom << QByteArray() << true << CUSTOM_ONLY << 0 << 0;
    QTest::newRow("shipped") << QByteArray() << shipped << true << SHIPPED_ONLY << 1 << 0;
    QTest::newRow("custom not json") << QByteArray("<html>") << shipped << true << SHIPPED_ONLY << 1 << 1;
    QTest::newRow("custom error reply") << QByteArray("{\"error\":{}}") << shipped << true << SHIPPED_ONLY << 1 << 1;
    QTest::newRow("neither") << QByteArray() << QByteArray() << false << QString() << 1 << 0;
    QTest::newRow("both broken") << QByteArray("x") << QByteArray("y") << false << QString() << 1 << 2;
}

void tst_GoogleFontLoader::load()
{
    QFETCH(QByteArray, custom);
    QFETCH(QByteArray, shipped);
    QFETCH(bool, ok);
    QFETCH(QString, family);
    QFETCH(int, infos);
    QFETCH(int, warnings);
    if (!custom.isNull())
        QVERIFY(writeFile(mCustomPath, custom, true));
    if (!shipped.isNull())
        QVERIFY(writeFile(mShippedPath, shipped, true));

    GoogleFontLoader loader;
    LogCapture logs;
    QCOMPARE(loader.load(), ok);
    QCOMPARE(loader.isLoaded(), ok);
    QCOMPARE(logs.count(Logwell::LogInfo), infos);
    QCOMPARE(logs.count(Logwell::LogWarning), warnings);
    QCOMPARE(logs.count(), infos + warnings);
    if (infos > 0)
        QVERIFY2(logs.has(Logwell::LogInfo, "GoogleFontLoader::load", QStringList{"google.json", FALLBACK_INFO}),
                 qPrintable(logs.dump()));
    if (family.isEmpty()) {
        QVERIFY(loader.fontNames().isEmpty());
        QCOMPARE(loader.stringInformations(), QStringLiteral("No google font available !"));
    } else {
        // One file's list, never both mixed.
        const QStringList names = loader.fontNames();
        QCOMPARE(names.first(), family);
        QCOMPARE(names.count(CUSTOM_ONLY) + names.count(SHIPPED_ONLY), 1);
        QCOMPARE(names.size(), family == CUSTOM_ONLY ? 2 : 3);
    }
}

void tst_GoogleFontLoader::reloadReplacesList()
{
    QVERIFY(writeFile(mCustomPath, catalogue({"Lato"}), true));
    GoogleFontLoader loader;
    LogCapture logs;
    QVERIFY(loader.load());
    QVERIFY(QFile::remove(mCustomPath));
    QVERIFY(!loader.load());
    QVERIFY(!loader.isLoaded());
    QVERIFY(loader.fontNames().isEmpty());
    QCOMPARE(loader.stringInformations(), QStringLiteral("No google font available !"));
}

void tst_GoogleFontLoader::lookups()
{
    GoogleFontLoader loader;
    // A second "Open Sans" later in the list: the first one wins.
    const QByteArray data = catalogueOf(QJsonArray{family("X"), family("Lato"), family("Open Sans"),
                                                   family("Roboto Slab"), family("OPEN SANS", {"900"})});
    QVERIFY(loader.loadJsonGFontFromBynaryDatas(data));
    QCOMPARE(loader.fontNames(), (QStringList{"X", "Lato", "Open Sans", "Roboto Slab", "OPEN SANS"}));

    for (const QString& name : {QStringLiteral("open sans"), QStringLiteral("OPENSANS"), QStringLiteral("Open Sans")}) {
        GoogleFontItem item;
        QVERIFY2(loader.findItemByName(name, item), qPrintable(name));
        QCOMPARE(item.family(), QStringLiteral("Open Sans"));
        QCOMPARE(item.availableWeights(), (QList<int>{400, 700}));
    }
    GoogleFontItem kept(QJsonObject{{"family", "Kept"}});
    QVERIFY(!loader.findItemByName(QStringLiteral(" Open Sans"), kept));
    QVERIFY(!loader.findItemByName(QString(), kept));
    QCOMPARE(kept.family(), QStringLiteral("Kept"));

    QCOMPARE(loader.validName(QStringLiteral(" Open Sans")), QStringLiteral("Open Sans"));
    QCOMPARE(loader.validName(QStringLiteral(" opensans ")), QStringLiteral("Open Sans"));
    QCOMPARE(loader.validName(QStringLiteral("robotoslab")), QStringLiteral("Roboto Slab"));
    QCOMPARE(loader.validName(QStringLiteral("Roboto")), QString());
    QCOMPARE(loader.validName(QString()), QString());
}

void tst_GoogleFontLoader::summary()
{
    QVERIFY(writeFile(mCustomPath, catalogue({"A", "B", "C"}), true));
    GoogleFontLoader loader;
    QCOMPARE(loader.stringInformations(), QStringLiteral("No google font available !"));
    // Parsing alone does not make the catalogue loaded.
    QVERIFY(loader.loadJsonGFontFromBynaryDatas(catalogue({"A"})));
    QCOMPARE(loader.stringInformations(), QStringLiteral("No google font available !"));
    QVERIFY(loader.load());
    QCOMPARE(loader.stringInformations(), QStringLiteral("3 google font available"));

    // The count line is the class's translation; the empty one is not translated.
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString loaded = loader.stringInformations();
    const QString empty = GoogleFontLoader().stringInformations();
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(loaded, QStringLiteral("<GoogleFontLoader>3 google font available"));
    QCOMPARE(empty, QStringLiteral("No google font available !"));
}

void tst_GoogleFontLoader::shippedCatalogue()
{
    // The catalogue shipped in the data folder is a valid list of the service's format.
    const QString path = QStringLiteral(LARK_SOURCE_DIR "/data/webfonts/google.json");
    GoogleFontLoader loader;
    LogCapture logs;
    QVERIFY(loader.loadJsonGFontFromFilePath(path));
    QCOMPARE(logs.count(), 0);
    const QStringList names = loader.fontNames();
    QVERIFY(names.size() >= 10);
    QCOMPARE(QStringList(names).removeDuplicates(), 0);
    QVERIFY(names.contains(QStringLiteral("Open Sans")));
    for (const QString& name : names) {
        GoogleFontItem item;
        QVERIFY(loader.findItemByName(name, item));
        QCOMPARE(item.object().value(QStringLiteral("kind")).toString(), QStringLiteral("webfonts#webfont"));
        QVERIFY2(!item.availableWeights().isEmpty(), qPrintable(name));
        const QJsonObject files = item.object().value(QStringLiteral("files")).toObject();
        for (const QString& variant : item.allVariants())
            QVERIFY2(files.contains(variant), qPrintable(name + QLatin1Char(' ') + variant));
    }
}

void tst_GoogleFontLoader::loadIsASlot()
{
    QVERIFY(writeFile(mShippedPath, catalogue({"Lato"}), true));
    GoogleFontLoader loader;
    QCOMPARE(loader.metaObject()->className(), "GoogleFontLoader");
    QVERIFY(loader.metaObject()->indexOfSlot("load()") >= 0);
    LogCapture logs;
    bool ok = false;
    QVERIFY(QMetaObject::invokeMethod(&loader, "load", Q_RETURN_ARG(bool, ok)));
    QVERIFY(ok);
    QCOMPARE(loader.fontNames(), QStringList{"Lato"});
}

QTEST_GUILESS_MAIN(tst_GoogleFontLoader)
#include "tst_googlefontloader.moc"
