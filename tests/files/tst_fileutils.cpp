#include "FileUtils.h"
#include "ChildProcess.h"
#include "FailureFixtures.h"
#include "TestFiles.h"
#include "LogCapture.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QFileIconProvider>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstring>

using namespace FileTest;

static const char* FUNCTION_WRITE = "FileUtils::writeFileContent";
static const char* FUNCTION_COPY = "FileUtils::forceCopy";

// Child mode for the sample icons: this program, placed beside a data folder, tells whether the
// icon of a name is the folder icon (the sample "file.xyz" of that data folder is a folder).
static int childIconMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QIcon icon = FileUtils::iconFromFilename(QString::fromUtf8(argv[2]));
    const QImage folder = QFileIconProvider().icon(QFileIconProvider::Folder).pixmap(16).toImage();
    QTextStream(stdout) << (icon.pixmap(16).toImage() == folder ? "folder" : "other") << '\n';
    return 0;
}

// Writes at most mLimit bytes, then every write fails; records the size of each write.
class LimitedDevice : public QIODevice
{
public:
    explicit LimitedDevice(qint64 limit) : mLimit(limit) { open(QIODevice::WriteOnly); }
    QList<qint64> writes;
    QByteArray data;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* bytes, qint64 size) override
    {
        writes.append(size);
        const qint64 n = qMin(size, mLimit - qint64(data.size()));
        if (n <= 0)
            return -1;
        data.append(bytes, int(n));
        return n;
    }

private:
    qint64 mLimit;
};

// Claims bytes that it never delivers.
class EmptyPromiseDevice : public QIODevice
{
public:
    EmptyPromiseDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 100; }

protected:
    qint64 readData(char*, qint64) override { return 0; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

class TestFileUtils : public QObject
{
    Q_OBJECT

    QTemporaryDir mTemp;
    QString path(const QString& name) const { return mTemp.path() + "/" + name; }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(mTemp.isValid());
    }

    // --- reading and writing

    void readFileContent()
    {
        const QByteArray bytes("line\r\n\0binary\xff", 14);
        QVERIFY(writeFile(path("read/data.bin"), bytes, true));
        LogCapture logs;
        QCOMPARE(FileUtils::readFileContent(path("read/data.bin")), bytes);
        QCOMPARE(FileUtils::readFileContent(path("read")), QByteArray());  // a folder
        QCOMPARE(FileUtils::readFileContent(path("read/missing"), false), QByteArray());
        QCOMPARE(FileUtils::readFileContent(QString(), true), QByteArray());
        QCOMPARE(logs.count(), 1);  // the folder, logged by default
        QCOMPARE(FileUtils::readFileContent(path("read/missing"), true), QByteArray());
        QVERIFY2(logs.has(Logwell::LogDebug, "FileUtils::readFileContent",
                          {"FileUtils::readFileContent error : ", path("read/missing"), " ne peut etre ouvert !"}),
                 qPrintable(logs.dump()));
        QCOMPARE(logs.count(Logwell::LogWarning), 0);
    }

    void writeFileContentCreatesFolders()
    {
        LogCapture logs;
        QString error = "untouched";
        QVERIFY(FileUtils::writeFileContent(path("write/a/b/file.txt"), "content", &error));
        QCOMPARE(readFile(path("write/a/b/file.txt"), UNREADABLE), QByteArray("content"));
        QVERIFY(FileUtils::writeFileContent(path("write/a/b/file.txt"), "new", &error));
        QCOMPARE(readFile(path("write/a/b/file.txt"), UNREADABLE), QByteArray("new"));
        QVERIFY(FileUtils::writeFileContent(path("write/c/empty.txt"), QByteArray(), &error));
        QVERIFY(QFileInfo(path("write/c/empty.txt")).isFile());
        QCOMPARE(QFileInfo(path("write/c/empty.txt")).size(), 0);
        QVERIFY(!FileUtils::writeFileContent(QString(), "x", &error));
        QCOMPARE(error, QString("untouched"));
        QCOMPARE(logs.count(), 0);
        QCOMPARE(QDir(path("write/a/b")).entryList(QDir::Files | QDir::Hidden), QStringList{"file.txt"});
    }

    void writeFileContentThroughLink()
    {
        QVERIFY(writeFile(path("link/target.txt"), "old", true));
        QVERIFY(symlink(path("link/target.txt"), path("link/alias.txt")));
        QVERIFY(FileUtils::writeFileContent(path("link/alias.txt"), "new"));
        QVERIFY(QFileInfo(path("link/alias.txt")).isSymLink());
        QCOMPARE(readFile(path("link/target.txt"), UNREADABLE), QByteArray("new"));
    }

    void writeFileContentFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<QString>("name");
        const QString file = "file.txt";
        const QString longest = QString(251, 'n') + ".txt";  // 255 bytes: written under a shorter temporary name
        QTest::newRow("parent is a file") << "parentFile" << "(fileMkPath) Cant create folder '%1' !" << file;
        QTest::newRow("folder where the file is") << "folder" << "Cannot open (WriteOnly) %1" << file;
        QTest::newRow("immutable file") << "immutable" << "Cannot open (WriteOnly) %1" << file;
        QTest::newRow("full disk") << "fullDisk" << "Cannot write datas (WriteOnly) in %1" << file;
        QTest::newRow("file size limit") << "sizeLimit" << "Cannot write datas (WriteOnly) in %1" << file;
        QTest::newRow("folder where the file is, longest name") << "folder" << "Cannot open (WriteOnly) %1" << longest;
        QTest::newRow("immutable file, longest name") << "immutable" << "Cannot open (WriteOnly) %1" << longest;
        QTest::newRow("full disk, longest name") << "fullDisk" << "Cannot write datas (WriteOnly) in %1" << longest;
        QTest::newRow("file size limit, longest name") << "sizeLimit" << "Cannot write datas (WriteOnly) in %1"
                                                       << longest;
    }

    void writeFileContentFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, errorText);
        QFETCH(QString, name);
        const QString folder = path("fail-" + kind + QString::number(name.size()));
        QString target = folder + "/" + name;
        const QByteArray old("old content");
        const QByteArray big(64 * 1024, 'n');
        QScopedPointer<Immutable> immutable;
        QScopedPointer<FullDisk> full;
        QScopedPointer<FileSizeLimit> limit;
        QString arg = target;
        if (kind == "parentFile") {
            QVERIFY(writeFile(folder + "/plain", "file", true));
            target = folder + "/plain/sub/file.txt";
            arg = folder + "/plain/sub";
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(target));
            arg = target;
        } else {
            if (kind == "fullDisk") {
                full.reset(new FullDisk(folder, old, name));
                if (!full->ok())
                    QSKIP("cannot mount a tmpfs here");
            } else {
                QVERIFY(writeFile(target, old, true));
            }
            if (kind == "immutable") {
                immutable.reset(new Immutable(target));
                if (!immutable->ok())
                    QSKIP("chattr +i not supported here");
            }
            if (kind == "sizeLimit") {
                limit.reset(new FileSizeLimit(4096));
                QVERIFY(limit->ok());
            }
        }
        LogCapture logs;
        QString error;
        const bool written = FileUtils::writeFileContent(target, big, &error);
        limit.reset();
        QVERIFY(!written);
        QCOMPARE(error, errorText.arg(arg));
        if (kind != "parentFile") {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_WRITE, {"cannot open file ", target}), qPrintable(logs.dump()));
        } else {
            QCOMPARE(logs.count(), 0);
        }
        if (kind == "immutable" || kind == "fullDisk" || kind == "sizeLimit") {
            QCOMPARE(readFile(target, UNREADABLE), old);  // the previous content survives
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                     kind == "fullDisk" ? 2 : 1);  // no temporary file left behind
        }
    }

    void fileMkPath()
    {
        LogCapture logs;
        QString error = "untouched";
        QVERIFY(FileUtils::fileMkPath(path("mk/a/b/file.txt"), &error));
        QVERIFY(QFileInfo(path("mk/a/b")).isDir());
        QVERIFY(FileUtils::fileMkPath(path("mk/a/b/file.txt"), &error));
        QCOMPARE(error, QString("untouched"));
        QVERIFY(writeFile(path("mk/file"), "x", true));
        QVERIFY(!FileUtils::fileMkPath(path("mk/file/x/y.txt"), &error));
        QCOMPARE(error, QString("(fileMkPath) Cant create folder '%1' !").arg(path("mk/file/x")));
        QCOMPARE(logs.count(), 0);
    }

    void oldForceDirectoryCreation()
    {
        LogCapture logs;
        QString error = "untouched";
        QVERIFY(FileUtils::old::forceDirectoryCreationForAFile(path("old/x/y/file.txt"), &error));
        QVERIFY(QFileInfo(path("old/x/y")).isDir());
        QVERIFY(FileUtils::old::forceDirectoryCreationForAFile("no-slash-name", &error));
        QVERIFY(!QFileInfo::exists("no-slash-name"));
        QCOMPARE(error, QString("untouched"));
        QCOMPARE(logs.count(), 0);

        // A level that cannot be created fails, the next levels are still tried.
        QVERIFY(writeFile(path("old/blocker"), "file", true));
        QVERIFY(!FileUtils::old::forceDirectoryCreationForAFile(path("old/blocker/sub/file.txt"), &error));
        const QString folder = path("old/blocker/sub/");
        QCOMPARE(error, "The folder '" + folder + "' cannot be created!");
        QVERIFY(logs.has(Logwell::LogWarning, "FileUtils::old::forceDirectoryCreationForAFile",
                         "Mkdir fail on \"" + path("old/blocker") + "\""));
        QVERIFY(logs.has(Logwell::LogWarning, "FileUtils::old::forceDirectoryCreationForAFile",
                         "Mkdir fail on \"" + path("old/blocker/sub") + "\""));
        QVERIFY(logs.has(Logwell::LogWarning, "FileUtils::old::forceDirectoryCreationForAFile",
                         "The folder '" + folder + "' cannot be created!"));
    }

    void folderExists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("folder") << "exists/dir" << true;
        QTest::newRow("unclean folder") << "exists/dir/../dir/" << true;
        QTest::newRow("file") << "exists/file" << false;
        QTest::newRow("missing") << "exists/missing" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("spaces") << "   " << false;
    }

    void folderExists()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QVERIFY(QDir().mkpath(path("exists/dir")));
        QVERIFY(writeFile(path("exists/file"), "x", true));
        QCOMPARE(FileUtils::folderExists(name.trimmed().isEmpty() ? name : path(name)), exists);
    }

    void checkWritingRight()
    {
        QString error = "untouched";
        QVERIFY(FileUtils::checkWritingRightInFolder(path("writable"), "Label", &error));
        QVERIFY(QFileInfo(path("writable")).isDir());  // created
        QVERIFY(QDir(path("writable")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        QCOMPARE(error, QString("untouched"));

        QVERIFY(!FileUtils::checkWritingRightInFolder(QString(), "Label", &error));
        QCOMPARE(error, QString("Folder is not valid ! (empty)"));

        QVERIFY(QDir().mkpath(path("blocked")));
        Immutable immutable(path("blocked"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        LogCapture logs;
        const QString openError = QString("Cannot open (WriteOnly) %1").arg(path("blocked/check_write"));
        QVERIFY(!FileUtils::checkWritingRightInFolder(path("blocked") + "/", "Working folder", &error));
        QCOMPARE(error, "Cant write in Working folder error=" + openError + "\nWin10 : ransomware blocking alert");
        QVERIFY(!FileUtils::checkWritingRightInFolder(path("blocked"), QString(), &error));
        QCOMPARE(error, openError + "\nWin10 : ransomware blocking alert");
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_WRITE, path("blocked/check_write")));
        QVERIFY(!FileUtils::checkWritingRightInFolder(path("blocked"), "x", nullptr));
    }

    void labelWorkingFolderBlocked()
    {
        QCOMPARE(FileUtils::labelWorkingFolderBlocked("C:/work", "https://doc.example/x"),
                 QString("Your working folder C:/work seem not accessible en write, change it or consult "
                         "<a href='https://doc.example/x'>Documentation</a>"));
        QCOMPARE(FileUtils::labelWorkingFolderBlocked("a\nb", "u"),
                 QString("Your working folder a<br>b seem not accessible en write, change it or consult "
                         "<a href='u'>Documentation</a>"));
    }

    // --- copying

    void forceCopy()
    {
        QVERIFY(writeFile(path("copy/source.txt"), "source", true));
        QVERIFY(writeFile(path("copy/dest.txt"), "old destination", true));
        LogCapture logs;
        QVERIFY(FileUtils::forceCopy(path("copy/source.txt"), path("copy/dest.txt")));
        QCOMPARE(readFile(path("copy/dest.txt"), UNREADABLE), QByteArray("source"));
        QVERIFY(FileUtils::forceCopy(path("copy/source.txt"), path("copy/new/deeper/dest.txt")));
        QCOMPARE(readFile(path("copy/new/deeper/dest.txt"), UNREADABLE), QByteArray("source"));
        QCOMPARE(logs.count(), 0);
        QCOMPARE(QDir(path("copy")).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary file

        // Onto itself: the file stays whole.
        QVERIFY(FileUtils::forceCopy(path("copy/dest.txt"), path("copy/dest.txt")));
        QCOMPARE(readFile(path("copy/dest.txt"), UNREADABLE), QByteArray("source"));

        QVERIFY(!FileUtils::forceCopy(path("copy/missing.txt"), path("copy/dest.txt")));
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_COPY, {path("copy/missing.txt"), " est introuvable !! (forceCopy)"}));
        QCOMPARE(readFile(path("copy/dest.txt"), UNREADABLE), QByteArray("source"));
    }

    void forceCopyFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder at destination") << "folder";
        QTest::newRow("immutable destination") << "immutable";
        QTest::newRow("immutable folder") << "immutableFolder";
        QTest::newRow("full disk") << "fullDisk";
        QTest::newRow("parent is a file") << "parentFile";
    }

    void forceCopyFailures()
    {
        QFETCH(QString, kind);
        const QString folder = path("copyfail-" + kind);
        const QString source = path("copyfail-source-" + kind + ".txt");
        QVERIFY(writeFile(source, QByteArray(32 * 1024, 's'), true));
        QString destination = folder + "/dest.txt";
        const QByteArray old("old destination");
        QScopedPointer<Immutable> immutable;
        QScopedPointer<FullDisk> full;
        if (kind == "folder") {
            QVERIFY(QDir().mkpath(destination + "/inside"));
        } else if (kind == "immutable") {
            QVERIFY(writeFile(destination, old, true));
            immutable.reset(new Immutable(destination));
            if (!immutable->ok())
                QSKIP("chattr +i not supported here");
        } else if (kind == "immutableFolder") {
            QVERIFY(writeFile(destination, old, true));
            immutable.reset(new Immutable(folder));
            if (!immutable->ok())
                QSKIP("chattr +i not supported here");
        } else if (kind == "fullDisk") {
            full.reset(new FullDisk(folder, old, "dest.txt"));
            if (!full->ok())
                QSKIP("cannot mount a tmpfs here");
        } else {
            QVERIFY(writeFile(folder + "/plain", "file", true));
            destination = folder + "/plain/dest.txt";
        }
        LogCapture logs;
        QVERIFY(!FileUtils::forceCopy(source, destination));
        if (kind == "folder" || kind.startsWith("immutable")) {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_COPY, {"FileUtils::forceCopy can't remove ", destination}),
                     qPrintable(logs.dump()));
        } else {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_COPY,
                              {"FileUtils::forceCopy can't copy", source, destination, " error="}),
                     qPrintable(logs.dump()));
        }
        if (kind == "folder")
            QVERIFY(QFileInfo(destination + "/inside").isDir());
        if (kind.startsWith("immutable") || kind == "fullDisk") {
            QCOMPARE(readFile(destination, UNREADABLE), old);
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), kind == "fullDisk" ? 2 : 1);
        }
    }

    void segmentedCopy_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<qint64>>("writes");
        QTest::newRow("chunks 4 4 2") << QByteArray("0123456789") << 4 << qint64(100) << 10 << QList<qint64>{4, 4, 2};
        QTest::newRow("one chunk") << QByteArray("0123456789") << 64 << qint64(100) << 10 << QList<qint64>{10};
        QTest::newRow("nothing available") << QByteArray() << 4 << qint64(100) << 0 << QList<qint64>{};
        QTest::newRow("destination fills up") << QByteArray("0123456789") << 4 << qint64(6) << 6
                                              << QList<qint64>{4, 4};
        QTest::newRow("destination refuses") << QByteArray("0123456789") << 4 << qint64(0) << 0
                                             << QList<qint64>{4};
    }

    void segmentedCopy()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, chunk);
        QFETCH(qint64, limit);
        QFETCH(int, result);
        QFETCH(QList<qint64>, writes);
        QBuffer source(&data);
        QVERIFY(source.open(QIODevice::ReadOnly));
        LimitedDevice destination(limit);
        QCOMPARE(FileUtils::segmentedCopy(source, destination, chunk), result);
        QCOMPARE(destination.writes, writes);
        QCOMPARE(destination.data, data.left(result));
    }

    void segmentedCopyMisuse()
    {
        LogCapture logs;
        QByteArray data("0123456789");
        QBuffer source(&data);
        source.open(QIODevice::ReadOnly);
        LimitedDevice destination(100);
        QCOMPARE(FileUtils::segmentedCopy(source, destination, 0), 0);
        QCOMPARE(FileUtils::segmentedCopy(source, destination, -3), 0);
        QBuffer closed(&data);
        QCOMPARE(FileUtils::segmentedCopy(closed, destination, 4), 0);
        QCOMPARE(logs.count(Logwell::LogCritical), 3);
        QVERIFY(destination.writes.isEmpty());

        // A source that promises bytes and never delivers them does not keep the copy going.
        EmptyPromiseDevice promise;
        QCOMPARE(FileUtils::segmentedCopy(promise, destination, 4), 0);
    }

    void replaceInFile()
    {
        QVERIFY(writeFile(path("replace/a.txt"), "un été, deux étés", true));
        QVERIFY(FileUtils::replaceInFile(path("replace/a.txt"), "été", "hiver"));
        QCOMPARE(QString::fromUtf8(readFile(path("replace/a.txt"), UNREADABLE)), QString("un hiver, deux hivers"));
        QVERIFY(FileUtils::replaceInFile(path("replace/a.txt"), "ÉTÉ", "x"));  // case-sensitive: no change
        QCOMPARE(QString::fromUtf8(readFile(path("replace/a.txt"), UNREADABLE)), QString("un hiver, deux hivers"));

        QVERIFY(writeFile(path("replace/empty.txt"), "", true));
        const QDateTime stamp = QFileInfo(path("replace/empty.txt")).lastModified();
        QVERIFY(!FileUtils::replaceInFile(path("replace/empty.txt"), "a", "b"));
        QVERIFY(!FileUtils::replaceInFile(path("replace/missing.txt"), "a", "b"));
        QVERIFY(!QFileInfo::exists(path("replace/missing.txt")));
        QCOMPARE(QFileInfo(path("replace/empty.txt")).lastModified(), stamp);

        LogCapture logs;
        QVERIFY(!FileUtils::replaceInFile(path("replace/a.txt"), QString(), "x"));
        QCOMPARE(logs.count(Logwell::LogCritical), 1);
        QCOMPARE(QString::fromUtf8(readFile(path("replace/a.txt"), UNREADABLE)), QString("un hiver, deux hivers"));

        Immutable immutable(path("replace/a.txt"));
        if (!immutable.ok())
            QSKIP("chattr +i not supported here");
        QVERIFY(!FileUtils::replaceInFile(path("replace/a.txt"), "hiver", "printemps"));
        QCOMPARE(QString::fromUtf8(readFile(path("replace/a.txt"), UNREADABLE)), QString("un hiver, deux hivers"));
        QVERIFY(logs.has(Logwell::LogWarning, FUNCTION_WRITE, path("replace/a.txt")));
    }

    // --- digests, attributes, icons

    void digests()
    {
        QVERIFY(writeFile(path("digest/abc"), "abc", true));
        QCOMPARE(FileUtils::md5(path("digest/abc")), QString("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(FileUtils::sha1(path("digest/abc")), QString("a9993e364706816aba3e25717850c26c9cd0d89d"));
        LogCapture logs;
        QCOMPARE(FileUtils::md5(path("digest/missing")), QString("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(FileUtils::sha1(path("digest/missing")), QString("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
        QVERIFY(logs.has(Logwell::LogWarning, "FileUtils::md5", path("digest/missing")));

        // Several read pieces, and bytes that are not text.
        QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        for (int i = 0; i < big.size(); ++i)
            big[i] = char((i * 131) >> 3);
        QVERIFY(writeFile(path("digest/big"), big, true));
        QCOMPARE(FileUtils::md5(path("digest/big")),
                 QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex()));
        QCOMPARE(FileUtils::sha1(path("digest/big")),
                 QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Sha1).toHex()));
    }

    void setFileHiddenOnWindows()
    {
        QVERIFY(writeFile(path("hidden/file.txt"), "x", true));
        FileUtils::setFileHiddenOnWindows(path("hidden/file.txt"));
#ifndef Q_OS_WIN
        // Nothing applies here: the file stays as it was.
        QCOMPARE(readFile(path("hidden/file.txt"), UNREADABLE), QByteArray("x"));
        QVERIFY(!QFileInfo(path("hidden/file.txt")).isHidden());
#endif
        FileUtils::setFileHiddenOnWindows(path("hidden/missing"));
    }

    void iconFromFilename()
    {
        QVERIFY(writeFile(path("icons/page.html"), "<p>", true));
        QVERIFY(!FileUtils::iconFromFilename(path("icons/page.html")).isNull());

        // The data folder's sample wins; the sample "file.xyz" is a folder, so its icon is the
        // folder icon while another suffix gets a file icon.
        const QString app = path("iconapp");
        QVERIFY(QDir().mkpath(app + "/data/suffix_icons/file.xyz"));
        const QString program = app + "/tst_child";
        QVERIFY(::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
                       QFile::encodeName(program).constData()) == 0
                || QFile::copy(QCoreApplication::applicationFilePath(), program));
        auto run = [&](const QString& name) {
            return QString::fromUtf8(ChildProcess::runProgram(program, {"--child-icon", name}, {}, 30000)
                                         .standardOutput).trimmed();
        };
        QCOMPARE(run("Photo.XYZ"), QString("folder"));
        QCOMPARE(run(path("icons/page.html")), QString("other"));
    }

    void iconFromFilenameOffTheGuiThread()
    {
        LogCapture logs;
        QIcon icon;
        QScopedPointer<QThread> thread(QThread::create([&icon] { icon = FileUtils::iconFromFilename("a.txt"); }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QVERIFY(icon.isNull());
        QVERIFY(logs.has(Logwell::LogCritical, "FileUtils::iconFromFilename"));
    }

    // --- names

    void nameValidity_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("fixed");
        QTest::newRow("colon") << "a:b" << false << "a_b";
        QTest::newRow("empty") << "" << true << "";
        QTest::newRow("plain") << "Mon été (2).txt" << true << "Mon été (2).txt";
        QTest::newRow("all nine") << "/\\|?<>\":*" << false << "_________";
        QTest::newRow("mixed") << "a:b*c" << false << "a_b_c";
    }

    void nameValidity()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QFETCH(QString, fixed);
        QCOMPARE(FileUtils::checkNameFileValidity(name), valid);
        QCOMPARE(FileUtils::fixNameFileValidity(name), fixed);
        QVERIFY(FileUtils::checkNameFileValidity(FileUtils::fixNameFileValidity(name)));
    }

    void normalizeFilename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("accents and spaces") << "  Été   à Paris! " << "Ete a Paris";
        QTest::newRow("kept signs") << "a-b_c.(d) 1" << "a-b_c.(d) 1";
        QTest::newRow("other scripts") << "Ωmega–ß" << "mega";
        QTest::newRow("tabs") << "a\t\tb" << "a b";
    }

    void normalizeFilename()
    {
        QFETCH(QString, name);
        QFETCH(QString, normalized);
        QCOMPARE(FileUtils::normalizeFilename(name), normalized);
    }

    void regExpFilename()
    {
        QCOMPARE(FileUtils::regExpFilename(), QString("[\\w()\\s\\-\\_]+"));
    }

    void fileSizeToString_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << "en_US" << qint64(0) << "0 kB";
        QTest::newRow("1024") << "en_US" << qint64(1024) << "1024 B";
        QTest::newRow("1025") << "en_US" << qint64(1025) << "1 kB";
        QTest::newRow("1536") << "en_US" << qint64(1536) << "2 kB";
        QTest::newRow("2^20") << "en_US" << qint64(1048576) << "1024 kB";
        QTest::newRow("2^20+1") << "en_US" << qint64(1048577) << "1 MB";
        QTest::newRow("2^30+1") << "en_US" << qint64(1073741825) << "1 GB";
        QTest::newRow("5 TB") << "en_US" << qint64(5) * 1024 * 1024 * 1024 * 1024 << "5120 GB";
        QTest::newRow("negative") << "en_US" << qint64(-5) << "-5 B";
        QTest::newRow("fr zero") << "fr_FR" << qint64(0) << "0 Ko";
        QTest::newRow("fr 1024") << "fr_FR" << qint64(1024) << "1024 octets";
        QTest::newRow("fr 1025") << "fr_FR" << qint64(1025) << "1 Ko";
        QTest::newRow("fr MB") << "fr_CA" << qint64(3) * 1048576 << "3 Mo";
        QTest::newRow("fr GB") << "fr_FR" << qint64(2) * 1073741824 << "2 Go";
    }

    void fileSizeToString()
    {
        QFETCH(QString, locale);
        QFETCH(qint64, size);
        QFETCH(QString, text);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        const QString result = FileUtils::fileSizeToString(size);
        QLocale::setDefault(previous);
        QCOMPARE(result, text);
    }

    void elidedFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("wide");
        QTest::addColumn<QString>("result");
        QTest::newRow("windows path that fits") << "C:/a/b" << true << ".../a/b";
        QTest::newRow("unix path that fits") << "/a/b" << true << "/a/b";
        QTest::newRow("no separator") << "folder" << true << "folder";
        QTest::newRow("only a drive") << "C:/" << true << "C:/";
    }

    void elidedFolder()
    {
        QFETCH(QString, path);
        QFETCH(bool, wide);
        QFETCH(QString, result);
        const QFontMetrics metrics(QApplication::font());
        QString argument = path;
        QCOMPARE(FileUtils::elidedFolder(metrics, argument, wide ? 10000 : 1), result);
        QCOMPARE(argument, path);
    }

    void elidedFolderShortened()
    {
        const QFontMetrics metrics(QApplication::font());
        QString path = "/home/someone/projects/site/images/gallery";
        const int width = metrics.horizontalAdvance("…/images/gallery") + 2;
        const QString elided = FileUtils::elidedFolder(metrics, path, width);
        QVERIFY2(elided.startsWith(".../") && elided.endsWith("/gallery"), qPrintable(elided));
        QVERIFY(elided.length() < path.length());
    }
};

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--child-icon") == 0)
        return childIconMain(argc, argv);
    QApplication app(argc, argv);
    TestFileUtils test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fileutils.moc"
