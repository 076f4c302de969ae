// Runs the demo application and reads what it wrote back through real interpreters and a browser.
#include <ProjectFileLocker.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <TestFiles.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run run(const QString& program, const QStringList& arguments, int timeout = 120000, const QByteArray& input = QByteArray())
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000))
        return result;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeout)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString decodeEntities(QString text)
{
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&nbsp;"), QString(QChar(0xA0)));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

} // namespace

class tst_Demo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void writesTheSite();
    void phpReadsTheSettingsBack();
    void nodeReadsTheProductsBack();
    void browserShowsTheNamesExactly();
    void photoIsUprightProgressiveAndSmall();
    void frenchPage();
    void lockedFolderIsRefused();
    void badOptions_data();
    void badOptions();
    void imageTimeOutStopsTheWorker_data();
    void imageTimeOutStopsTheWorker();

private:
    QTemporaryDir mTemp;
    QString mOut;
    QJsonObject mManifest;
};

void tst_Demo::initTestCase()
{
    mOut = mTemp.filePath(QStringLiteral("export"));
    const Run result = run(QStringLiteral(LARK_DEMO_PROGRAM), {QStringLiteral("--output"), mOut});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QVERIFY(result.out.contains("Open "));
    mManifest = QJsonDocument::fromJson(readFile(mOut + "/manifest.json")).object();
    QVERIFY(!mManifest.isEmpty());
}

void tst_Demo::writesTheSite()
{
    for (const char* name : {"config.php", "data.js", "index.html", "images/photo.jpg", "images/thumbnail.jpg"})
        QVERIFY2(QFileInfo(mOut + "/" + name).size() > 0, name);
    QVERIFY(!QFile::exists(mOut + "/lockfile")); // released at the end
    QCOMPARE(mManifest.value("products").toArray().size(), 4);
}

void tst_Demo::phpReadsTheSettingsBack()
{
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        QSKIP("php-cli is not installed");
    const Run lint = run(php, {QStringLiteral("-l"), mOut + "/config.php"});
    QVERIFY2(lint.exitCode == 0, lint.out.constData());
    const QByteArray script = "<?php include $argv[1];"
                              " echo json_encode(['name'=>SHOP_NAME,'slogan'=>SHOP_SLOGAN,'country'=>SHOP_COUNTRY,"
                              " 'currency'=>SHOP_CURRENCY,'vatStandard'=>SHOP_VAT_STANDARD,'prices'=>PRODUCT_PRICES,"
                              " 'labels'=>PRODUCT_PRICE_LABELS,'rates'=>PRODUCT_VAT_RATES,'eu'=>EU_VAT_RATES,"
                              " 'standard'=>(new ReflectionClass('EuropeanStandardVat'))->getConstants()]);";
    const QString scriptPath = mTemp.filePath(QStringLiteral("read.php"));
    QFile file(scriptPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script);
    file.close();
    const Run result = run(php, {scriptPath, mOut + "/config.php"});
    QVERIFY2(result.exitCode == 0, result.out.constData());
    const QJsonObject back = QJsonDocument::fromJson(result.out).object();
    const QJsonObject shop = mManifest.value("shop").toObject();
    for (const char* key : {"name", "slogan", "country", "currency"})
        QCOMPARE(back.value(key).toString(), shop.value(key).toString());
    QCOMPARE(back.value("vatStandard").toDouble(), shop.value("vatStandard").toDouble());
    for (const QJsonValue& value : mManifest.value("products").toArray()) {
        const QJsonObject product = value.toObject();
        const QString id = product.value("id").toString();
        QCOMPARE(back.value("prices").toObject().value(id).toDouble(), product.value("price").toDouble());
        QCOMPARE(back.value("labels").toObject().value(id).toString(), product.value("priceLabel").toString());
        QCOMPARE(back.value("rates").toObject().value(id).toDouble(), product.value("vatRate").toDouble());
    }
    const QJsonObject vat = mManifest.value("vat").toObject();
    QCOMPARE(vat.size(), 27);
    for (const QString& country : vat.keys()) {
        const QJsonObject expected = vat.value(country).toObject();
        // PHP hands the keys 0 to 4 back as a list.
        const QJsonArray got = back.value("eu").toObject().value(country).toArray();
        QCOMPARE(got.size(), expected.size());
        for (const QString& category : expected.keys())
            QCOMPARE(got.at(category.toInt()).toDouble(), expected.value(category).toDouble());
        QCOMPARE(back.value("standard").toObject().value(country).toDouble(), expected.value("0").toDouble());
    }
}

void tst_Demo::nodeReadsTheProductsBack()
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        QSKIP("node is not installed");
    const QByteArray script = "const fs=require('fs'),vm=require('vm');const c={};"
                              "vm.runInNewContext(fs.readFileSync(process.argv[1],'utf8'),c);"
                              "process.stdout.write(JSON.stringify(c.SHOP));";
    const Run result = run(node, {QStringLiteral("-e"), QString::fromUtf8(script), mOut + "/data.js"});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QJsonObject back = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(back.value("name").toString(), mManifest.value("shop").toObject().value("name").toString());
    const QJsonArray products = back.value("products").toArray();
    const QJsonArray expected = mManifest.value("products").toArray();
    QCOMPARE(products.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QJsonObject a = products.at(i).toObject(), e = expected.at(i).toObject();
        for (const char* key : {"id", "name", "description", "priceLabel"})
            QCOMPARE(a.value(key).toString(), e.value(key).toString());
        QCOMPARE(a.value("price").toDouble(), e.value("price").toDouble());
        QCOMPARE(a.value("vatRate").toDouble(), e.value("vatRate").toDouble());
    }
}

void tst_Demo::browserShowsTheNamesExactly()
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        QSKIP("chromium is not installed");
    const Run result = run(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                                      "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                      "--user-data-dir=" + mTemp.filePath("chromium"), "--dump-dom",
                                      "file://" + mOut + "/index.html"}, 120000);
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QString dom = QString::fromUtf8(result.out);
    QStringList names;
    const QRegularExpression heading(QStringLiteral("<h2 class=\"product-name\">(.*?)</h2>"));
    for (auto it = heading.globalMatch(dom); it.hasNext();)
        names << decodeEntities(it.next().captured(1));
    QStringList expected;
    for (const QJsonValue& value : mManifest.value("products").toArray())
        expected << value.toObject().value("name").toString();
    QCOMPARE(names, expected);
    QCOMPARE(decodeEntities(QRegularExpression(QStringLiteral("<h1 class=\"shop-name\">(.*?)</h1>")).match(dom).captured(1)),
             mManifest.value("shop").toObject().value("name").toString());
    // Nothing of a name or description became markup.
    QVERIFY(!dom.contains(QLatin1String("<b>")));
    QCOMPARE(dom.count(QStringLiteral("<script")), 1); // data.js only
    QCOMPARE(dom.count(QStringLiteral("<section ")), expected.size());
}

void tst_Demo::photoIsUprightProgressiveAndSmall()
{
    const QString photo = mOut + "/images/photo.jpg";
    QImageReader reader(photo);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    const QJsonArray limit = mManifest.value("photoLimit").toArray();
    // The camera stored it sideways (portrait); upright it is landscape, within the limit.
    QVERIFY2(size.width() > size.height(), qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    QVERIFY(size.width() <= limit.at(0).toInt() && size.height() <= limit.at(1).toInt());
    QCOMPARE(size, QSize(1024, 768));
    const QImage image = reader.read();
    const QColor top = image.pixelColor(image.width() / 2, 5); // the red bar is at the top when upright
    QVERIFY2(top.red() > 150 && top.green() < 90, qPrintable(top.name()));
    QVERIFY(readFile(photo).contains(QByteArray("\xFF\xC2", 2))); // progressive scan
    const QSize thumbnail = QImageReader(mOut + "/images/thumbnail.jpg").size();
    QCOMPARE(thumbnail.width(), thumbnail.height());
    QVERIFY(thumbnail.width() <= 256);
}

void tst_Demo::frenchPage()
{
    const QString out = mTemp.filePath(QStringLiteral("fr"));
    const Run result = run(QStringLiteral(LARK_DEMO_PROGRAM), {"--output", out, "--language", "fr", "--country", "de"});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QString html = QString::fromUtf8(readFile(out + "/index.html"));
    QVERIFY(html.contains(QStringLiteral("Ajouter au panier")));
    QVERIFY(html.contains(QStringLiteral("<html lang=\"fr\">")));
    QVERIFY(readFile(out + "/config.php").contains("const SHOP_COUNTRY='DE'"));
}

void tst_Demo::lockedFolderIsRefused()
{
    const QString out = mTemp.filePath(QStringLiteral("locked"));
    ProjectFileLocker holder; // this test process holds the folder
    QVERIFY(holder.openNewProjectFolder(out, QStringLiteral("Held"), nullptr));
    const Run result = run(QStringLiteral(LARK_DEMO_PROGRAM), {"--output", out});
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.err.contains("already opened !"), result.err.constData());
    QVERIFY(!QFile::exists(out + "/index.html"));
}

void tst_Demo::badOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--colour", "red"} << 2 << QByteArray("Unknown option");
    QTest::newRow("missing value") << QStringList{"--country"} << 2 << QByteArray("Missing value");
    QTest::newRow("country") << QStringList{"--country", "XX"} << 2 << QByteArray("'XX' is not a country");
    QTest::newRow("currency") << QStringList{"--currency", "ABC"} << 2 << QByteArray("'ABC' is not a known");
    QTest::newRow("language") << QStringList{"--language", "tlh"} << 2 << QByteArray("no translation for 'tlh'");
    QTest::newRow("photo") << QStringList{"--photo", "/nonexistent.jpg"} << 2 << QByteArray("not a readable image");
    QTest::newRow("positional") << QStringList{"extra"} << 2 << QByteArray("unexpected argument");
}

void tst_Demo::badOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    const Run result = run(QStringLiteral(LARK_DEMO_PROGRAM), QStringList{"--output", mTemp.filePath("bad")} + arguments);
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode == 0)
        QVERIFY(result.out.contains("--output"));
    else
        QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(!QFile::exists(mTemp.filePath("bad/index.html")));
}

void tst_Demo::imageTimeOutStopsTheWorker_data()
{
    QTest::addColumn<QByteArray>("timeout");
    QTest::addColumn<QByteArray>("delay");
    // The worker notices the request between its steps, or the step under way ends first.
    QTest::newRow("slow worker") << QByteArray("200") << QByteArray("20000");
    QTest::newRow("time-out during the copy") << QByteArray("1") << QByteArray("0");
}

// On the image time-out the worker ends before the export reports its failure and the exporter
// and its temporary folder go; the process then exits cleanly (also under the sanitizers).
void tst_Demo::imageTimeOutStopsTheWorker()
{
    QFETCH(QByteArray, timeout);
    QFETCH(QByteArray, delay);
    const QString out = mTemp.filePath(QStringLiteral("timeout-") + QTest::currentDataTag());
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LARKUTILS_DEMO_IMAGE_TIMEOUT_MS"), QString::fromLatin1(timeout));
    env.insert(QStringLiteral("LARKUTILS_DEMO_IMAGE_DELAY_MS"), QString::fromLatin1(delay));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels); // one pipe: lines in the order written
    process.start(QStringLiteral(LARK_DEMO_PROGRAM), {QStringLiteral("--output"), out});
    QVERIFY(process.waitForStarted(10000));
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        QFAIL("the demo did not finish");
    }
    const QByteArray output = process.readAll();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 4, output.constData());
    const int stopped = output.indexOf("images: stopped");
    const int failed = output.indexOf("export failed: the images could not be written");
    QVERIFY2(stopped >= 0 && failed > stopped, output.constData());
    for (const char* fault : {"AddressSanitizer", "LeakSanitizer", "ThreadSanitizer", "runtime error", "QThread: Destroyed"})
        QVERIFY2(!output.contains(fault), output.constData());
    QVERIFY(!QFile::exists(out + "/lockfile"));
}

QTEST_GUILESS_MAIN(tst_Demo)
#include "tst_demo.moc"
