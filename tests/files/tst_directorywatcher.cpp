#include <DirectoryWatcher.h>
#include <LogCapture.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <TestFiles.h>

#include <QProcess>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

// Collects the reported paths of each kind.
struct Reports {
    explicit Reports(DirectoryWatcher& watcher)
    {
        QObject::connect(&watcher, &DirectoryWatcher::addedFiles, [this](const QString& f) { added << f; });
        QObject::connect(&watcher, &DirectoryWatcher::modifiedFile, [this](const QString& f) { modified << f; });
        QObject::connect(&watcher, &DirectoryWatcher::deletedFile, [this](const QString& f) { deleted << f; });
    }
    int total() const { return added.size() + modified.size() + deleted.size(); }
    void clear() { added.clear(); modified.clear(); deleted.clear(); }
    QStringList added, modified, deleted;
};

static void write(const QString& path, const QByteArray& content)
{
    QVERIFY2(writeFile(path, content, true), qPrintable(path));
}

// f0000.txt, f0001.txt, ...: the name order is the number order.
static void writeNumbered(const QString& root, int count)
{
    for (int i = 0; i < count; ++i)
        write(root + QStringLiteral("/f%1.txt").arg(i, 4, 10, QLatin1Char('0')), "x");
}

class tst_DirectoryWatcher : public QObject
{
    Q_OBJECT
private slots:
    void signalOrder();
    void existingFilesAreNotReported();
    void modifiedAndDeleted();
    void newSubFolderIsWatched();
    void hiddenFilesAreNeverReported();
    void wrongPath();
    void secondSetPathReplacesTheFirst();
    void burstInOneFolderReportsEachFileOnce();
    void replacedFileStaysWatched();
    void largeTreeIsWatchedWhole();
    void vanishedFilesDoNotHideTheOthers();
    void refusedWatchesAreReported();
};

void tst_DirectoryWatcher::signalOrder()
{
    const QMetaObject& meta = DirectoryWatcher::staticMetaObject;
    const int first = meta.methodOffset();
    QCOMPARE(meta.method(first).methodSignature(), QByteArray("deletedFile(QString)"));
    QCOMPARE(meta.method(first + 1).methodSignature(), QByteArray("addedFiles(QString)"));
    QCOMPARE(meta.method(first + 2).methodSignature(), QByteArray("modifiedFile(QString)"));
}

void tst_DirectoryWatcher::existingFilesAreNotReported()
{
    QTemporaryDir temp;
    const QString root = temp.path();
    write(root + "/one.txt", "1");
    write(root + "/sub/two.txt", "2");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    QTest::qWait(100);
    QCOMPARE(reports.total(), 0);

    write(root + "/three.txt", "3");
    QTRY_COMPARE_WITH_TIMEOUT(reports.added, QStringList{root + "/three.txt"}, 5000);
    QTest::qWait(100);
    QCOMPARE(reports.added.size(), 1);
}

void tst_DirectoryWatcher::modifiedAndDeleted()
{
    QTemporaryDir temp;
    const QString root = temp.path();
    write(root + "/page.html", "<p>1</p>");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));

    write(root + "/page.html", "<p>2</p>");
    QTRY_VERIFY_WITH_TIMEOUT(reports.modified.contains(root + "/page.html"), 5000);
    QVERIFY(QFile::remove(root + "/page.html"));
    QTRY_COMPARE_WITH_TIMEOUT(reports.deleted, QStringList{root + "/page.html"}, 5000);
    QVERIFY(reports.added.isEmpty());
}

void tst_DirectoryWatcher::newSubFolderIsWatched()
{
    QTemporaryDir temp;
    const QString root = temp.path();
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));

    write(root + "/img/deep/a.png", "png");
    QTRY_COMPARE_WITH_TIMEOUT(reports.added, QStringList{root + "/img/deep/a.png"}, 5000);
    write(root + "/img/deep/b.png", "png");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/img/deep/b.png"), 5000);
    write(root + "/img/deep/a.png", "png2");
    QTRY_VERIFY_WITH_TIMEOUT(reports.modified.contains(root + "/img/deep/a.png"), 5000);
    QCOMPARE(reports.added.size(), 2);
}

void tst_DirectoryWatcher::hiddenFilesAreNeverReported()
{
    QTemporaryDir temp;
    const QString root = temp.path();
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    write(root + "/.hidden", "h");
    write(root + "/.git/config", "c");
    write(root + "/visible.txt", "v"); // a marker that something was seen after them
    QTRY_COMPARE_WITH_TIMEOUT(reports.added, QStringList{root + "/visible.txt"}, 5000);
    write(root + "/.hidden", "changed");
    QTest::qWait(200);
    QCOMPARE(reports.total(), 1);
}

void tst_DirectoryWatcher::wrongPath()
{
    QTemporaryDir temp;
    DirectoryWatcher watcher;
    LogCapture logs;
    QVERIFY(!watcher.setPath(temp.filePath(QStringLiteral("missing"))));
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("DirectoryWatcher::setPath"), QStringLiteral("Wrong path")));
    write(temp.filePath(QStringLiteral("file")), "x");
    QVERIFY(!watcher.setPath(temp.filePath(QStringLiteral("file")))); // a file is no folder
}

void tst_DirectoryWatcher::secondSetPathReplacesTheFirst()
{
    QTemporaryDir first, second;
    write(first.path() + "/old.txt", "o");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(first.path()));
    QVERIFY(watcher.setPath(second.path()));
    write(first.path() + "/new.txt", "n");
    write(first.path() + "/old.txt", "changed");
    write(second.path() + "/marker.txt", "m");
    QTRY_COMPARE_WITH_TIMEOUT(reports.added, QStringList{second.path() + "/marker.txt"}, 5000);
    QTest::qWait(200);
    QCOMPARE(reports.total(), 1);
}

void tst_DirectoryWatcher::burstInOneFolderReportsEachFileOnce()
{
    QTemporaryDir temp;
    const QString root = temp.path();
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    QStringList expected;
    for (int i = 0; i < 300; ++i) {
        const QString path = root + QStringLiteral("/f%1.txt").arg(i);
        write(path, QByteArray::number(i));
        expected << path;
    }
    QTRY_COMPARE_WITH_TIMEOUT(reports.added.size(), 300, 20000);
    QTest::qWait(200);
    QStringList added = reports.added;
    added.sort();
    expected.sort();
    QCOMPARE(added, expected); // every file, none twice
}

void tst_DirectoryWatcher::replacedFileStaysWatched()
{
    // An atomic save renames a new file over the watched one: the old watch ends with it.
    QTemporaryDir temp;
    const QString root = temp.path();
    const QString page = root + "/page.html";
    write(page, "v1");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    write(root + "/page.tmp", "v2");
    QVERIFY(std::rename(qPrintable(root + "/page.tmp"), qPrintable(page)) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(reports.modified.contains(page) || reports.added.contains(page), 5000);
    QTest::qWait(100);
    reports.clear();
    write(page, "v3"); // a plain write to the new file is seen too
    QTRY_VERIFY_WITH_TIMEOUT(reports.modified.contains(page), 5000);
    QVERIFY(!reports.deleted.contains(page));
}

void tst_DirectoryWatcher::largeTreeIsWatchedWhole()
{
    // More files than one Qt watcher is given: every file stays watched, wherever it went.
    QTemporaryDir temp;
    const QString root = temp.path();
    writeNumbered(root, 1300);
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    const QStringList probes{root + "/f0000.txt", root + "/f0700.txt", root + "/f1299.txt"};
    for (const QString& probe : probes)
        write(probe, "changed");
    QVERIFY(QFile::remove(root + "/f1100.txt"));
    write(root + "/new.txt", "n");
    QTRY_COMPARE_WITH_TIMEOUT(reports.deleted, QStringList{root + "/f1100.txt"}, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(reports.added, QStringList{root + "/new.txt"}, 5000);
    for (const QString& probe : probes)
        QTRY_VERIFY_WITH_TIMEOUT(reports.modified.contains(probe), 5000);
}

void tst_DirectoryWatcher::vanishedFilesDoNotHideTheOthers()
{
    // Short-lived files (a save's temporaries) vanish between a re-scan's listing and its watch:
    // that is no refusal, and the other new files of that pass are still reported.
    QTemporaryDir temp;
    const QString root = temp.path();
    for (int i = 0; i < 200; ++i) // a longer listing widens the window
        write(root + QStringLiteral("/old%1.txt").arg(i), "o");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int i = 0; !stop; ++i) {
            const QByteArray path = QFile::encodeName(root + QStringLiteral("/tmp%1").arg(i % 50));
            if (FILE* f = std::fopen(path.constData(), "w"))
                std::fclose(f);
            std::remove(path.constData());
        }
    });
    QStringList expected;
    for (int i = 0; i < 100; ++i) {
        const QString path = root + QStringLiteral("/keep%1.txt").arg(i);
        write(path, "k");
        expected << path;
        QTest::qWait(5);
    }
    const auto allReported = [&] {
        for (const QString& path : qAsConst(expected))
            if (!reports.added.contains(path))
                return false;
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allReported(), 10000);
    stop = true;
    churn.join();
    QVERIFY2(logs.count(Logwell::LogCritical) == 0, qPrintable(logs.dump().left(2000)));
}

namespace {

// Child side of refusedWatchesAreReported: runs where only 300 watches may be taken and prints
// what it saw, a "key=value" line each.
int watchWithFewWatches(const QString& root)
{
    static int argc = 1;
    static char name[] = "child";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    LogCapture logs;
    DirectoryWatcher watcher;
    Reports reports(watcher);
    std::printf("result=%d\n", watcher.setPath(root) ? 1 : 0);
    for (const Logwell::Message& message : logs.messages(Logwell::LogCritical))
        std::printf("critical=%s|%s\n", qPrintable(message.function), qPrintable(message.text));
    std::printf("reports=%d\n", reports.total());
    write(root + "/f0000.txt", "changed"); // among the watched ones
    for (int waited = 0; reports.modified.isEmpty() && waited < 5000; waited += 20)
        QTest::qWait(20);
    std::printf("modified=%s\n", qPrintable(reports.modified.value(0)));
    return 0;
}

} // namespace

void tst_DirectoryWatcher::refusedWatchesAreReported()
{
    // A user namespace of our own lowers the inotify watch limit for the child alone.
    QTemporaryDir temp;
    const QString root = temp.path();
    writeNumbered(root, 1000);
    QProcess child;
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-U"), QStringLiteral("-r"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("echo 300 > /proc/sys/user/max_inotify_watches && exec \"$0\" --few-watches \"$1\""),
                 QCoreApplication::applicationFilePath(), root});
    if (!child.waitForStarted(10000))
        QSKIP("unshare is not available");
    QVERIFY(child.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    if (child.exitCode() != 0 && output.isEmpty())
        QSKIP(qPrintable("no user namespace with its own inotify limit here: " + child.readAllStandardError()));
    QMap<QString, QStringList> seen;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        seen[line.section(QLatin1Char('='), 0, 0)] << line.section(QLatin1Char('='), 1);
    QCOMPARE(seen.value("result"), QStringList{"0"});
    QCOMPARE(seen.value("reports"), QStringList{"0"}); // the files of a refused pass are not reported
    QCOMPARE(seen.value("critical").size(), 1);
    const QString critical = seen.value("critical").first();
    QVERIFY2(critical.startsWith("DirectoryWatcher::addDir|Impossible to add to Watcher : (" + root + "/f0299.txt, "),
             qPrintable(critical.left(300)));
    QVERIFY(critical.endsWith(root + "/f0999.txt)"));
    QCOMPARE(critical.count(", ") + 1, 701); // the root folder and 299 files were watched
    QCOMPARE(seen.value("modified"), QStringList{root + "/f0000.txt"}); // what was added stays watched
}

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--few-watches") == 0)
        return watchWithFewWatches(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    tst_DirectoryWatcher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_directorywatcher.moc"
