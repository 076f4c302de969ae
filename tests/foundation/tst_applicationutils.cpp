#include "ApplicationUtils.h"
#include "CoreApplicationUtils.h"
#include "LogCapture.h"
#include "platform/PlatformBuildTree.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <unistd.h>

// Child mode: the test program, placed in another folder, prints what the library derives from
// that folder. Lines "name=value".
// Qt 6 keeps the high-DPI attributes as flags only, and deprecates them.
QT_WARNING_DISABLE_DEPRECATED

static int childMain(int argc, char** argv)
{
    const bool hiDpi = argc > 2 && std::strcmp(argv[2], "hidpi") == 0;
    if (hiDpi)
        ApplicationUtils::enableHightDPIMode();
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    CoreApplicationUtils::setApplicationName(QStringLiteral("Lattice"));
    QTextStream out(stdout);
    out << "hidpiPixmaps=" << QCoreApplication::testAttribute(Qt::AA_UseHighDpiPixmaps) << '\n'
        << "hidpiScaling=" << QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling) << '\n'
        << "documents=" << ApplicationUtils::pathDocuments() << '\n'
        << "temp=" << ApplicationUtils::tempPath() << '\n'
        << "settings=" << ApplicationUtils::pathSettingsLarkspire() << '\n'
        << "appSettings=" << ApplicationUtils::pathApplicationSettings() << '\n'
        << "datas=" << ApplicationUtils::pathDatas() << '\n'
        << "languages=" << ApplicationUtils::pathLanguages() << '\n'
        << "version=" << ApplicationUtils::pathVersion() << '\n'
        << "qualif=" << ApplicationUtils::detectQualificationMode() << '\n'
        << "dev=" << ApplicationUtils::detectDeveloperMode() << '\n'
        << "devOrQualif=" << ApplicationUtils::detectDeveloperModeOrQualifMode() << '\n'
        << "ulvo=" << ApplicationUtils::detectIsUlvo() << '\n'
        << "label=" << ApplicationUtils::labelDeveloperMode_QualifMode() << '\n';
    return 0;
}

class TestApplicationUtils : public QObject
{
    Q_OBJECT

private:
    // Runs this program from folder (hard link, or a copy across devices) with home as HOME.
    QMap<QString, QString> runFrom(const QString& folder, const QString& home, const QString& mode = QString())
    {
        QMap<QString, QString> values;
        if (!QDir().mkpath(folder) || !QDir().mkpath(home))
            return values;
        const QString program = folder + "/tst_child";
        if (!QFile::exists(program)
            && ::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
                      QFile::encodeName(program).constData()) != 0
            && !QFile::copy(QCoreApplication::applicationFilePath(), program))
            return values;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("TMPDIR", mTemp.path() + "/tmp");
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        env.remove("XDG_DOCUMENTS_DIR");
        process.setProcessEnvironment(env);
        process.start(program, {"--child", mode});
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished(5000);
            return values;
        }
        const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
        for (const QString& line : lines) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                values.insert(line.left(eq), line.mid(eq + 1));
        }
        return values;
    }

    QTemporaryDir mTemp;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(mTemp.isValid());
        QVERIFY(QDir().mkpath(mTemp.path() + "/tmp"));
    }

    void buildTreeRules_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<bool>("unix");
        QTest::newRow("windows installed") << "C:/Programs/App" << false << false;
        QTest::newRow("windows build release") << "C:/work/app/bin/release" << true << true;
        QTest::newRow("windows build other") << "C:/work/app/bin/x64" << true << false;
        QTest::newRow("usr bin") << "/usr/bin" << true << false;
        QTest::newRow("opt app bin") << "/opt/app/bin" << true << false;
        QTest::newRow("build debug") << "/home/me/app/bin/debug" << true << true;
        QTest::newRow("case sensitive") << "/home/me/app/Bin/Release" << false << false;
        // A folder is named "bin", not a name holding it.
        QTest::newRow("windows user Robin") << "C:/Users/Robin/AppData/Local/Programs/App" << false << false;
        QTest::newRow("windows Cabinet") << "D:/Cabinet/Tools/App" << false << false;
        QTest::newRow("windows binaries") << "C:/Program Files/binaries/App" << false << false;
        QTest::newRow("windows backslashes") << "C:\\Users\\Robin\\App" << false << false;
        QTest::newRow("windows bin as parent") << "C:/work/bin/app/x64" << true << false;
        QTest::newRow("windows bin, backslashes") << "C:\\work\\app\\bin\\release" << true << true;
        QTest::newRow("windows bin at the end") << "C:/work/app/bin/" << true << false;
        QTest::newRow("cabin debug") << "/home/me/cabin/debug" << false << false;
        QTest::newRow("bin debugger") << "/home/me/app/bin/debugger" << true << false;
    }

    void buildConfigFoldersRemoved_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::newRow("release") << "C:/work/app/bin/release" << "C:/work/app/";
        QTest::newRow("debug") << "/home/me/app/bin/debug" << "/home/me/app/";
        QTest::newRow("backslashes") << "C:\\work\\app\\bin\\debug" << "C:\\work\\app\\";
        QTest::newRow("inside the path") << "/w/bin/debug/x" << "/w/x";
        QTest::newRow("both") << "/w/bin/debug/bin/release" << "/w/";
        QTest::newRow("cabin kept") << "C:/Users/Robin/cabin/debug/app/bin/release" << "C:/Users/Robin/cabin/debug/app/";
        QTest::newRow("debugger kept") << "/w/bin/debugger" << "/w/bin/debugger";
        QTest::newRow("installed") << "C:/Programs/App" << "C:/Programs/App";
    }

    void buildConfigFoldersRemoved()
    {
        QFETCH(QString, folder);
        QFETCH(QString, root);
        QCOMPARE(LarkPlatform::withoutBuildConfigFolders(folder), root);
    }

    void buildTreeRules()
    {
        QFETCH(QString, folder);
        QFETCH(bool, windows);
        QFETCH(bool, unix);
        QCOMPARE(LarkPlatform::isBuildTreeWindowsRule(folder), windows);
        QCOMPARE(LarkPlatform::isBuildTreeUnixRule(folder), unix);
#ifdef Q_OS_WIN
        QCOMPARE(LarkPlatform::isBuildTree(folder), windows);
#else
        QCOMPARE(LarkPlatform::isBuildTree(folder), unix);
#endif
    }

    void installedLayout()
    {
        const QString folder = mTemp.path() + "/opt/app/bin";
        const QString home = mTemp.path() + "/home/ulvomarke";
        const auto v = runFrom(folder, home);
        QVERIFY2(!v.isEmpty(), "child did not run");
        QCOMPARE(v["documents"], home + "/Documents/");
        QCOMPARE(v["temp"], mTemp.path() + "/tmp/");
        QVERIFY2(v["settings"].startsWith(home + "/") && v["settings"].endsWith("/Larkspire/"), qPrintable(v["settings"]));
        QCOMPARE(v["appSettings"], v["settings"] + "Lattice/");
        QCOMPARE(v["datas"], folder + "/data/");
        QCOMPARE(v["languages"], folder + "/data/languages/");
        QCOMPARE(v["version"], folder + "/data/version/");
        QCOMPARE(v["qualif"], "0");
        QCOMPARE(v["dev"], "0");
        QCOMPARE(v["devOrQualif"], "0");
        QCOMPARE(v["ulvo"], "0");
        QCOMPARE(v["label"], "");
    }

    void buildTreeLayout_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("config");
        QTest::addColumn<bool>("developer");
        QTest::newRow("qualification, release") << "someone" << "bin/release" << false;
        QTest::newRow("developer, debug") << "ulvomarke" << "bin/debug" << true;
    }

    void buildTreeLayout()
    {
        QFETCH(QString, user);
        QFETCH(QString, config);
        QFETCH(bool, developer);
        const QString root = mTemp.path() + "/work/" + user;
        const QString home = mTemp.path() + "/home/" + user;
        const auto v = runFrom(root + "/" + config, home);
        QVERIFY2(!v.isEmpty(), "child did not run");
        const QString docs = home + "/Documents/";
        QCOMPARE(v["documents"], docs);
        QCOMPARE(v["temp"], docs + "Larkspire Temp developper/Lattice/");
        QCOMPARE(v["settings"], docs + "Larkspire Settings developper/");
        QCOMPARE(v["appSettings"], docs + "Larkspire Settings developper/Lattice/");
        QCOMPARE(v["datas"], root + "/data/");
        QCOMPARE(v["languages"], root + "/data/languages/");
        QCOMPARE(v["qualif"], "1");
        QCOMPARE(v["devOrQualif"], "1");
        QCOMPARE(v["dev"], developer ? "1" : "0");
        QCOMPARE(v["ulvo"], developer ? "1" : "0");
        QCOMPARE(v["label"], developer ? "#dev mode# #qualif mode#" : "#qualif mode#");
    }

    void highDpiBeforeApplication()
    {
        const auto v = runFrom(mTemp.path() + "/hidpi", mTemp.path() + "/home/other", "hidpi");
        QVERIFY2(!v.isEmpty(), "child did not run");
        QCOMPARE(v["hidpiPixmaps"], "1");
        QCOMPARE(v["hidpiScaling"], "1");
    }

    void highDpiAfterApplicationOnlyLogs()
    {
        const bool scaling = QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling);
        const bool pixmaps = QCoreApplication::testAttribute(Qt::AA_UseHighDpiPixmaps);
        LogCapture logs;
        ApplicationUtils::enableHightDPIMode();
        QVERIFY2(logs.has(Logwell::LogCritical, "ApplicationUtils::enableHightDPIMode",
                          "enableHightDPIMode() has to be called BEFORE QApplication"), qPrintable(logs.dump()));
        QCOMPARE(QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling), scaling);
        QCOMPARE(QCoreApplication::testAttribute(Qt::AA_UseHighDpiPixmaps), pixmaps);
    }

    void screens()
    {
        QScreen* primary = QGuiApplication::primaryScreen();
        QVERIFY(primary);
        const QRect geometry = primary->geometry();
        QCOMPARE(ApplicationUtils::screenAt(geometry.center()), primary);
        QCOMPARE(ApplicationUtils::screenAt(geometry.bottomRight()), primary);
        QCOMPARE(ApplicationUtils::screenAt(geometry.bottomRight() + QPoint(1, 1)), nullptr);

        QWidget inside;
        inside.setGeometry(10, 10, 100, 50);
        LogCapture logs;
        QCOMPARE(ApplicationUtils::devicePixelRatio(&inside), primary->devicePixelRatio());
        QCOMPARE(logs.count(), 0);

        QWidget outside;
        outside.setGeometry(geometry.right() + 1000, 10, 100, 50);
        QCOMPARE(ApplicationUtils::devicePixelRatio(&outside), 1.0);
        QVERIFY(logs.has(Logwell::LogCritical, "ApplicationUtils::devicePixelRatio", "screenAt(pos) return null"));

        logs.clear();
        QCOMPARE(ApplicationUtils::devicePixelRatio(nullptr), 1.0);
        QCOMPARE(logs.count(Logwell::LogCritical), 1);
    }

    void dialogSafety()
    {
        QVERIFY(ApplicationUtils::isDailogAsyncOpeningSafe());
        QWidget plain;
        plain.show();
        QVERIFY(ApplicationUtils::isDailogAsyncOpeningSafe());
        {
            QDialog dialog;
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            QVERIFY(!ApplicationUtils::isDailogAsyncOpeningSafe());
        }
        QVERIFY(ApplicationUtils::isDailogAsyncOpeningSafe());
    }

    void mimeDataCopy_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "text/plain" << "text/plain";
        QTest::newRow("windows native") << "application/x-qt-windows-mime;value=\"FileName\""
                                        << "FileName";
        QTest::newRow("no quote") << "application/x-qt-image" << "application/x-qt-image";
        QTest::newRow("one quote") << "application/x-qt-windows-mime;value=\"Tail" << "Tail";
        QTest::newRow("other with quotes") << "text/x-\"quoted\"" << "text/x-\"quoted\"";
    }

    void mimeDataCopy()
    {
        QFETCH(QString, format);
        QFETCH(QString, stored);
        QMimeData source;
        source.setData("text/html", "<b>first</b>");
        source.setData(format, "payload");
        QScopedPointer<QMimeData> copy(ApplicationUtils::mimeDataCopy(&source));
        QVERIFY(copy);
        QCOMPARE(copy->formats(), QStringList({"text/html", stored}));
        QCOMPARE(copy->data(stored), QByteArray("payload"));
        QCOMPARE(copy->data("text/html"), QByteArray("<b>first</b>"));
    }

    void mimeDataCopyOfNull()
    {
        LogCapture logs;
        QCOMPARE(ApplicationUtils::mimeDataCopy(nullptr), nullptr);
        QCOMPARE(logs.count(Logwell::LogCritical), 1);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QApplication app(argc, argv);
    TestApplicationUtils test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_applicationutils.moc"
