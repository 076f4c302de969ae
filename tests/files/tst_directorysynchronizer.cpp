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
    void copyFailureIsReported();
    void nothingLostUnderLoad();
};

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

QTEST_GUILESS_MAIN(tst_DirectorySynchronizer)
#include "tst_directorysynchronizer.moc"
