#include <ChildProcess.h>
#include <DirectoryWatcher.h>
#include <LogCapture.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <TestFiles.h>
#include <OddEntries.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

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

// The tests run once per back end: the folder notifications of the system (the default) and,
// with LARKUTILS_WATCHER_BACKEND=qt, Qt's watchers (a watch per file and folder).
static bool qtBackend()
{
    return qgetenv("LARKUTILS_WATCHER_BACKEND") == "qt";
}

// The inotify instances this process holds (/proc/self/fd links to "anon_inode:inotify") and
// their watches (one "inotify wd:" line each in /proc/self/fdinfo).
struct InotifyUse {
    int instances = 0;
    int watches = 0;
};

static InotifyUse inotifyUse()
{
    InotifyUse use;
    const QStringList fds = QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : fds) {
        char target[64] = {};
        const ssize_t size = ::readlink(qPrintable("/proc/self/fd/" + fd), target, sizeof target - 1);
        if (size <= 0 || QByteArray(target, int(size)) != "anon_inode:inotify")
            continue;
        ++use.instances;
        QFile info("/proc/self/fdinfo/" + fd);
        if (info.open(QIODevice::ReadOnly))
            use.watches += info.readAll().count("inotify wd:");
    }
    return use;
}

class tst_DirectoryWatcher : public QObject
{
    Q_OBJECT
private slots:
    void signalOrder();
    void slotsStayDeclared();
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
    void exhaustedInotifyLimits_data();
    void exhaustedInotifyLimits();
    void oneInstanceWithAWatchPerFolder();
    void filesMadeRightAfterMkdirAreReported();
    void movedFolderTakesItsFiles();
    void lostNotificationsAreMadeUp();
    void oneRefusedWatchLeavesTheRestWatched_data();
    void oneRefusedWatchLeavesTheRestWatched();
    void specialFilesAreNotReported_data();
    void specialFilesAreNotReported();
    void linksOutOfTheTreeAreNotFollowed_data();
    void linksOutOfTheTreeAreNotFollowed();
    void linkInsideTheTreeTellsOfItsFile();
    void watchedFileReplacedByAnUnsafeEntry_data();
    void watchedFileReplacedByAnUnsafeEntry();
    void unreadableNamesAreWarned();
    void movedRootStopsTheReports_data();
    void movedRootStopsTheReports();
};

// A warning of the watcher that names path.
static bool warned(const LogCapture& logs, const QString& path)
{
    return logs.has(Logwell::LogWarning, QStringLiteral("DirectoryWatcher::warnSkipped"), path);
}

void tst_DirectoryWatcher::signalOrder()
{
    const QMetaObject& meta = DirectoryWatcher::staticMetaObject;
    const int first = meta.methodOffset();
    QCOMPARE(meta.method(first).methodSignature(), QByteArray("deletedFile(QString)"));
    QCOMPARE(meta.method(first + 1).methodSignature(), QByteArray("addedFiles(QString)"));
    QCOMPARE(meta.method(first + 2).methodSignature(), QByteArray("modifiedFile(QString)"));
}

void tst_DirectoryWatcher::slotsStayDeclared()
{
    // Connected by signature (and called by name by callers of the meta-object): both back ends keep them.
    const QMetaObject& meta = DirectoryWatcher::staticMetaObject;
    for (const char* slot : {"onDirMod(QString)", "onFilemod(QString)"}) {
        const int index = meta.indexOfSlot(slot);
        QVERIFY2(index >= meta.methodOffset(), slot);
        QCOMPARE(meta.method(index).access(), QMetaMethod::Private);
    }
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 5);
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

// The "key=value" lines a child printed, the values of each key in order.
QMap<QString, QStringList> valuesOf(const QString& output)
{
    QMap<QString, QStringList> values;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        values[line.section(QLatin1Char('='), 0, 0)] << line.section(QLatin1Char('='), 1);
    return values;
}

// Child side of refusedWatchesAreReported and exhaustedInotifyLimits: runs where an inotify limit
// is lowered, changes probe after setPath and prints what it saw, a "key=value" line each.
int watchWithFewWatches(const QString& root, const QString& probe)
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
    write(root + "/" + probe, "changed"); // among the watched ones
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
    const ChildProcess::Result child = ChildProcess::runProgram(QStringLiteral("unshare"),
                {QStringLiteral("-U"), QStringLiteral("-r"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("echo 300 > /proc/sys/user/max_inotify_watches && exec \"$0\" --few-watches \"$1\""),
                 QCoreApplication::applicationFilePath(), root}, {}, 30000);
    if (!child.started)
        QSKIP("unshare is not available");
    QVERIFY(child.finished);
    const QString output = QString::fromLocal8Bit(child.standardOutput);
    if (child.exitCode != 0 && output.isEmpty())
        QSKIP(qPrintable("no user namespace with its own inotify limit here: " + QString::fromLocal8Bit(child.output)));
    const QMap<QString, QStringList> seen = valuesOf(output);
    if (!qtBackend()) {
        // A watch per folder: the 1,000 files take one, far below the limit.
        QCOMPARE(seen.value("result"), QStringList{"1"});
        QCOMPARE(seen.value("reports"), QStringList{"0"});
        QCOMPARE(seen.value("critical"), QStringList());
        QCOMPARE(seen.value("modified"), QStringList{root + "/f0000.txt"});
        return;
    }
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

void tst_DirectoryWatcher::exhaustedInotifyLimits_data()
{
    QTest::addColumn<QString>("limit"); // lowered in the child's own user namespace
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("folders");   // d000, d001, ... with one f.txt each
    QTest::newRow("more folders than watches") << "max_inotify_watches" << 300 << 400;
    QTest::newRow("no instance left") << "max_inotify_instances" << 0 << 2;
}

void tst_DirectoryWatcher::exhaustedInotifyLimits()
{
    QFETCH(QString, limit);
    QFETCH(int, value);
    QFETCH(int, folders);
    QTemporaryDir temp;
    const QString root = temp.path();
    for (int i = 0; i < folders; ++i)
        write(root + QStringLiteral("/d%1/f.txt").arg(i, 3, 10, QLatin1Char('0')), "x");
    const ChildProcess::Result child = ChildProcess::runProgram(QStringLiteral("unshare"),
                {QStringLiteral("-U"), QStringLiteral("-r"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("echo %1 > /proc/sys/user/%2 && exec \"$0\" --few-watches \"$1\" d000/f.txt").arg(value).arg(limit),
                 QCoreApplication::applicationFilePath(), root}, {}, 30000);
    if (!child.started)
        QSKIP("unshare is not available");
    QVERIFY(child.finished);
    const QString output = QString::fromLocal8Bit(child.standardOutput);
    if (child.exitCode != 0 && output.isEmpty())
        QSKIP(qPrintable("no user namespace with its own inotify limits here: " + QString::fromLocal8Bit(child.output)));
    const QMap<QString, QStringList> seen = valuesOf(output);
    const QString probe = root + "/d000/f.txt";
    if (value == 0 && qtBackend()) {
        // Qt's watcher polls when it gets no instance.
        QCOMPARE(seen.value("result"), QStringList{"1"});
        QCOMPARE(seen.value("modified"), QStringList{probe});
        return;
    }
    // As for any refused watch: one critical message with the paths, false, nothing reported.
    QCOMPARE(seen.value("result"), QStringList{"0"});
    QCOMPARE(seen.value("reports"), QStringList{"0"});
    QCOMPARE(seen.value("critical").size(), 1);
    const QString critical = seen.value("critical").first();
    const QString prefix = "DirectoryWatcher::addDir|Impossible to add to Watcher : (";
    QVERIFY2(critical.startsWith(prefix), qPrintable(critical.left(300)));
    const QStringList refused = critical.mid(prefix.size()).chopped(1).split(", ");
    if (value == 0) {
        // No instance: nothing of the tree is watched.
        QCOMPARE(refused, QStringList({probe, root + "/d001/f.txt", root, root + "/d000", root + "/d001"}));
        QCOMPARE(seen.value("modified"), QStringList{QString()});
        return;
    }
    QVERIFY(refused.contains(root + "/d399"));
    QVERIFY(refused.contains(root + "/d399/f.txt"));
    QVERIFY(!refused.contains(root + "/d000"));
    if (qtBackend()) {
        QVERIFY(refused.contains(probe)); // a watch per file: none left for the files
    } else {
        // The root and 299 folders watched; the other 101 folders refused with their files.
        QCOMPARE(refused.size(), 202);
        QCOMPARE(seen.value("modified"), QStringList{probe});
    }
}

void tst_DirectoryWatcher::oneInstanceWithAWatchPerFolder()
{
    if (qtBackend())
        QSKIP("Qt's watchers take one instance per slice of files");
    QTemporaryDir temp;
    const QString root = temp.path();
    for (int folder = 0; folder < 40; ++folder)
        writeNumbered(root + QStringLiteral("/d%1").arg(folder), 60); // 2,400 files
    const InotifyUse before = inotifyUse();
    {
        DirectoryWatcher watcher;
        QVERIFY(watcher.setPath(root));
        DirectoryWatcher second;
        QVERIFY(second.setPath(root + "/d7"));
        const InotifyUse watching = inotifyUse();
        QCOMPARE(watching.instances - before.instances, 2); // one each
        QCOMPARE(watching.watches - before.watches, 41 + 1);
        QVERIFY(watcher.setPath(root + "/d3")); // the first tree's instance goes
        QCOMPARE(inotifyUse().instances - before.instances, 2);
        QCOMPARE(inotifyUse().watches - before.watches, 1 + 1);
    }
    QCOMPARE(inotifyUse().instances, before.instances);
}

void tst_DirectoryWatcher::filesMadeRightAfterMkdirAreReported()
{
    // Files made in a new folder before its watch exists are found by listing it once watched.
    QTemporaryDir temp;
    const QString root = temp.path();
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        const QString folder = root + QStringLiteral("/new%1").arg(i);
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QDir().mkdir(folder + "/deep"));
        for (int f = 0; f < 10; ++f) {
            for (const QString& path : {folder + QStringLiteral("/f%1.txt").arg(f), folder + QStringLiteral("/deep/f%1.txt").arg(f)}) {
                write(path, "x");
                expected << path;
            }
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(reports.added.size(), expected.size(), 10000);
    QTest::qWait(200);
    QStringList added = reports.added;
    added.sort();
    expected.sort();
    QCOMPARE(added, expected); // every file, none twice
    // The new folders are watched.
    write(root + "/new19/deep/later.txt", "l");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/new19/deep/later.txt"), 5000);
}

void tst_DirectoryWatcher::movedFolderTakesItsFiles()
{
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    const QString outside = temp.filePath("elsewhere");
    write(root + "/a/x.txt", "x");
    write(root + "/a/deep/y.txt", "y");
    QVERIFY(QDir().mkdir(outside));
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    const auto sorted = [](QStringList list) { list.sort(); return list; };

    QVERIFY(QDir().rename(root + "/a", root + "/b")); // within the tree: found under its new path
    const QStringList moved{root + "/b/deep/y.txt", root + "/b/x.txt"};
    QTRY_COMPARE_WITH_TIMEOUT(sorted(reports.added), moved, 5000);
    if (qtBackend())
        return; // Qt's watchers follow the files, not their paths
    QTRY_COMPARE_WITH_TIMEOUT(sorted(reports.deleted), QStringList({root + "/a/deep/y.txt", root + "/a/x.txt"}), 5000);

    reports.clear();
    QVERIFY(QDir().rename(root + "/b", outside + "/b")); // out of the tree: gone from it
    QTRY_COMPARE_WITH_TIMEOUT(sorted(reports.deleted), moved, 5000);
    write(outside + "/b/x.txt", "changed");
    write(outside + "/b/deep/new.txt", "new");
    write(root + "/marker.txt", "m");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/marker.txt"), 5000);
    QTest::qWait(100);
    QCOMPARE(reports.added, QStringList{root + "/marker.txt"});
    QCOMPARE(reports.modified, QStringList());
    QCOMPARE(reports.deleted, moved);
}

void tst_DirectoryWatcher::lostNotificationsAreMadeUp()
{
    // More changes than the system queues while the event loop is busy: the queue overflows and
    // what it lost is found by listing the tree again.
    QFile limitFile("/proc/sys/fs/inotify/max_queued_events");
    const int limit = limitFile.open(QIODevice::ReadOnly) ? limitFile.readAll().trimmed().toInt() : 0;
    if (limit <= 0 || limit > 40000)
        QSKIP("the queue limit is unknown or too large to fill here");
    QTemporaryDir temp;
    const QString root = temp.path();
    write(root + "/sub/gone.txt", "g");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));
    const int count = limit * 2 / 3; // a creation and a write each
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        expected << root + QStringLiteral("/f%1.txt").arg(i, 5, 10, QLatin1Char('0'));
        write(expected.last(), "x");
    }
    QVERIFY(QFile::remove(root + "/sub/gone.txt"));
    QTRY_COMPARE_WITH_TIMEOUT(reports.added.size(), count, 60000);
    QTest::qWait(200);
    QStringList added = reports.added;
    added.sort();
    QCOMPARE(added, expected);
    if (!qtBackend()) { // Qt's watchers drop what was lost
        QTRY_COMPARE_WITH_TIMEOUT(reports.deleted, QStringList{root + "/sub/gone.txt"}, 5000);
        QVERIFY(logs.has(Logwell::LogWarning, "DirectoryWatcherPrivate::rescanEverything", "folder notifications lost"));
    }
    write(root + "/sub/later.txt", "l"); // still watching
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/sub/later.txt"), 5000);
}

namespace {

// Child side of oneRefusedWatchLeavesTheRestWatched: runs in a user namespace where one file of
// the tree belongs to nobody it knows (so not even its root may read or watch it). With a
// staging folder, that folder is moved into the tree after setPath. Prints "key=value" lines.
int watchWithOneRefused(const QString& root, const QString& staging)
{
    static int argc = 1;
    static char name[] = "child";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    LogCapture logs;
    DirectoryWatcher watcher;
    Reports reports(watcher);
    std::printf("result=%d\n", watcher.setPath(root) ? 1 : 0);
    QStringList expectedAdded;
    if (!staging.isEmpty()) {
        if (std::rename(qPrintable(staging), qPrintable(root + "/moved")) != 0)
            std::printf("error=rename\n");
        expectedAdded << root + "/moved/x.txt" << root + "/moved/deep/y.txt";
    }
    // New files everywhere, and changes to the files that were watched.
    const QStringList fresh{root + "/new.txt", root + "/sub/new.txt", root + "/sub/deep/new.txt"};
    for (const QString& file : fresh)
        write(file, "new");
    expectedAdded += fresh;
    if (!staging.isEmpty()) {
        // The moved folders are watched once their files are reported.
        for (int waited = 0; !reports.added.contains(root + "/moved/deep/y.txt") && waited < 5000; waited += 20)
            QTest::qWait(20);
        write(root + "/moved/deep/new.txt", "new");
        expectedAdded << root + "/moved/deep/new.txt";
    }
    const QStringList changed{root + "/a.txt", root + "/sub/deep/c.txt"};
    for (const QString& file : changed)
        write(file, "changed");
    const auto done = [&] {
        for (const QString& file : qAsConst(expectedAdded))
            if (!reports.added.contains(file))
                return false;
        for (const QString& file : changed)
            if (!reports.modified.contains(file))
                return false;
        return true;
    };
    for (int waited = 0; !done() && waited < 10000; waited += 20)
        QTest::qWait(20);
    for (const Logwell::Message& message : logs.messages(Logwell::LogCritical))
        std::printf("critical=%s|%s\n", qPrintable(message.function), qPrintable(message.text));
    for (const QString& file : qAsConst(expectedAdded))
        std::printf("added=%s\n", reports.added.contains(file) ? "yes" : qPrintable("missing " + file));
    for (const QString& file : changed)
        std::printf("modified=%s\n", reports.modified.contains(file) ? "yes" : qPrintable("missing " + file));
    return 0;
}

} // namespace

void tst_DirectoryWatcher::oneRefusedWatchLeavesTheRestWatched_data()
{
    QTest::addColumn<QString>("blocked"); // relative path of the file nobody may watch
    QTest::addColumn<bool>("movedIn");    // its folder is moved into the tree after setPath
    QTest::newRow("top folder, at setPath") << "blocked.txt" << false;
    QTest::newRow("sub-folder, at setPath") << "sub/blocked.txt" << false;
    QTest::newRow("folder moved in later") << "moved/blocked.txt" << true;
}

void tst_DirectoryWatcher::oneRefusedWatchLeavesTheRestWatched()
{
    QFETCH(QString, blocked);
    QFETCH(bool, movedIn);
    if (::geteuid() != 0)
        QSKIP("needs root to give a file to an unknown owner");
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    const QString staging = temp.filePath("staging");
    write(root + "/a.txt", "a");
    write(root + "/sub/b.txt", "b");
    write(root + "/sub/deep/c.txt", "c");
    if (movedIn) {
        write(staging + "/x.txt", "x");
        write(staging + "/deep/y.txt", "y");
    }
    const QString blockedPath = movedIn ? staging + "/blocked.txt" : root + "/" + blocked;
    write(blockedPath, "secret");
    // Owned by an id that the child's namespace does not map: its root has no right on it.
    QVERIFY(::chown(qPrintable(blockedPath), 4242, 4242) == 0);
    QVERIFY(::chmod(qPrintable(blockedPath), 0600) == 0);

    const ChildProcess::Result child = ChildProcess::runProgram(QStringLiteral("unshare"),
                {QStringLiteral("-U"), QStringLiteral("-r"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--one-refused"), root, movedIn ? staging : QString()}, {}, 30000);
    if (!child.started)
        QSKIP("unshare is not available");
    QVERIFY(child.finished);
    const QString output = QString::fromLocal8Bit(child.standardOutput);
    if (child.exitCode != 0 && output.isEmpty())
        QSKIP(qPrintable("no user namespace here: " + QString::fromLocal8Bit(child.output)));
    const QMap<QString, QStringList> seen = valuesOf(output);
    QVERIFY2(!seen.contains("error"), qPrintable(output));
    QCOMPARE(seen.value("result"), QStringList{movedIn ? "1" : "0"});
    QCOMPARE(seen.value("critical"),
             QStringList{"DirectoryWatcher::addDir|Impossible to add to Watcher : (" + root + "/" + blocked + ")"});
    const auto allYes = [](int n) { QStringList list; for (int i = 0; i < n; ++i) list << "yes"; return list; };
    QCOMPARE(seen.value("added"), allYes(movedIn ? 6 : 3)); // else "missing" and the path
    QCOMPARE(seen.value("modified"), allYes(2));
}

void tst_DirectoryWatcher::specialFilesAreNotReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("beforeSetPath");
    for (const QString& kind : FileTest::OddEntries::kinds()) {
        QTest::newRow(qPrintable(kind + ", new")) << kind << false;
        QTest::newRow(qPrintable(kind + ", at setPath")) << kind << true;
    }
}

void tst_DirectoryWatcher::specialFilesAreNotReported()
{
    QFETCH(QString, kind);
    QFETCH(bool, beforeSetPath);
    QTemporaryDir temp;
    const QString root = temp.path();
    const QString special = root + "/sub/special";
    FileTest::OddEntries entries;
    QVERIFY(QDir().mkpath(root + "/sub"));
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    if (beforeSetPath && !entries.make(kind, special))
        QSKIP("this kind of entry cannot be made here");
    QVERIFY(watcher.setPath(root));
    if (!beforeSetPath && !entries.make(kind, special))
        QSKIP("this kind of entry cannot be made here");
    write(root + "/sub/zz-marker.txt", "m"); // after the special one in every order
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/sub/zz-marker.txt"), 5000);
    QCOMPARE(reports.added, QStringList{root + "/sub/zz-marker.txt"});
    QVERIFY2(warned(logs, special), qPrintable(logs.dump()));
    QCOMPARE(entries.guard().readersSeen(), 0);
}

void tst_DirectoryWatcher::linksOutOfTheTreeAreNotFollowed_data()
{
    // In the targets, OUT stands for the outside folder (beside the watched one).
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("reported"); // relative paths reported because of the link
    QTest::addColumn<bool>("warned");
    QTest::newRow("file outside") << "key.txt" << "../private/key" << QStringList() << true;
    QTest::newRow("file outside, absolute") << "key.txt" << "OUT/key" << QStringList() << true;
    QTest::newRow("folder outside") << "docs" << "../private" << QStringList() << true;
    QTest::newRow("parent folder") << "up" << ".." << QStringList() << true;
    QTest::newRow("through a folder link, out") << "img/up" << "../.." << QStringList() << true;
    QTest::newRow("file inside") << "alias.txt" << "real.txt" << QStringList{"alias.txt"} << false;
    QTest::newRow("folder inside") << "pictures" << "img" << QStringList{"pictures/a.png"} << false;
    QTest::newRow("loop inside") << "img/self" << "." << QStringList() << false;
}

void tst_DirectoryWatcher::linksOutOfTheTreeAreNotFollowed()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QStringList, reported);
    QFETCH(bool, warned);
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    const QString outside = temp.filePath("private");
    write(root + "/real.txt", "real");
    write(root + "/img/a.png", "png");
    write(outside + "/key", "secret");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));

    QVERIFY(FileTest::symlink(QString(target).replace("OUT", outside), root + "/" + link));
    write(root + "/zz-marker.txt", "m");
    QStringList expected{root + "/zz-marker.txt"};
    for (const QString& relative : reported)
        expected << root + "/" + relative;
    const auto sorted = [](QStringList list) { list.sort(); return list; };
    QTRY_COMPARE_WITH_TIMEOUT(sorted(reports.added), sorted(expected), 5000);
    QCOMPARE(::warned(logs, root + "/" + link), warned);
    QVERIFY2(logs.count(Logwell::LogCritical) == 0, qPrintable(logs.dump()));

    // What happens outside stays unseen.
    reports.clear();
    write(outside + "/key", "changed");
    write(outside + "/new.txt", "new");
    write(root + "/zz-marker2.txt", "m");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/zz-marker2.txt"), 5000);
    QTest::qWait(100);
    QCOMPARE(reports.added, QStringList{root + "/zz-marker2.txt"});
    QCOMPARE(reports.modified, QStringList());
}

void tst_DirectoryWatcher::linkInsideTheTreeTellsOfItsFile()
{
    // A write to the file is a change of the link too (the mirror copies the link's file).
    QTemporaryDir temp;
    const QString root = temp.path();
    write(root + "/real.txt", "v1");
    write(root + "/other/x.txt", "x");
    QVERIFY(FileTest::symlink(QStringLiteral("real.txt"), root + "/alias.txt"));
    DirectoryWatcher watcher;
    Reports reports(watcher);
    QVERIFY(watcher.setPath(root));
    QVERIFY(FileTest::symlink(QStringLiteral("../real.txt"), root + "/other/late.txt")); // made while watching
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/other/late.txt"), 5000);

    write(root + "/real.txt", "v2");
    const QStringList changed{root + "/alias.txt", root + "/other/late.txt", root + "/real.txt"};
    const auto allChanged = [&] {
        for (const QString& file : changed)
            if (!reports.modified.contains(file))
                return false;
        return true;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(allChanged(), qPrintable(reports.modified.join(' ')), 5000);
    QVERIFY(!reports.modified.contains(root + "/other/x.txt"));
}

void tst_DirectoryWatcher::watchedFileReplacedByAnUnsafeEntry_data()
{
    QTest::addColumn<QString>("replacement");
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("link to fifo") << "link to fifo";
    QTest::newRow("link out of the tree") << "link out";
}

void tst_DirectoryWatcher::watchedFileReplacedByAnUnsafeEntry()
{
    // The watched file is gone; what took its name is never reported as that file.
    QFETCH(QString, replacement);
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    const QString page = root + "/page.html";
    write(page, "v1");
    write(temp.filePath("private/key"), "secret");
    FileTest::OddEntries entries;
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));

    QVERIFY(QFile::remove(page));
    if (replacement == "link out")
        QVERIFY(FileTest::symlink(QStringLiteral("../private/key"), page));
    else
        QVERIFY(entries.make(replacement, page));
    QTRY_VERIFY_WITH_TIMEOUT(reports.deleted.contains(page), 5000);
    write(root + "/zz-marker.txt", "m");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/zz-marker.txt"), 5000);
    QCOMPARE(reports.added, QStringList{root + "/zz-marker.txt"});
    QCOMPARE(reports.modified, QStringList());
    QCOMPARE(entries.guard().readersSeen(), 0);
}

void tst_DirectoryWatcher::unreadableNamesAreWarned()
{
    // Qt's own listing drops such names without a word; the watcher says where they are.
    QTemporaryDir temp;
    const QString root = temp.path();
    FileTest::RawNames names;
    QVERIFY(names.write(root + "/old", "caf\xe9.txt", "latin-1 name"));
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));
    QVERIFY(warned(logs, root + "/old"));

    QVERIFY(names.write(root + "/sub", "bad\xff\xfe", "x"));
    write(root + "/sub/zz-marker.txt", "m");
    QTRY_VERIFY_WITH_TIMEOUT(reports.added.contains(root + "/sub/zz-marker.txt"), 5000);
    QVERIFY2(warned(logs, root + "/sub"), qPrintable(logs.dump()));
    QCOMPARE(reports.added.size(), 1);
}

void tst_DirectoryWatcher::movedRootStopsTheReports_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("moved away") << "move";
    QTest::newRow("moved, a new folder in its place") << "move and mkdir";
    QTest::newRow("moved, a link to it in its place") << "move and link";
    QTest::newRow("removed") << "remove";
}

void tst_DirectoryWatcher::movedRootStopsTheReports()
{
    QFETCH(QString, change);
    QTemporaryDir temp;
    const QString root = temp.filePath("src");
    const QString moved = temp.filePath("moved");
    write(root + "/a.txt", "a");
    write(root + "/b.txt", "b");
    write(root + "/sub/c.txt", "c");
    DirectoryWatcher watcher;
    Reports reports(watcher);
    LogCapture logs;
    QVERIFY(watcher.setPath(root));

    if (change == "remove") {
        QVERIFY(QDir(root).removeRecursively());
    } else {
        QVERIFY(QDir().rename(root, moved));
        if (change == "move and mkdir")
            QVERIFY(QDir().mkdir(root));
        else if (change == "move and link")
            QVERIFY(FileTest::symlink(moved, root));
    }
    const QString stopped = QStringLiteral("Watched folder removed, renamed or replaced");
    QTRY_VERIFY_WITH_TIMEOUT(logs.has(Logwell::LogCritical, "DirectoryWatcher::rootIsIntact", {stopped, root}), 5000);
    // The files really removed with their folder may be told; nothing that moves is.
    for (const QString& file : qAsConst(reports.deleted))
        QVERIFY2(change == "remove", qPrintable(file));
    reports.clear();
    if (change == "remove")
        return;

    // A second watcher on the moved tree tells when the changes made there have been delivered.
    DirectoryWatcher sentinel;
    Reports sentinelReports(sentinel);
    QVERIFY(sentinel.setPath(moved));
    write(moved + "/a.txt", "changed");
    QVERIFY(QFile::remove(moved + "/b.txt"));
    write(moved + "/sub/new.txt", "new");
    if (change == "move and mkdir")
        write(root + "/fresh.txt", "fresh");
    QTRY_VERIFY_WITH_TIMEOUT(sentinelReports.added.contains(moved + "/sub/new.txt")
                                 && sentinelReports.deleted.contains(moved + "/b.txt")
                                 && sentinelReports.modified.contains(moved + "/a.txt"),
                             5000);
    QTest::qWait(100);
    QCOMPARE(reports.total(), 0);
    QCOMPARE(logs.count(Logwell::LogCritical), 1);
}

int main(int argc, char* argv[])
{
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--few-watches") == 0)
        return watchWithFewWatches(QString::fromLocal8Bit(argv[2]),
                                   argc == 4 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("f0000.txt"));
    if (argc == 4 && std::strcmp(argv[1], "--one-refused") == 0)
        return watchWithOneRefused(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QCoreApplication app(argc, argv);
    tst_DirectoryWatcher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_directorywatcher.moc"
