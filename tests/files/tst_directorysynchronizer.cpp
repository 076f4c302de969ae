#include <DirectorySynchronizer.h>
#include <LogCapture.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <TestFiles.h>
#include <OddEntries.h>

#include <DirectoryWatcher.h>

#include <thread>

static void write(const QString& path, const QByteArray& content)
{
    QVERIFY2(writeFile(path, content, true), qPrintable(path));
}

static QByteArray read(const QString& path)
{
    return QFileInfo::exists(path) ? readFile(path) : QByteArray("<missing>");
}

// Relative path -> content of every file below root (hidden ones included).
static QMap<QString, QByteArray> tree(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(root.size() + 1), read(path));
    }
    return files;
}

class tst_DirectorySynchronizer : public QObject
{
    Q_OBJECT
private slots:
    void fullSyncMakesAnExactCopy();
    void fullSyncFailure();
    void mirrorsAddModifyDelete();
    void newSubFolder();
    void removalOfAMissingCopy();
    void missingSource();
    void pathMapping();
    void relativePaths();
    void copyFailureIsReported();
    void nothingLostUnderLoad();
    void refusesAFolderInsideTheOther_data();
    void refusesAFolderInsideTheOther();
    void specialFilesAreNotMirrored_data();
    void specialFilesAreNotMirrored();
    void linksOutOfTheSourceAreNotMirrored();
    void mirrorChecksWhatItIsGiven_data();
    void mirrorChecksWhatItIsGiven();
    void unreadableNamesAreLogged();
    void movedSourceLeavesTheDestinationAlone_data();
    void movedSourceLeavesTheDestinationAlone();
    void burstWithLinksAndFifos();
};

// A warning from any function that names path.
static bool warned(const LogCapture& logs, const QString& path)
{
    return logs.has(Logwell::LogWarning, QString(), path);
}

void tst_DirectorySynchronizer::fullSyncMakesAnExactCopy()
{
    QTemporaryDir source, destination;
    write(source.path() + "/index.html", "<html>");
    write(source.path() + "/.htaccess", "deny");
    write(source.path() + "/img/a.png", "png");
    write(destination.path() + "/stale.txt", "old");
    write(destination.path() + "/img/old.png", "old");
    QVERIFY(DirectorySynchronizer::fullSync(source.path(), destination.path()));
    QCOMPARE(tree(destination.path()), tree(source.path()));
}

void tst_DirectorySynchronizer::fullSyncFailure()
{
    QTemporaryDir temp;
    LogCapture logs;
    QVERIFY(!DirectorySynchronizer::fullSync(temp.filePath("missing"), temp.filePath("copy")));
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("DirectorySynchronizer::fullSync"), QStringLiteral("FullSync fail")));
}

void tst_DirectorySynchronizer::mirrorsAddModifyDelete()
{
    QTemporaryDir source, destination;
    DirectorySynchronizer sync;
    QSignalSpy logSpy(&sync, &DirectorySynchronizer::log);
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    QVERIFY(sync.startWatcher(source.path() + "/", destination.path()));

    const QString copy = destination.path() + "/a.txt";
    write(source.path() + "/a.txt", "first");
    QTRY_COMPARE_WITH_TIMEOUT(read(copy), QByteArray("first"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!logSpy.isEmpty(), 5000);
    QCOMPARE(logSpy.first().first().toString(), QStringLiteral("[MOD] %1").arg(copy));

    write(source.path() + "/a.txt", "second");
    QTRY_COMPARE_WITH_TIMEOUT(read(copy), QByteArray("second"), 5000);

    logSpy.clear();
    QVERIFY(QFile::remove(source.path() + "/a.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!logSpy.isEmpty(), 5000);
    QCOMPARE(logSpy.last().first().toString(), QStringLiteral("[DEL] %1").arg(copy));
    QCOMPARE(errorSpy.count(), 0);
}

void tst_DirectorySynchronizer::newSubFolder()
{
    QTemporaryDir source, destination;
    DirectorySynchronizer sync;
    QVERIFY(sync.startWatcher(source.path(), destination.path()));
    write(source.path() + "/img/site/a.png", "png");
    QTRY_COMPARE_WITH_TIMEOUT(read(destination.path() + "/img/site/a.png"), QByteArray("png"), 5000);
    // Folders are never removed.
    QVERIFY(QDir(source.path() + "/img").removeRecursively());
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(destination.path() + "/img/site/a.png"), 5000);
    QVERIFY(QFileInfo(destination.path() + "/img/site").isDir());
}

void tst_DirectorySynchronizer::removalOfAMissingCopy()
{
    QTemporaryDir source, destination;
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    QVERIFY(sync.startWatcher(source.path(), destination.path()));
    write(source.path() + "/b.txt", "b");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(destination.path() + "/b.txt"), 5000);
    QVERIFY(QFile::remove(destination.path() + "/b.txt"));
    QVERIFY(QFile::remove(source.path() + "/b.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(!errorSpy.isEmpty(), 5000);
    QCOMPARE(errorSpy.first().first().toString(), QStringLiteral("unable to remove %1/b.txt").arg(destination.path()));
}

void tst_DirectorySynchronizer::missingSource()
{
    QTemporaryDir temp;
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    LogCapture logs;
    const QString missing = temp.filePath("missing");
    QVERIFY(!sync.startWatcher(missing + "/", temp.filePath("copy")));
    QCOMPARE(errorSpy.count(), 1);
    QCOMPARE(errorSpy.first().first().toString(), missing + " doesn't exist");
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("DirectorySynchronizer::checkDirs"), missing + " doesn't exist"));
}

void tst_DirectorySynchronizer::pathMapping()
{
    // '/data/site/img/site/a.png' -> '/backup/site/img/site/a.png': only the leading folder is replaced.
    QTemporaryDir temp;
    const QString source = temp.filePath("data/site");
    const QString destination = temp.filePath("backup/site");
    QVERIFY(QDir().mkpath(source));
    DirectorySynchronizer sync;
    QVERIFY(sync.startWatcher(source, destination));
    write(source + "/img/site/a.png", "png");
    QTRY_COMPARE_WITH_TIMEOUT(read(destination + "/img/site/a.png"), QByteArray("png"), 5000);
}

void tst_DirectorySynchronizer::relativePaths()
{
    // Folders relative to the current one: files of sub-folders watched later map alike.
    QTemporaryDir temp;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(temp.path()));
    struct Restore {
        QString path;
        ~Restore() { QDir::setCurrent(path); }
    } restore{previous};
    QVERIFY(QDir().mkpath("site"));
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    QVERIFY(sync.startWatcher("site", "backup"));
    write("site/img/a.png", "a");
    QTRY_COMPARE_WITH_TIMEOUT(read("backup/img/a.png"), QByteArray("a"), 5000);
    write("site/img/b.png", "b"); // once img is watched
    QTRY_COMPARE_WITH_TIMEOUT(read("backup/img/b.png"), QByteArray("b"), 5000);
    QCOMPARE(errorSpy.count(), 0);
}

void tst_DirectorySynchronizer::copyFailureIsReported()
{
    QTemporaryDir source, temp;
    // The destination is a regular file: nothing can be copied below it.
    const QString destination = temp.filePath("plain");
    write(destination, "not a folder");
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    QSignalSpy logSpy(&sync, &DirectorySynchronizer::log);
    QVERIFY(sync.startWatcher(source.path(), destination));
    write(source.path() + "/c.txt", "c");
    QTRY_VERIFY_WITH_TIMEOUT(!errorSpy.isEmpty(), 5000);
    QCOMPARE(errorSpy.first().first().toString(), QStringLiteral("unable to copy %1/c.txt").arg(source.path()));
    QCOMPARE(logSpy.count(), 0);
}

void tst_DirectorySynchronizer::nothingLostUnderLoad()
{
    QTemporaryDir sourceDir, destinationDir;
    const QString source = sourceDir.path();
    const QString destination = destinationDir.path();
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    QVERIFY(sync.startWatcher(source, destination));

    QElapsedTimer timer;
    timer.start();
    const int count = 2000;
    QMap<QString, QByteArray> expected;
    for (int i = 0; i < count; ++i) {
        // A third in new nested sub-folders; every seventh rewritten at once.
        const QString relative = i % 3 == 0 ? QStringLiteral("nested/n%1/deep%2/f%3.txt").arg(i % 40).arg(i % 7).arg(i)
                                            : QStringLiteral("f%1.txt").arg(i);
        QByteArray content = QByteArray("file ") + QByteArray::number(i);
        write(source + "/" + relative, content);
        if (i % 7 == 0) {
            content += " rewritten";
            write(source + "/" + relative, content);
        }
        expected.insert(relative, content);
        if (i % 100 == 99)
            QCoreApplication::processEvents(); // bursts, with the event loop running between them
    }
    QTRY_VERIFY_WITH_TIMEOUT(tree(destination) == expected, 60000);
    const qint64 mirrored = timer.elapsed();

    timer.restart();
    QVERIFY(QDir(source + "/nested").removeRecursively());
    for (const QString& relative : expected.keys())
        QFile::remove(source + "/" + relative);
    QTRY_VERIFY_WITH_TIMEOUT(tree(destination).isEmpty(), 60000);
    const qint64 removed = timer.elapsed();
    qInfo("mirrored %d files in %lld ms, removed them in %lld ms", count, mirrored, removed);
    QCOMPARE(errorSpy.count(), 0);
}

void tst_DirectorySynchronizer::refusesAFolderInsideTheOther_data()
{
    // Paths relative to the test's folder, which holds "site" (with "alias" a link to it).
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("watcherRefuses");
    QTest::addColumn<bool>("fullSyncRefuses");
    QTest::newRow("same folder") << "site" << "site" << true << true;
    QTest::newRow("sub-folder") << "site" << "site/mirror" << true << true;
    QTest::newRow("sub-folder, roundabout path") << "site" << "site/../site/export/" << true << true;
    QTest::newRow("through a link to the source") << "site" << "alias/mirror" << true << true;
    QTest::newRow("source inside the destination") << "out/site" << "out" << false << true;
    QTest::newRow("sibling sharing the name's start") << "site" << "site-mirror" << false << false;
}

void tst_DirectorySynchronizer::refusesAFolderInsideTheOther()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(bool, watcherRefuses);
    QFETCH(bool, fullSyncRefuses);
    QTemporaryDir temp;
    for (const QString& folder : {temp.filePath("site"), temp.filePath("out/site")}) {
        write(folder + "/index.html", "<html>");
        write(folder + "/img/a.png", "png");
    }
    QVERIFY(FileTest::symlink(temp.filePath("site"), temp.filePath("alias")));
    const QString from = temp.filePath(source);
    const QString to = temp.filePath(destination);
    const QMap<QString, QByteArray> before = tree(from);

    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    LogCapture logs;
    QCOMPARE(sync.startWatcher(from, to), !watcherRefuses);
    if (watcherRefuses) {
        QCOMPARE(errorSpy.count(), 1);
        QVERIFY(errorSpy.first().first().toString().contains(QDir::cleanPath(to)));
        QVERIFY2(logs.has(Logwell::LogCritical, "DirectorySynchronizer::checkDirs", QDir::cleanPath(to)),
                 qPrintable(logs.dump()));
    }

    logs.clear();
    QCOMPARE(DirectorySynchronizer::fullSync(from, to), !fullSyncRefuses);
    if (fullSyncRefuses) {
        QVERIFY(logs.has(Logwell::LogCritical, "DirectorySynchronizer::fullSync", "FullSync fail"));
        QCOMPARE(tree(from), before); // nothing copied into it, nothing removed from it
    } else {
        QCOMPARE(tree(to), before);
    }
}

void tst_DirectorySynchronizer::specialFilesAreNotMirrored_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString& kind : FileTest::OddEntries::kinds())
        QTest::newRow(qPrintable(kind)) << kind;
}

void tst_DirectorySynchronizer::specialFilesAreNotMirrored()
{
    QFETCH(QString, kind);
    QTemporaryDir source, destination;
    FileTest::OddEntries entries;
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    LogCapture logs;
    QVERIFY(sync.startWatcher(source.path(), destination.path()));
    const QString special = source.path() + "/sub/special";
    if (!entries.make(kind, special))
        QSKIP("this kind of entry cannot be made here");
    write(source.path() + "/sub/zz-marker.txt", "m");
    const QMap<QString, QByteArray> expected{{"sub/zz-marker.txt", "m"}};
    QTRY_COMPARE_WITH_TIMEOUT(tree(destination.path()), expected, 5000);
    QVERIFY2(warned(logs, special), qPrintable(logs.dump()));
    QCOMPARE(entries.guard().readersSeen(), 0);
    QCOMPARE(errorSpy.count(), 0);
}

void tst_DirectorySynchronizer::linksOutOfTheSourceAreNotMirrored()
{
    QTemporaryDir temp;
    const QString source = temp.filePath("site");
    const QString outside = temp.filePath("private");
    const QString destination = temp.filePath("mirror");
    write(outside + "/key", "secret");
    QVERIFY(QDir().mkpath(source));
    QVERIFY(QDir().mkpath(destination)); // so that the link into it is no dangling one
    DirectorySynchronizer sync;
    LogCapture logs;
    QVERIFY(sync.startWatcher(source, destination));

    write(source + "/real.txt", "real");
    const QStringList outLinks{"key.txt", "docs", "export", "img/up"};
    QVERIFY(FileTest::symlink("../private/key", source + "/key.txt"));
    QVERIFY(FileTest::symlink(outside, source + "/docs"));
    QVERIFY(FileTest::symlink("../mirror", source + "/export")); // into the destination
    QVERIFY(FileTest::symlink("../..", source + "/img/up"));
    QVERIFY(FileTest::symlink("real.txt", source + "/alias.txt")); // inside: mirrored as today
    write(source + "/zz-marker.txt", "m");
    QMap<QString, QByteArray> expected{{"real.txt", "real"}, {"alias.txt", "real"}, {"zz-marker.txt", "m"}};
    QTRY_COMPARE_WITH_TIMEOUT(tree(destination), expected, 5000);
    for (const QString& link : outLinks)
        QVERIFY2(warned(logs, source + "/" + link), qPrintable(link + "\n" + logs.dump()));

    // Later changes in the outside folder stay there.
    write(outside + "/key", "changed secret");
    write(outside + "/new.txt", "new");
    write(source + "/zz-marker2.txt", "m2");
    expected.insert("zz-marker2.txt", "m2");
    QTRY_COMPARE_WITH_TIMEOUT(tree(destination), expected, 5000);
    QTest::qWait(100);
    QCOMPARE(tree(destination), expected);
}

void tst_DirectorySynchronizer::mirrorChecksWhatItIsGiven_data()
{
    // What the watcher would not report, handed to the mirror directly: its own check holds.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file"); // in the source
    QTest::addColumn<bool>("copied");
    QTest::newRow("fifo") << "fifo" << "pipe" << false;
    QTest::newRow("link to fifo") << "link to fifo" << "pipe" << false;
    QTest::newRow("link to socket") << "link to socket" << "socket" << false;
    QTest::newRow("link out of the source") << "link out" << "key.txt" << false;
    QTest::newRow("through a folder link out") << "folder link out" << "docs/key" << false;
    QTest::newRow("link into the destination") << "link into destination" << "export/a.txt" << false;
    QTest::newRow("plain file") << "file" << "page.html" << true;
}

void tst_DirectorySynchronizer::mirrorChecksWhatItIsGiven()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(bool, copied);
    QTemporaryDir temp;
    const QString source = temp.filePath("site");
    const QString destination = temp.filePath("mirror");
    write(temp.filePath("private/key"), "secret");
    write(destination + "/a.txt", "already mirrored");
    QVERIFY(QDir().mkpath(source));
    FileTest::OddEntries entries;
    const QString path = source + "/" + file;
    if (kind == "file")
        write(path, "page");
    else if (kind == "link out")
        QVERIFY(FileTest::symlink("../private/key", path));
    else if (kind == "folder link out")
        QVERIFY(FileTest::symlink("../private", source + "/docs"));
    else if (kind == "link into destination")
        QVERIFY(FileTest::symlink("../mirror", source + "/export"));
    else
        QVERIFY(entries.make(kind, path));
    const QMap<QString, QByteArray> before = tree(destination);

    DirectorySynchronizer sync;
    QSignalSpy logSpy(&sync, &DirectorySynchronizer::log);
    LogCapture logs;
    QVERIFY(sync.startWatcher(source, destination));
    QVERIFY(QMetaObject::invokeMethod(&sync, "onFileAddedOrModified", Q_ARG(QString, path)));
    QCOMPARE(entries.guard().readersSeen(), 0);
    if (copied) {
        QCOMPARE(read(destination + "/" + file), QByteArray("page"));
        QCOMPARE(logSpy.count(), 1);
    } else {
        QCOMPARE(tree(destination), before);
        QCOMPARE(logSpy.count(), 0);
        QVERIFY2(logs.has(Logwell::LogWarning, "DirectorySynchronizer::onFileAddedOrModified", path),
                 qPrintable(logs.dump()));
    }
}

void tst_DirectorySynchronizer::unreadableNamesAreLogged()
{
    QTemporaryDir source, destination;
    FileTest::RawNames names;
    DirectorySynchronizer sync;
    LogCapture logs;
    QVERIFY(sync.startWatcher(source.path(), destination.path()));
    QVERIFY(names.write(source.path() + "/sub", "caf\xe9.txt", "latin-1 name"));
    write(source.path() + "/sub/zz-marker.txt", "m");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(destination.path() + "/sub/zz-marker.txt"), 5000);
    QVERIFY2(warned(logs, source.path() + "/sub"), qPrintable(logs.dump()));
}

void tst_DirectorySynchronizer::movedSourceLeavesTheDestinationAlone_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("moved away") << "move";
    QTest::newRow("moved, a new folder in its place") << "move and mkdir";
    QTest::newRow("moved, a link to it in its place") << "move and link";
}

void tst_DirectorySynchronizer::movedSourceLeavesTheDestinationAlone()
{
    QFETCH(QString, change);
    QTemporaryDir temp;
    const QString source = temp.filePath("src");
    const QString moved = temp.filePath("moved");
    const QString destination = temp.filePath("mirror");
    write(source + "/a.txt", "a");
    write(source + "/b.txt", "b");
    write(source + "/sub/c.txt", "c");
    QVERIFY(DirectorySynchronizer::fullSync(source, destination));
    const QMap<QString, QByteArray> mirrored = tree(destination);
    DirectorySynchronizer sync;
    QSignalSpy logSpy(&sync, &DirectorySynchronizer::log);
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    LogCapture logs;
    QVERIFY(sync.startWatcher(source, destination));

    QVERIFY(QDir().rename(source, moved));
    if (change == "move and mkdir")
        write(source + "/a.txt", "another folder's file");
    else if (change == "move and link")
        QVERIFY(FileTest::symlink(moved, source));
    QTRY_VERIFY_WITH_TIMEOUT(logs.has(Logwell::LogCritical, "DirectoryWatcher::rootIsIntact", source), 5000);

    // A second watcher on the moved tree tells when its changes have been delivered.
    DirectoryWatcher sentinel;
    QSignalSpy sentinelSpy(&sentinel, &DirectoryWatcher::deletedFile);
    QVERIFY(sentinel.setPath(moved));
    write(moved + "/a.txt", "changed");
    write(moved + "/sub/new.txt", "new");
    QVERIFY(QFile::remove(moved + "/b.txt"));
    QTRY_COMPARE_WITH_TIMEOUT(sentinelSpy.count(), 1, 5000);
    QTest::qWait(100);
    QCOMPARE(tree(destination), mirrored);

    // Reports that were on their way when the folder moved change nothing either.
    QVERIFY(QMetaObject::invokeMethod(&sync, "onFileAddedOrModified", Q_ARG(QString, source + "/a.txt")));
    QVERIFY(QMetaObject::invokeMethod(&sync, "onFileDeleted", Q_ARG(QString, source + "/b.txt")));
    QCOMPARE(tree(destination), mirrored);
    QCOMPARE(logSpy.count(), 0);
    QCOMPARE(errorSpy.count(), 0);
}

void tst_DirectorySynchronizer::burstWithLinksAndFifos()
{
    // Files written by another thread while the mirror runs, with links in and out of the source
    // and FIFOs mixed in: every regular file ends up mirrored with its last content.
    const int count = qEnvironmentVariableIsSet("LARKUTILS_TEST_LOAD_FILES")
        ? qEnvironmentVariableIntValue("LARKUTILS_TEST_LOAD_FILES")
        : 5000;
    QTemporaryDir temp;
    const QString source = temp.filePath("site");
    const QString outside = temp.filePath("private");
    const QString destination = temp.filePath("mirror");
    for (int i = 0; i < 10; ++i)
        write(outside + QStringLiteral("/p%1.txt").arg(i), "outside");
    QVERIFY(QDir().mkpath(source));
    FileTest::OddEntries entries;
    QStringList fifos;
    for (int i = 0; i < count; i += 50) {
        fifos << source + QStringLiteral("/nested/n%1/pipe%2").arg(i % 40).arg(i);
        fifos << source + QStringLiteral("/.targets/lpipe%1").arg(i);
    }
    for (const QString& fifo : qAsConst(fifos))
        entries.watchFifo(fifo);
    DirectorySynchronizer sync;
    QSignalSpy errorSpy(&sync, &DirectorySynchronizer::error);
    LogCapture logs;
    QVERIFY(sync.startWatcher(source, destination));

    const auto relative = [](int i) {
        return i % 3 == 0 ? QStringLiteral("nested/n%1/deep%2/f%3.txt").arg(i % 40).arg(i % 7).arg(i)
                          : QStringLiteral("f%1.txt").arg(i);
    };
    QMap<QString, QByteArray> expected;
    std::atomic<bool> written{false};
    std::atomic<int> failures{0};
    QElapsedTimer timer;
    timer.start();
    std::thread writer([&] {
        const auto put = [&](const QString& path, const QByteArray& content) {
            if (!writeFile(path, content, true))
                ++failures;
        };
        const auto link = [&](const QString& target, const QString& path) {
            if (!FileTest::symlink(target, path))
                ++failures;
        };
        for (int i = 0; i < count; ++i) {
            put(source + "/" + relative(i), "file " + QByteArray::number(i));
            if (i % 50 == 0) {
                link(QStringLiteral("../private/p%1.txt").arg(i % 10), source + QStringLiteral("/out%1.txt").arg(i));
                if (!FileTest::fifo(fifos.at(2 * (i / 50))) || !FileTest::fifo(fifos.at(2 * (i / 50) + 1)))
                    ++failures;
                link(fifos.at(2 * (i / 50) + 1), source + QStringLiteral("/lpipe%1").arg(i));
            }
            if (i % 500 == 0)
                link(outside, source + QStringLiteral("/outdir%1").arg(i));
        }
        for (int i = 0; i < count; ++i) {
            const QByteArray content = "file " + QByteArray::number(i) + " rewritten";
            put(source + "/" + relative(i), content);
            expected.insert(relative(i), content);
            if (i % 50 == 1) { // to a file rewritten already, and not again
                const QString alias = QStringLiteral("in%1.txt").arg(i);
                link(relative(i - 1), source + "/" + alias);
                expected.insert(alias, expected.value(relative(i - 1)));
            }
        }
        written = true;
    });
    const bool writerDone = QTest::qWaitFor([&] { return written.load(); }, 120000);
    writer.join();
    QVERIFY(writerDone);
    QCOMPARE(failures.load(), 0);
    const qint64 writing = timer.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(tree(destination) == expected, 120000);
    qInfo("%d new files and %d rewrites with links and FIFOs: written in %lld ms, mirrored in %lld ms", count, count,
          writing, timer.elapsed());
    QCOMPARE(entries.guard().readersSeen(), 0);
    QCOMPARE(errorSpy.count(), 0);
    QVERIFY(warned(logs, source + "/out0.txt"));
    QVERIFY(warned(logs, source + "/lpipe0"));
}

QTEST_GUILESS_MAIN(tst_DirectorySynchronizer)
#include "tst_directorysynchronizer.moc"
