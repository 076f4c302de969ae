#include "FileUtils.h"
#include "FailureFixtures.h"
#include "TestFiles.h"
#include "LogCapture.h"

#include <QRegExp>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace FileTest;

static const char* FUNCTION_COPY_DIR = "FileUtils::copyDir";

class TestFileUtilsTrees : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> mTemp;
    QString path(const QString& name = QString()) const { return mTemp->path() + "/" + name; }

    // A small site: files at two levels, a hidden file and a hidden folder.
    void makeSite(const QString& root)
    {
        QVERIFY(writeFile(root + "/index.html", "index", true));
        QVERIFY(writeFile(root + "/.htaccess", "deny", true));
        QVERIFY(writeFile(root + "/images/logo.png", "logo", true));
        QVERIFY(writeFile(root + "/images/icons/a.svg", "svg", true));
        QVERIFY(writeFile(root + "/.git/config", "git", true));
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
        QVERIFY(writeFile(path("dst/stale.txt"), "stale", true));
        QVERIFY(writeFile(path("dst/images/logo.png"), "old logo", true));
        LogCapture logs;
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QCOMPARE(listTree(path("dst")), listTree(path("src")));
        QVERIFY(listTree(path("dst")).contains(".git/config=git"));
        QCOMPARE(logs.count(), 0);
    }

    // Every copy has its source's permission bits, whatever the umask takes from new files,
    // into a new folder (written in place), a replaced one and a merged one (over old files).
    void copyKeepsPermissions_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("new folder") << "new";
        QTest::newRow("replaced folder") << "replace";
        QTest::newRow("merged over old files") << "merge";
    }

    void copyKeepsPermissions()
    {
        QFETCH(QString, how);
        const QList<int> modes = {0755, 0600, 0444, 0777, 0640};
        for (int mode : modes) {
            const QString name = path("src/sub/f%1").arg(mode, 0, 8);
            QVERIFY(writeFile(name, "x", true));
            QVERIFY(::chmod(QFile::encodeName(name).constData(), mode_t(mode)) == 0);
            if (how != "new")
                QVERIFY(writeFile(path("dst/sub/f%1").arg(mode, 0, 8), "old", true));
        }
        const mode_t saved = ::umask(027);
        const bool copied = FileUtils::copyDir(path("src"), path("dst"), how == "merge");
        ::umask(saved);
        QVERIFY(copied);
        for (int mode : modes) {
            struct stat st;
            QVERIFY(::stat(QFile::encodeName(path("dst/sub/f%1").arg(mode, 0, 8)).constData(), &st) == 0);
            QCOMPARE(int(st.st_mode & 0777), mode);
        }
    }

    void copyDirMerge()
    {
        makeSite(path("src"));
        QVERIFY(writeFile(path("dst/stale.txt"), "stale", true));
        QVERIFY(writeFile(path("dst/images/logo.png"), "old logo", true));
        QVERIFY(writeFile(path("dst/images/extra.png"), "extra", true));
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), true));
        QStringList expected = listTree(path("src"));
        expected << "images/extra.png=extra" << "stale.txt=stale";
        expected.sort();
        QCOMPARE(listTree(path("dst")), expected);
    }

    void copyDirMissingSource()
    {
        QVERIFY(writeFile(path("dst/keep.txt"), "keep", true));
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path("missing"), path("dst"), false));
        QVERIFY(logs.has(Logwell::LogCritical, FUNCTION_COPY_DIR, {path("missing"), "Doesnt exists"}));
        QCOMPARE(listTree(path("dst")), QStringList{"keep.txt=keep"});
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
        const QStringList before = listTree(path("site"));
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path(source), path(destination), merge));
        QCOMPARE(listTree(path("site")), before);
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
            QVERIFY(writeFile(path("dst/images/logo.png"), "old logo", true));
            immutable.reset(new Immutable(path("dst/images/logo.png")));
        } else if (kind == "remove") {
            QVERIFY(writeFile(path("dst/locked/file"), "x", true));
            immutable.reset(new Immutable(path("dst/locked")));
            merge = false;
        } else {
            QVERIFY(writeFile(path("plain"), "file", true));
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
            QCOMPARE(readFile(path("dst/images/logo.png"), UNREADABLE), QByteArray("old logo"));
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
        QVERIFY(writeFile(path("outside/shared.txt"), "shared", true));
        QVERIFY(symlink("..", path("src/images/up")));           // loop back to the top
        QVERIFY(symlink(path("src"), path("src/self")));         // loop, absolute
        QVERIFY(symlink(path("outside"), path("src/outside")));  // a folder elsewhere
        LogCapture logs;
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QVERIFY(!QFileInfo::exists(path("dst/outside")));  // nothing from elsewhere is published
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR,
                         {"symbolic link out of the source skipped", path("src/outside")}));
        QCOMPARE(readFile(path("dst/images/logo.png"), UNREADABLE), QByteArray("logo"));
        QVERIFY(!QFileInfo::exists(path("dst/images/up/index.html")));
        QVERIFY(!QFileInfo::exists(path("dst/self/index.html")));
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR, "symbolic link loop"));
    }

    void copyDirOntoLinkedDestination()
    {
        makeSite(path("src"));
        QVERIFY(writeFile(path("elsewhere/precious.txt"), "precious", true));
        QVERIFY(symlink(path("elsewhere"), path("dst")));
        QVERIFY(FileUtils::copyDir(path("src"), path("dst"), false));
        QCOMPARE(readFile(path("elsewhere/precious.txt"), UNREADABLE), QByteArray("precious"));
        QVERIFY(!QFileInfo(path("dst")).isSymLink());
        QCOMPARE(listTree(path("dst")), listTree(path("src")));
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
        QVERIFY(writeFile(path("folder/file.txt"), "x", true));
        QVERIFY(writeFile(path("C:/file.txt"), "x", true));
        QVERIFY(writeFile(path("file.txt"), "x", true));
        const QStringList before = listTree(path());
        const QString argumentPath = argument == "MISSING" ? path("missing/") : argument;
        const bool result = FileUtils::removeContentDirectory(argumentPath, true);
        QCOMPARE(listTree(path()), before);
        if (oldRefuses)
            QVERIFY(!FileUtils::old::removeDirectory(argumentPath, true, nullptr, 10));
        QDir::setCurrent(previous);
        QVERIFY(!result);
        QCOMPARE(listTree(path()), before);
    }

    void removeContentDirectory()
    {
        makeSite(path("site"));
        QVERIFY(writeFile(path("outside/precious.txt"), "precious", true));
        QVERIFY(symlink(path("outside"), path("site/linked")));
        QVERIFY(symlink("..", path("site/images/up")));  // a loop back to the top
        QVERIFY(symlink(path("outside"), path("site/images/out")));
        LogCapture logs;
        QVERIFY(FileUtils::removeContentDirectory(path("site"), false));
        QCOMPARE(listTree(path("site")), QStringList({".git/", ".git/config=git", "images/", "images/icons/",
                                                  "images/icons/a.svg=svg", "images/logo.png=logo", "images/out ->",
                                                  "images/up ->"}));
        QVERIFY(FileUtils::removeContentDirectory(path("site"), true));
        QVERIFY(QFileInfo(path("site")).isDir());
        QCOMPARE(listTree(path("site")), QStringList());
        QCOMPARE(listTree(path("outside")), QStringList{"precious.txt=precious"});
        QCOMPARE(logs.count(), 0);
    }

    void removeContentDirectoryFailure()
    {
        QVERIFY(writeFile(path("site/a.txt"), "a", true));
        QVERIFY(writeFile(path("site/b.txt"), "b", true));
        QVERIFY(writeFile(path("site/c.txt"), "c", true));
        Immutable immutable(path("site/b.txt"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        LogCapture logs;
        QVERIFY(!FileUtils::removeContentDirectory(path("site"), true));
        QVERIFY(logs.has(Logwell::LogCritical, "FileUtils::removeContentDirectory",
                         {"enable to removeRecursively", path("site/b.txt")}));
        QCOMPARE(listTree(path("site")), QStringList({"b.txt=b", "c.txt=c"}));
    }

    void oldRemoveDirectory()
    {
        // Two levels: top and sub.
        QVERIFY(writeFile(path("top/a.txt"), "a", true));
        QVERIFY(writeFile(path("top/sub/file.txt"), "f", true));
        QVERIFY(writeFile(path("top/z.txt"), "z", true));
        LogCapture logs;
        QString error;
        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 1));
        QCOMPARE(error, "FileUtils::removeDirectory " + path("top/sub") + " profondeur max atteinte !");
        QCOMPARE(listTree(path("top")), QStringList({"sub/", "sub/file.txt=f", "z.txt=z"}));

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
        QVERIFY(writeFile(path("top/a.txt"), "a", true));
        QVERIFY(writeFile(path("top/locked/file.txt"), "f", true));
        Immutable immutable(path("top/locked"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        QString error;
        QVERIFY(!FileUtils::old::removeDirectory(path("top"), true, &error, 10));
        QVERIFY2(error.startsWith("Failed to remove file: " + path("top/locked/file.txt") + " ("), qPrintable(error));

        // The folder itself cannot go once its content is gone.
        immutable.release();
        QVERIFY(writeFile(path("top2/file.txt"), "f", true));
        Immutable immutableParent(path());
        QVERIFY(immutableParent.ok());
        QVERIFY(!FileUtils::old::removeDirectory(path("top2"), true, &error, 10));
        immutableParent.release();
        QVERIFY2(error.startsWith("Failed to remove directory: " + path("top2") + " ("), qPrintable(error));
    }

    void oldRemoveDirectoryLinks()
    {
        QVERIFY(writeFile(path("outside/precious.txt"), "precious", true));
        QVERIFY(writeFile(path("top/a.txt"), "a", true));
        QVERIFY(symlink(path("outside"), path("top/linked")));
        QVERIFY(symlink("..", path("top/up")));  // a loop back to the parent
        QVERIFY(symlink(path("outside"), path("alias")));
        QString error;
        QVERIFY2(FileUtils::old::removeDirectory(path("top"), true, &error, 10), qPrintable(error));
        QVERIFY(!QFileInfo::exists(path("top")));
        QVERIFY2(FileUtils::old::removeDirectory(path("alias"), true, &error, 10), qPrintable(error));
        QVERIFY(!QFileInfo(path("alias")).isSymLink());
        QCOMPARE(listTree(path("outside")), QStringList{"precious.txt=precious"});
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
        QVERIFY(writeFile(path("t/full/file"), "x", true));
        QVERIFY(writeFile(path("t/hiddenonly/.keep"), "", true));
        QVERIFY(QDir().mkpath(path("outside/emptyTarget")));
        QVERIFY(symlink(path("outside"), path("t/link")));
        QCOMPARE(FileUtils::removeEmptyDirs(path("t"), true), 2);
        QCOMPARE(listTree(path("t")), QStringList({"full/", "full/file=x", "hiddenonly/", "hiddenonly/.keep=", "link ->"}));
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
        QVERIFY(writeFile(path("root/x.txt"), "x", true));
        QVERIFY(writeFile(path("root/d/y.txt"), "y", true));
        QVERIFY(writeFile(path("root/.hidden.txt"), "h", true));
        QVERIFY(writeFile(path("root/.hiddendir/z.txt"), "z", true));
        QRegExp regExp(filter);
        QStringList list{"already there"};
        const int count = old ? FileUtils::old::listFilesInFileSystem(path("root"), list, recursive,
                                                                      filter.isEmpty() ? nullptr : &regExp, prefix)
                              : FileUtils::listFilesInFileSystem(path("root"), list, recursive,
                                                                 filter.isEmpty() ? nullptr : &regExp, prefix);
        QCOMPARE(count, files.size());
        QCOMPARE(list, QStringList{"already there"} + files);
    }

    void listingOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("ASCII") << QStringList{"b", "A", "_x", "Z", "a1", "10", "9", "a-b", "A.c", "~z"};
        QTest::newRow("ASCII and other letters")
            << QStringList{"\u00e9", "e", "F", "\u00c4", "z", "\u00df", "\u03a9mega", "\u03c9a", "\u65e5\u672c", "_"};
    }

    // The listings keep the order of a folder listing by name ignoring case.
    void listingOrder()
    {
        QFETCH(QStringList, names);
        for (const QString& name : qAsConst(names)) {
            QVERIFY(writeFile(path("files/" + name), "x", true));
            QVERIFY(QDir().mkpath(path("folders/" + name)));
        }
        const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
        QStringList files;
        QCOMPARE(FileUtils::listFilesInFileSystem(path("files"), files, false), names.size());
        QCOMPARE(files, QDir(path("files")).entryList(QDir::Files, order));
        QStringList folders;
        QVERIFY(FileUtils::listDirectoriesInFileSystem(path("folders"), folders, false));
        QStringList expected;
        for (const QString& name : QDir(path("folders")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, order))
            expected.append(path("folders/" + name));
        QCOMPARE(folders, expected);
    }

    void listFilesEmptyPath()
    {
        QVERIFY(writeFile(path("x.txt"), "x", true));
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
        QVERIFY(writeFile(path("root/x.txt"), "x", true));
        QVERIFY(writeFile(path("root/d/y.txt"), "y", true));
        QVERIFY(writeFile(path("outside/o.txt"), "o", true));
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
        QVERIFY(writeFile(path("m/ten.txt"), "0123456789", true));
        QVERIFY(writeFile(path("m/.ds_store"), "01234", true));
        QVERIFY(writeFile(path("m/sub/.hidden"), "abc", true));
        QVERIFY(writeFile(path("m/sub/deeper/two"), "ab", true));
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
        QVERIFY(writeFile(path("hiddenOnly/.hidden"), "h", true));
        QVERIFY(writeFile(path("withFile/file"), "f", true));
        QVERIFY(QDir().mkpath(path("withFolder/sub")));
        QCOMPARE(FileUtils::directoryIsEmpty(path(name)), empty);
    }
};

QTEST_GUILESS_MAIN(TestFileUtilsTrees)

#include "tst_fileutils_trees.moc"
