#include "FileUtils.h"
#include "FileTestSupport.h"
#include "LogCapture.h"

#include <QRegExp>
#include <QTemporaryDir>
#include <QtTest>

using namespace FileTest;

static const char* FUNCTION_COPY_DIR = "FileUtils::copyDir";

class TestFileUtilsTrees : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> mTemp;
    QString path(const QString& name = QString()) const { return mTemp->path() + "/" + name; }

    // Every entry below folder (hidden ones included, links not followed), relative, sorted.
    static QStringList tree(const QString& folder)
    {
        QStringList entries;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            const QFileInfo info = it.fileInfo();
            QString name = entry.mid(folder.size() + 1);
            if (info.isSymLink())
                name += " ->";
            else if (info.isDir())
                name += "/";
            else
                name += "=" + QString::fromUtf8(read(entry));
            entries.append(name);
        }
        entries.sort();
        return entries;
    }

    // A small site: files at two levels, a hidden file and a hidden folder.
    void makeSite(const QString& root)
    {
        QVERIFY(write(root + "/index.html", "index"));
        QVERIFY(write(root + "/.htaccess", "deny"));
        QVERIFY(write(root + "/images/logo.png", "logo"));
        QVERIFY(write(root + "/images/icons/a.svg", "svg"));
        QVERIFY(write(root + "/.git/config", "git"));
    }

private slots:
    void init()
    {
        mTemp.reset(new QTemporaryDir);
        QVERIFY(mTemp->isValid());
    }

    // --- copying

    void copyDirReplace()
    {
        makeSite(path("src"));
        QVERIFY(write(path("dst/stale.txt"), "stale"));
        QVERIFY(write(path("dst/images/logo.png"), "old logo"));
        LogCapture logs;
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QCOMPARE(tree(path("dst")), tree(path("src")));
        QVERIFY(tree(path("dst")).contains(".git/config=git"));
        QCOMPARE(logs.count(), 0);
    }

    void copyDirMerge()
    {
        makeSite(path("src"));
        QVERIFY(write(path("dst/stale.txt"), "stale"));
        QVERIFY(write(path("dst/images/logo.png"), "old logo"));
        QVERIFY(write(path("dst/images/extra.png"), "extra"));
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), true));
        QStringList expected = tree(path("src"));
        expected << "images/extra.png=extra" << "stale.txt=stale";
        expected.sort();
        QCOMPARE(tree(path("dst")), expected);
    }

    void copyDirMissingSource()
    {
        QVERIFY(write(path("dst/keep.txt"), "keep"));
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path("missing"), path("dst"), false));
        QVERIFY(logs.has(Logwell::LogCritical, FUNCTION_COPY_DIR, {path("missing"), "Doesnt exists"}));
        QCOMPARE(tree(path("dst")), QStringList{"keep.txt=keep"});
    }

    void copyDirOneInsideTheOther_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("merge");
        QTest::newRow("same folder") << "site" << "site" << false;
        QTest::newRow("same folder merged") << "site" << "site/../site" << true;
        QTest::newRow("destination inside") << "site" << "site/images/copy" << true;
        QTest::newRow("source inside replaced destination") << "site/images" << "site" << false;
    }

    void copyDirOneInsideTheOther()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(bool, merge);
        makeSite(path("site"));
        const QStringList before = tree(path("site"));
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path(source), path(destination), merge));
        QCOMPARE(tree(path("site")), before);
        QCOMPARE(logs.count(Logwell::LogCritical), 1);
    }

    void copyDirFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file not copied") << "fileCopy";
        QTest::newRow("destination not removable") << "remove";
        QTest::newRow("destination not creatable") << "mkdir";
    }

    void copyDirFailures()
    {
        QFETCH(QString, kind);
        makeSite(path("src"));
        QString destination = path("dst");
        QScopedPointer<Immutable> immutable;
        bool merge = true;
        if (kind == "fileCopy") {
            QVERIFY(write(path("dst/images/logo.png"), "old logo"));
            immutable.reset(new Immutable(path("dst/images/logo.png")));
        } else if (kind == "remove") {
            QVERIFY(write(path("dst/locked/file"), "x"));
            immutable.reset(new Immutable(path("dst/locked")));
            merge = false;
        } else {
            QVERIFY(write(path("plain"), "file"));
            destination = path("plain/dst");
        }
        if (immutable && !immutable->ok())
            QSKIP("chattr +i not supported here");
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path("src"), destination, merge));
        if (kind == "fileCopy") {
            QVERIFY2(logs.has(Logwell::LogWarning, "FileUtils::forceCopy",
                              {"FileUtils::forceCopy can't remove ", path("dst/images/logo.png")}),
                     qPrintable(logs.dump()));
            QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR,
                             {"unable to copy", path("src/images/logo.png"), "to", path("dst/images/logo.png")}));
            QCOMPARE(read(path("dst/images/logo.png")), QByteArray("old logo"));
        } else if (kind == "remove") {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {"unable to removeRecursively", path("dst")}),
                     qPrintable(logs.dump()));
        } else {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {"unable to mkdir", destination}),
                     qPrintable(logs.dump()));
        }
    }

    void copyDirLinks()
    {
        makeSite(path("src"));
        QVERIFY(write(path("outside/shared.txt"), "shared"));
        QVERIFY(symlink("..", path("src/images/up")));           // loop back to the top
        QVERIFY(symlink(path("src"), path("src/self")));         // loop, absolute
        QVERIFY(symlink(path("outside"), path("src/outside")));  // a folder elsewhere
        LogCapture logs;
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QVERIFY(!QFileInfo::exists(path("dst/outside")));  // nothing from elsewhere is published
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR,
                         {"symbolic link out of the source skipped", path("src/outside")}));
        QCOMPARE(read(path("dst/images/logo.png")), QByteArray("logo"));
        QVERIFY(!QFileInfo::exists(path("dst/images/up/index.html")));
        QVERIFY(!QFileInfo::exists(path("dst/self/index.html")));
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR, "symbolic link loop"));
    }

    void copyDirOntoLinkedDestination()
    {
        makeSite(path("src"));
        QVERIFY(write(path("elsewhere/precious.txt"), "precious"));
        QVERIFY(symlink(path("elsewhere"), path("dst")));
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QCOMPARE(read(path("elsewhere/precious.txt")), QByteArray("precious"));
        QVERIFY(!QFileInfo(path("dst")).isSymLink());
        QCOMPARE(tree(path("dst")), tree(path("src")));
    }

    // --- removing

    void removeContentDirectoryRefusals_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("oldRefuses");  // the older removal has no rule for "." and names
        QTest::newRow("dot") << "." << false;
        QTest::newRow("no slash") << "folder" << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("drive root") << "C:/" << true;
        QTest::newRow("drive root twice") << "C://" << true;
        QTest::newRow("missing") << "MISSING" << true;
    }

    void removeContentDirectoryRefusals()
    {
        QFETCH(QString, argument);
        QFETCH(bool, oldRefuses);
        // Relative names resolve inside the temporary folder, "C:" included.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(path()));
        QVERIFY(write(path("folder/file.txt"), "x"));
        QVERIFY(write(path("C:/file.txt"), "x"));
        QVERIFY(write(path("file.txt"), "x"));
        const QStringList before = tree(path());
        const QString argumentPath = argument == "MISSING" ? path("missing/") : argument;
        const bool result = FileUtils::removeContentDirectory(argumentPath, true);
        QCOMPARE(tree(path()), before);
        if (oldRefuses)
            QVERIFY(!FileUtils::old::removeDirectory(argumentPath, true, nullptr, 10));
        QDir::setCurrent(previous);
        QVERIFY(!result);
        QCOMPARE(tree(path()), before);
    }

    void removeContentDirectory()
    {
        makeSite(path("site"));
        QVERIFY(write(path("outside/precious.txt"), "precious"));
        QVERIFY(symlink(path("outside"), path("site/linked")));
        QVERIFY(symlink("..", path("site/images/up")));  // a loop back to the top
        QVERIFY(symlink(path("outside"), path("site/images/out")));
        LogCapture logs;
        QVERIFY(FileUtils::removeContentDirectory(path("site"), false));
        QCOMPARE(tree(path("site")), QStringList({".git/", ".git/config=git", "images/", "images/icons/",
                                                  "images/icons/a.svg=svg", "images/logo.png=logo", "images/out ->",
                                                  "images/up ->"}));
        QVERIFY(FileUtils::removeContentDirectory(path("site"), true));
        QVERIFY(QFileInfo(path("site")).isDir());
        QCOMPARE(tree(path("site")), QStringList());
        QCOMPARE(tree(path("outside")), QStringList{"precious.txt=precious"});
        QCOMPARE(logs.count(), 0);
    }

    void removeContentDirectoryFailure()
    {
        QVERIFY(write(path("site/a.txt"), "a"));
        QVERIFY(write(path("site/b.txt"), "b"));
        QVERIFY(write(path("site/c.txt"), "c"));
        Immutable immutable(path("site/b.txt"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        LogCapture logs;
        QVERIFY(!FileUtils::removeContentDirectory(path("site"), true));
        QVERIFY(logs.has(Logwell::LogCritical, "FileUtils::removeContentDirectory",
                         {"enable to removeRecursively", path("site/b.txt")}));
        QCOMPARE(tree(path("site")), QStringList({"b.txt=b", "c.txt=c"}));
    }

    void oldRemoveDirectory()
    {
        // Two levels: top and sub.
        QVERIFY(write(path("top/a.txt"), "a"));
        QVERIFY(write(path("top/sub/file.txt"), "f"));
        QVERIFY(write(path("top/z.txt"), "z"));
        LogCapture logs;
        QString error;
        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 1));
        QCOMPARE(error, "FileUtils::removeDirectory " + path("top/sub") + " profondeur max atteinte !");
        QCOMPARE(tree(path("top")), QStringList({"sub/", "sub/file.txt=f", "z.txt=z"}));

        QVERIFY(!FileUtils::old::removeDirectory(path("top"), false, &error, 10));
        QCOMPARE(error, QString("Failed to remove file: sub (non recursive operation)"));

        error = "untouched";
        QVERIFY(FileUtils::old::removeDirectory(path("top"), true, &error, 2));
        QVERIFY(!QFileInfo::exists(path("top")));
        QCOMPARE(error, QString("untouched"));

        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 2));
        QCOMPARE(error, "FileUtils::removeDirectory: " + path("top") + " doesn't exist");
        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 0));
        QCOMPARE(error, "FileUtils::removeDirectory " + path("top") + " profondeur max atteinte !");
        QVERIFY(!FileUtils::old::removeDirectory(QString(), true, &error, 2));
        QCOMPARE(logs.count(), 0);
    }

    void oldRemoveDirectoryFailures()
    {
        QVERIFY(write(path("top/a.txt"), "a"));
        QVERIFY(write(path("top/locked/file.txt"), "f"));
        Immutable immutable(path("top/locked"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        QString error;
        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 10));
        QVERIFY2(error.startsWith("Failed to remove file: " + path("top/locked/file.txt") + " ("), qPrintable(error));

        // The folder itself cannot go once its content is gone.
        immutable.release();
        QVERIFY(write(path("top2/file.txt"), "f"));
        Immutable immutableParent(path());
        QVERIFY(immutableParent.ok());
        QVERIFY(!FileUtils::old::removeDirectory(path("top2"), true, &error, 10));
        immutableParent.release();
        QVERIFY2(error.startsWith("Failed to remove directory: " + path("top2") + " ("), qPrintable(error));
    }

    void oldRemoveDirectoryLinks()
    {
        QVERIFY(write(path("outside/precious.txt"), "precious"));
        QVERIFY(write(path("top/a.txt"), "a"));
        QVERIFY(symlink(path("outside"), path("top/linked")));
        QVERIFY(symlink("..", path("top/up")));  // a loop back to the parent
        QVERIFY(symlink(path("outside"), path("alias")));
        QString error;
        QVERIFY2(FileUtils::old::removeDirectory(path("top"), true, &error, 10), qPrintable(error));
        QVERIFY(!QFileInfo::exists(path("top")));
        QVERIFY2(FileUtils::old::removeDirectory(path("alias"), true, &error, 10), qPrintable(error));
        QVERIFY(!QFileInfo(path("alias")).isSymLink());
        QCOMPARE(tree(path("outside")), QStringList{"precious.txt=precious"});
    }

    void removeEmptyDirs()
    {
        QVERIFY(QDir().mkpath(path("a/b/c")));
        QCOMPARE(FileUtils::removeEmptyDirs(path("a"), false), 0);
        QVERIFY(QFileInfo(path("a/b/c")).isDir());
        QCOMPARE(FileUtils::removeEmptyDirs(path("a"), true), 3);
        QVERIFY(!QFileInfo::exists(path("a")));

        // Kept: a folder with a file, one with only a hidden file, a link and the empty folder it
        // points to outside the tree.
        QVERIFY(QDir().mkpath(path("t/empty1")));
        QVERIFY(QDir().mkpath(path("t/full/empty2")));
        QVERIFY(write(path("t/full/file"), "x"));
        QVERIFY(write(path("t/hiddenonly/.keep"), ""));
        QVERIFY(QDir().mkpath(path("outside/emptyTarget")));
        QVERIFY(symlink(path("outside"), path("t/link")));
        QCOMPARE(FileUtils::removeEmptyDirs(path("t"), true), 2);
        QCOMPARE(tree(path("t")), QStringList({"full/", "full/file=x", "hiddenonly/", "hiddenonly/.keep=", "link ->"}));
        QVERIFY(QFileInfo(path("outside/emptyTarget")).isDir());
    }

    // --- listing

    void listFiles_data()
    {
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("recursive");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("recursive") << false << true << "" << "" << QStringList{"d/y.txt", "x.txt"};
        QTest::newRow("old recursive") << true << true << "" << "" << QStringList{"/d/y.txt", "/x.txt"};
        QTest::newRow("flat") << false << false << "" << "" << QStringList{"x.txt"};
        QTest::newRow("prefix") << false << true << "" << "pre" << QStringList{"pre/d/y.txt", "pre/x.txt"};
        QTest::newRow("old prefix with slash") << true << true << "" << "pre/" << QStringList{"pre/d/y.txt", "pre/x.txt"};
        QTest::newRow("filter matches nothing") << false << true << "nothing" << "" << QStringList{"x.txt"};
        QTest::newRow("filter on the name") << false << true << "d" << "" << QStringList{"d/y.txt", "x.txt"};
        QTest::newRow("filter matches exactly") << false << true << "d.+" << "" << QStringList{"x.txt"};
    }

    void listFiles()
    {
        QFETCH(bool, old);
        QFETCH(bool, recursive);
        QFETCH(QString, filter);
        QFETCH(QString, prefix);
        QFETCH(QStringList, files);
        QVERIFY(write(path("root/x.txt"), "x"));
        QVERIFY(write(path("root/d/y.txt"), "y"));
        QVERIFY(write(path("root/.hidden.txt"), "h"));
        QVERIFY(write(path("root/.hiddendir/z.txt"), "z"));
        QRegExp regExp(filter);
        QStringList list{"already there"};
        const int count = old ? FileUtils::old::listFilesInFileSystem(path("root"), list, recursive,
                                                                      filter.isEmpty() ? nullptr : &regExp, prefix)
                              : FileUtils::listFilesInFileSystem(path("root"), list, recursive,
                                                                 filter.isEmpty() ? nullptr : &regExp, prefix);
        QCOMPARE(count, files.size());
        QCOMPARE(list, QStringList{"already there"} + files);
    }

    void listFilesEmptyPath()
    {
        QVERIFY(write(path("x.txt"), "x"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(path()));
        QStringList current, older;
        const int count = FileUtils::listFilesInFileSystem(QString(), current);
        const int countOld = FileUtils::old::listFilesInFileSystem(QString(), older);
        QDir::setCurrent(previous);
        QCOMPARE(count, 0);
        QVERIFY(current.isEmpty());
        QCOMPARE(countOld, 1);
        QCOMPARE(older, QStringList{"/x.txt"});
        QCOMPARE(FileUtils::listFilesInFileSystem(path("missing"), current), 0);
    }

    void listingsWithLinks()
    {
        QVERIFY(write(path("root/x.txt"), "x"));
        QVERIFY(write(path("root/d/y.txt"), "y"));
        QVERIFY(write(path("outside/o.txt"), "o"));
        QVERIFY(symlink("..", path("root/d/up")));
        QVERIFY(symlink(path("root"), path("root/d/self")));
        QVERIFY(symlink(path("outside"), path("root/out")));
        QStringList files;
        QCOMPARE(FileUtils::listFilesInFileSystem(path("root"), files), 3);
        QCOMPARE(files, QStringList({"d/y.txt", "out/o.txt", "x.txt"}));
        files.clear();
        QCOMPARE(FileUtils::old::listFilesInFileSystem(path("root"), files, true, nullptr, path("root")), 3);
        QCOMPARE(files.first(), path("root/d/y.txt"));

        QStringList folders;
        QVERIFY(FileUtils::listDirectoriesInFileSystem(path("root"), folders));
        QCOMPARE(folders, QStringList({path("root/d"), path("root/d/self"), path("root/d/up"), path("root/out")}));

        int count = 0;
        QCOMPARE(FileUtils::folderSize(path("root"), &count), quint64(3));
        QCOMPARE(count, 3);
    }

    void listDirectories()
    {
        QVERIFY(QDir().mkpath(path("root/a/a1")));
        QVERIFY(QDir().mkpath(path("root/B")));
        QVERIFY(QDir().mkpath(path("root/.hidden/h")));
        QStringList folders{"kept"};
        QVERIFY(FileUtils::listDirectoriesInFileSystem(path("root"), folders, true));
        QCOMPARE(folders, QStringList({"kept", path("root/a"), path("root/a/a1"), path("root/B")}));
        folders.clear();
        QVERIFY(FileUtils::listDirectoriesInFileSystem(path("root"), folders, false));
        QCOMPARE(folders, QStringList({path("root/a"), path("root/B")}));
        folders.clear();
        QVERIFY(!FileUtils::listDirectoriesInFileSystem(path("missing"), folders, true));
        QVERIFY(folders.isEmpty());

        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(path("root")));
        const bool listed = FileUtils::listDirectoriesInFileSystem(QString(), folders, false);
        QDir::setCurrent(previous);
        QVERIFY(listed);
        QCOMPARE(folders, QStringList({path("root/a"), path("root/B")}));
    }

    // --- measuring

    void folderSize()
    {
        QVERIFY(write(path("m/ten.txt"), "0123456789"));
        QVERIFY(write(path("m/.ds_store"), "01234"));
        QVERIFY(write(path("m/sub/.hidden"), "abc"));
        QVERIFY(write(path("m/sub/deeper/two"), "ab"));
        const QDateTime newest = QDateTime::currentDateTime().addSecs(3600);
        {
            QFile file(path("m/sub/deeper/two"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(newest, QFileDevice::FileModificationTime));
        }
        int count = 5;
        QDateTime lastModified;
        QCOMPARE(FileUtils::folderSize(path("m"), &count, &lastModified), quint64(15));
        QCOMPARE(count, 8);
        QCOMPARE(lastModified.toSecsSinceEpoch(), newest.toSecsSinceEpoch());
        QCOMPARE(FileUtils::folderSize(path("m/sub/..") + "/"), quint64(15));
        QCOMPARE(FileUtils::folderSize(path("missing"), &count), quint64(0));
        QCOMPARE(FileUtils::folderSize(path("m/ten.txt"), &count), quint64(0));
        QCOMPARE(count, 8);
    }

    void directoryIsEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty") << "empty" << true;
        QTest::newRow("hidden file only") << "hiddenOnly" << true;
        QTest::newRow("a file") << "withFile" << false;
        QTest::newRow("a folder") << "withFolder" << false;
        QTest::newRow("missing") << "missing" << true;
    }

    void directoryIsEmpty()
    {
        QFETCH(QString, name);
        QFETCH(bool, empty);
        QVERIFY(QDir().mkpath(path("empty")));
        QVERIFY(write(path("hiddenOnly/.hidden"), "h"));
        QVERIFY(write(path("withFile/file"), "f"));
        QVERIFY(QDir().mkpath(path("withFolder/sub")));
        QCOMPARE(FileUtils::directoryIsEmpty(path(name)), empty);
    }
};

QTEST_GUILESS_MAIN(TestFileUtilsTrees)

#include "tst_fileutils_trees.moc"
