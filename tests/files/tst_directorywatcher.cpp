#include <DirectoryWatcher.h>
#include <LogCapture.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <TestFiles.h>

#include <cstdio>

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

QTEST_GUILESS_MAIN(tst_DirectoryWatcher)
#include "tst_directorywatcher.moc"
