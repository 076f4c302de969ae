// Hostile folders: special files, links out of the tree, read errors, odd and long names.
// Every call that could hang runs in a child process under a time bound.

#include "FileUtils.h"
#include "ChildProcess.h"
#include "TestFiles.h"
#include "LogCapture.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <dirent.h>
#include <sys/resource.h>

using namespace FileTest;

static const char* FUNCTION_COPY_DIR = "FileUtils::copyDir";
static const char* FUNCTION_COPY = "FileUtils::forceCopy";
static const char* EMPTY_MD5 = "d41d8cd98f00b204e9800998ecf8427e";
static const char* EMPTY_SHA1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";

// --- Child mode: "--child <function> <arguments...>" runs one call and reports its result.

static QString callInChild(const QStringList& a, ChildProcess::Reporter& report)
{
    const QString function = a.value(0);
    auto boolean = [](bool value) { return QString::fromLatin1(value ? "true" : "false"); };
    if (function == "readFileContent")
        return QString::fromLatin1(FileUtils::readFileContent(a.value(1)).toBase64());
    if (function == "md5")
        return FileUtils::md5(a.value(1));
    if (function == "sha1")
        return FileUtils::sha1(a.value(1));
    if (function == "replaceInFile")
        return boolean(FileUtils::replaceInFile(a.value(1), a.value(2), a.value(3)));
    if (function == "forceCopy")
        return boolean(FileUtils::forceCopy(a.value(1), a.value(2)));
    if (function == "copyDir")
        return boolean(FileUtils::copyDir(a.value(1), a.value(2), a.value(3) == "merge"));
    if (function == "segmentedCopy") {
        QFile in(a.value(1));
        QFile out(a.value(2));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot open");
        const int count = FileUtils::segmentedCopy(in, out, 4096);
        out.close();
        report.value("written", QFileInfo(a.value(2)).size());
        return QString::number(count);
    }
    if (function == "listings") {
        QStringList files;
        QStringList folders;
        FileUtils::listFilesInFileSystem(a.value(1), files);
        FileUtils::listDirectoriesInFileSystem(a.value(1), folders);
        report.value("files", files.join('|'));
        report.value("folders", qint64(folders.size()));
        return QString::number(FileUtils::folderSize(a.value(1)));
    }
    if (function == "trees") {  // root [descriptor limit [files|folders|size]]
        if (a.value(2).toInt() > 0) {
            const rlimit limit{rlim_t(a.value(2).toInt()), rlim_t(a.value(2).toInt())};
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                return QStringLiteral("setrlimit failed");
        }
        const QString root = a.value(1);
        const QString only = a.value(3);
        if (only.isEmpty() || only == "files") {
            QStringList files;
            report.value("count", qint64(FileUtils::listFilesInFileSystem(root, files)));
            report.value("files", files.join('|'));
        }
        if (only.isEmpty() || only == "folders") {
            QStringList folders;
            report.value("listed", FileUtils::listDirectoriesInFileSystem(root, folders));
            for (QString& folder : folders)
                folder = folder.mid(root.size() + 1);
            report.value("folders", folders.join('|'));
        }
        if (only.isEmpty() || only == "size") {
            int fileCount = 0;
            QDateTime lastModified;
            report.value("size", qint64(FileUtils::folderSize(root, &fileCount, &lastModified)));
            report.value("fileCount", qint64(fileCount));
        }
        return QStringLiteral("done");
    }
    return QStringLiteral("unknown function");
}

static int childMain(const QStringList& arguments)
{
    ChildProcess::Reporter report;
    report.value("result", callInChild(arguments, report));
    return 0;
}

class TestFileUtilsHostile : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> mTemp;
    QString path(const QString& name = QString()) const { return mTemp->path() + "/" + name; }

    static ChildProcess::Result call(const QStringList& arguments, const QStringList& env = QStringList(),
                                     int timeoutMs = 20000)
    {
        return ChildProcess::run(QStringList{"--child"} + arguments, env, timeoutMs);
    }

    // Environment for a child whose folder listings lose their entry types (notype) or lose the
    // entry named vanish just before it is returned.
    static QStringList readdirShim(bool notype, const QString& vanish = QString())
    {
        QString asan = qEnvironmentVariable("ASAN_OPTIONS");
        asan += QString(asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0";
        QStringList env{"LD_PRELOAD=" READDIR_SHIM_PATH, "ASAN_OPTIONS=" + asan};
        if (notype)
            env << "READDIR_NOTYPE=1";
        if (!vanish.isEmpty())
            env << "READDIR_VANISH=" + vanish;
        return env;
    }

    // The number of entries of a folder, counted on raw names (odd names included).
    static int rawCount(const QString& folder)
    {
        DIR* dir = ::opendir(QFile::encodeName(folder).constData());
        if (!dir)
            return -1;
        int count = 0;
        while (const dirent* entry = ::readdir(dir))
            count += std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0;
        ::closedir(dir);
        return count;
    }

    // Files below folder (links not followed) that hold text taken from the "outside" folder.
    static QStringList leaks(const QString& folder)
    {
        QStringList found;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            if (!it.fileInfo().isSymLink() && readFile(entry, UNREADABLE).contains("SECRET"))
                found.append(entry);
        }
        return found;
    }

    // A special entry of the given kind at path ("link to ..." puts the entry beside it and links
    // to it). False when this machine does not allow making it.
    bool makeSpecial(const QString& kind, const QString& at, QScopedPointer<ListeningSocket>& socket)
    {
        const bool link = kind.startsWith("link to ");
        const QString base = link ? kind.mid(8) : kind;
        const QString entry = link ? at + ".target" : at;
        bool made = false;
        if (base == "a fifo") {
            made = fifo(entry);
        } else if (base == "a socket") {
            socket.reset(new ListeningSocket(entry));
            made = socket->ok();
        } else if (base == "a device") {
            made = device(entry);
        }
        return made && (!link || symlink(entry, at));
    }

private slots:
    void init()
    {
        mTemp.reset(new QTemporaryDir);
        QVERIFY(mTemp->isValid());
    }

    void cleanup()
    {
        removeAll(mTemp->path());  // names without text form are beyond QDir
        mTemp.reset();
    }

    // --- special files are never opened

    void singleFileOperationsRefuseSpecialFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "a fifo";
        QTest::newRow("socket") << "a socket";
        QTest::newRow("device") << "a device";
        QTest::newRow("link to a fifo") << "link to a fifo";
        QTest::newRow("link to a socket") << "link to a socket";
        QTest::newRow("link to a device") << "link to a device";
    }

    void singleFileOperationsRefuseSpecialFiles()
    {
        QFETCH(QString, kind);
        const QString special = path("special");
        QScopedPointer<ListeningSocket> socket;
        if (!makeSpecial(kind, special, socket))
            QSKIP("this special file cannot be made here");
        const QString destination = path("copies/special");

        struct Expected
        {
            QString function;
            QString result;
            QString logFunction;  // a warning from it must name the path
        };
        const QList<Expected> calls = {
            {"readFileContent", "", ""},
            {"md5", EMPTY_MD5, "FileUtils::md5"},
            {"sha1", EMPTY_SHA1, "FileUtils::sha1"},
            {"replaceInFile", "false", ""},
            {"forceCopy", "false", FUNCTION_COPY},
        };
        for (const Expected& expected : calls) {
            QStringList arguments{expected.function, special};
            if (expected.function == "forceCopy")
                arguments << destination;
            else if (expected.function == "replaceInFile")
                arguments << "a" << "b";
            const ChildProcess::Result r = call(arguments);
            QVERIFY2(r.finished, qPrintable(expected.function + " blocked on " + kind + "\n" + r.dump()));
            QCOMPARE(r.value("result"), expected.result);
            if (!expected.logFunction.isEmpty())
                QVERIFY2(r.has(Logwell::LogWarning, expected.logFunction, {special}), qPrintable(r.dump()));
        }
        QVERIFY(!QFileInfo::exists(destination));
        QVERIFY(!QFileInfo(special).isFile() || QFileInfo(special).isSymLink());  // left as it was
    }

    void copyDirSkipsSpecialFiles()
    {
        QVERIFY(writeFile(path("src/index.html"), "index", true));
        QVERIFY(writeFile(path("src/sub/page.html"), "page", true));
        QVERIFY(fifo(path("src/pipe")));
        QVERIFY(fifo(path("src/.hidden-pipe")));
        ListeningSocket socket(path("src/sock"));
        QVERIFY(socket.ok());
        QVERIFY(symlink("../pipe", path("src/sub/pipe-link")));
        QVERIFY(symlink(path("src/sock"), path("src/sub/sock-link")));
        QStringList specials{"pipe", ".hidden-pipe", "sock", "sub/pipe-link", "sub/sock-link"};
        if (device(path("src/dev")))
            specials << "dev";

        for (const QString merge : {"replace", "merge"}) {
            const ChildProcess::Result r = call({"copyDir", path("src"), path("dst"), merge});
            QVERIFY2(r.finished, qPrintable("copyDir blocked\n" + r.dump()));
            QCOMPARE(r.value("result"), QString("true"));
            QCOMPARE(listTree(path("dst")), QStringList({"index.html=index", "sub/", "sub/page.html=page"}));
            for (const QString& special : qAsConst(specials)) {
                QVERIFY2(r.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {"skipped", path("src/" + special)}),
                         qPrintable(special + "\n" + r.dump()));
            }
        }

        // The listings only look: they see the same entries as before and do not block.
        const ChildProcess::Result r = call({"listings", path("src")});
        QVERIFY2(r.finished, qPrintable("listings blocked\n" + r.dump()));
        QVERIFY2(r.value("files").split('|').contains("sub/page.html"), qPrintable(r.dump()));
        QCOMPARE(r.value("result"), QString("9"));
    }

    // --- links out of the source, and into the destination

    void copyDirLinks_data()
    {
        QTest::addColumn<QStringList>("links");   // "name => target", "@" standing for the temporary folder
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("copied");      // what must arrive: "name=content", or empty
        QTest::addColumn<QString>("warning");     // for each link skipped

        const QString out = "symbolic link out of the source skipped";
        const QString into = "symbolic link into the destination skipped";
        QTest::newRow("file outside, absolute") << QStringList{"key.txt => @/outside/key.txt"} << "src" << "dst"
                                                << "" << out;
        QTest::newRow("file outside, relative") << QStringList{"pages/key.txt => ../../outside/key.txt"} << "src"
                                                << "dst" << "" << out;
        QTest::newRow("folder outside") << QStringList{"shared => ../outside/dir"} << "src" << "dst" << "" << out;
        QTest::newRow("parent of the source") << QStringList{"up => .."} << "src" << "dst" << "" << out;
        QTest::newRow("chain that leaves") << QStringList{"hop => pages/next", "pages/next => ../../outside/key.txt"}
                                           << "src" << "dst" << "" << out;
        QTest::newRow("the destination") << QStringList{"mirror => @/dst"} << "src" << "dst" << "" << into;
        QTest::newRow("a file in the destination") << QStringList{"old-alias.txt => ../dst/old.txt"} << "src" << "dst"
                                                   << "" << into;
        QTest::newRow("source inside the destination") << QStringList{"up => .."} << "dst/site" << "dst" << ""
                                                       << into;
        QTest::newRow("file inside") << QStringList{"alias.html => index.html"} << "src" << "dst"
                                     << "alias.html=index" << "";
        QTest::newRow("folder inside") << QStringList{"docs => pages"} << "src" << "dst" << "docs/about.html=about"
                                       << "";
        QTest::newRow("out and back in") << QStringList{"round.html => ../src/index.html"} << "src" << "dst"
                                         << "round.html=index" << "";
    }

    void copyDirLinks()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, copied);
        QFETCH(QString, warning);
        QVERIFY(writeFile(path("outside/key.txt"), "SECRET key", true));
        QVERIFY(writeFile(path("outside/dir/leak.txt"), "SECRET leak", true));
        QVERIFY(writeFile(path("dst/old.txt"), "old", true));
        QVERIFY(writeFile(path(source + "/index.html"), "index", true));
        QVERIFY(writeFile(path(source + "/pages/about.html"), "about", true));
        QStringList linkPaths;
        for (const QString& link : qAsConst(links)) {
            const QString name = link.section(" => ", 0, 0);
            QString target = link.section(" => ", 1);
            target.replace("@/", path());
            linkPaths << path(source + "/" + name);
            QVERIFY(symlink(target, linkPaths.last()));
        }

        const ChildProcess::Result r = call({"copyDir", path(source), path(destination), "merge"});
        QVERIFY2(r.finished, qPrintable("copyDir did not end\n" + r.dump()));
        QCOMPARE(r.value("result"), QString("true"));
        QCOMPARE(leaks(path(destination)), QStringList());
        const QStringList copy = listTree(path(destination));
        QVERIFY2(copy.size() < 20, qPrintable(copy.join('\n')));  // no copies nested in copies
        QVERIFY(copy.contains("index.html=index"));
        if (!copied.isEmpty()) {
            QVERIFY2(copy.contains(copied), qPrintable(copy.join('\n')));
        } else {
            for (const QString& link : qAsConst(linkPaths)) {
                QVERIFY2(r.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {warning, link}), qPrintable(r.dump()));
                const QString name = link.mid(path(source).size() + 1);
                QVERIFY2(!QFileInfo(path(destination + "/" + name)).exists(), qPrintable(name));
            }
        }
        QCOMPARE(readFile(path("dst/old.txt"), UNREADABLE), QByteArray("old"));
    }

    void copyDirOntoALinkInsideTheSource()
    {
        // The link is replaced by a real folder: that folder would lie inside the source.
        QVERIFY(writeFile(path("src/index.html"), "index", true));
        QVERIFY(QDir().mkpath(path("elsewhere")));
        QVERIFY(symlink(path("elsewhere"), path("src/export")));
        const ChildProcess::Result r = call({"copyDir", path("src"), path("src/export"), "replace"});
        QVERIFY2(r.finished, qPrintable(r.dump().left(3000)));
        QCOMPARE(r.value("result"), QString("false"));
        QVERIFY(r.has(Logwell::LogCritical, FUNCTION_COPY_DIR, {"cannot copy"}));
        QCOMPARE(listTree(path("src")), QStringList({"export ->", "index.html=index"}));
    }

    // --- read errors (the read-failure shim, in a child)

    void readErrorsAreFailures_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<qint64>("after");  // bytes served before reads fail
        QTest::newRow("readFileContent") << "readFileContent" << qint64(100000);
        QTest::newRow("readFileContent, no error") << "readFileContent" << (qint64(1) << 40);
        QTest::newRow("replaceInFile") << "replaceInFile" << qint64(100000);
        QTest::newRow("md5") << "md5" << qint64(100000);
        QTest::newRow("sha1") << "sha1" << qint64(100000);
        QTest::newRow("md5 at once") << "md5" << qint64(0);
        QTest::newRow("forceCopy") << "forceCopy" << qint64(100000);
        QTest::newRow("copyDir") << "copyDir" << qint64(100000);
        QTest::newRow("segmentedCopy") << "segmentedCopy" << qint64(100000);
    }

    void readErrorsAreFailures()
    {
        QFETCH(QString, function);
        QFETCH(qint64, after);
        QByteArray data;
        for (int i = 0; data.size() < 300000; ++i)
            data += "line " + QByteArray::number(i) + " of a page\n";
        const QString file = path("src/data.bin");
        QVERIFY(writeFile(file, data, true));
        QVERIFY(writeFile(path("dst/data.bin"), "old", true));
        const QDateTime stamp = QFileInfo(file).lastModified();
        const bool control = after > data.size();  // the shim loaded, but no read fails

        QStringList arguments{function, file};
        if (function == "replaceInFile")
            arguments << "line" << "LINE";
        else if (function == "forceCopy")
            arguments << path("dst/data.bin");
        else if (function == "copyDir")
            arguments = QStringList{function, path("src"), path("dst"), "replace"};
        else if (function == "segmentedCopy")
            arguments << path("out.bin");
        const ChildProcess::Result r = call(arguments, ChildProcess::readFailure("/src/data.bin", after));
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.dump()));
        const QString result = r.value("result");

        if (function == "readFileContent") {
            QCOMPARE(result, control ? QString::fromLatin1(data.toBase64()) : QString());
        } else if (function == "replaceInFile") {
            QCOMPARE(result, QString("false"));
            QCOMPARE(readFile(file, UNREADABLE), data);  // not rewritten with part of its content
            QCOMPARE(QFileInfo(file).lastModified(), stamp);
        } else if (function == "md5" || function == "sha1") {
            QCOMPARE(result, QString(function == "md5" ? EMPTY_MD5 : EMPTY_SHA1));
            QVERIFY2(r.has(Logwell::LogWarning, "FileUtils::" + function, {file}), qPrintable(r.dump()));
        } else if (function == "forceCopy" || function == "copyDir") {
            QCOMPARE(result, QString("false"));
            QVERIFY2(r.has(Logwell::LogWarning, FUNCTION_COPY, {"FileUtils::forceCopy can't copy", file}),
                     qPrintable(r.dump()));
            if (function == "forceCopy") {
                QCOMPARE(readFile(path("dst/data.bin"), UNREADABLE), QByteArray("old"));
                QCOMPARE(QDir(path("dst")).entryList(QDir::Files | QDir::Hidden), QStringList{"data.bin"});
            } else {
                QVERIFY(r.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {"unable to copy", file}));
                // Written in place in the new folder: what could not be completed is gone.
                const QStringList left = QDir(path("dst")).entryList(QDir::Files | QDir::Hidden | QDir::System);
                QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
            }
        } else {
            // Only bytes that reached the destination count, and the error is reported.
            QCOMPARE(result, r.value("written"));
            QVERIFY2(result.toLongLong() <= after, qPrintable(result));
            QCOMPARE(readFile(path("out.bin"), UNREADABLE), data.left(result.toInt()));
            QVERIFY2(r.has(Logwell::LogWarning, "FileUtils::segmentedCopy", {"cannot read"}), qPrintable(r.dump()));
        }
    }

    // --- walking trees whose folders record no entry types, lose entries or are very deep

    void listingsWithoutEntryTypes_data()
    {
        QTest::addColumn<bool>("notype");
        QTest::newRow("entry types") << false;
        QTest::newRow("no entry types") << true;
    }

    void listingsWithoutEntryTypes()
    {
        QFETCH(bool, notype);
        QVERIFY(writeFile(path("root/a.txt"), "aaa", true));
        QVERIFY(writeFile(path("root/B.txt"), "bb", true));
        QVERIFY(writeFile(path("root/.hidden"), "h", true));
        QVERIFY(writeFile(path("root/.DS_Store"), "xxxxx", true));
        QVERIFY(writeFile(path("root/sub/c.txt"), "c", true));
        QVERIFY(writeFile(path("root/sub/deeper/d.txt"), "dd", true));
        QVERIFY(writeFile(path("outside/o.txt"), "o", true));
        QVERIFY(symlink("a.txt", path("root/link-file.txt")));
        QVERIFY(symlink("sub", path("root/link-dir")));
        QVERIFY(symlink(path("outside"), path("root/out")));
        QVERIFY(symlink("missing", path("root/dangling")));
        QVERIFY(symlink(".", path("root/loop")));
        QVERIFY(fifo(path("root/pipe")));
        QVERIFY(symlink("pipe", path("root/pipe-link")));
        ListeningSocket socket(path("root/sock"));
        QVERIFY(socket.ok());

        const ChildProcess::Result r = call({"trees", path("root")}, notype ? readdirShim(true) : QStringList());
        QVERIFY2(r.finished, qPrintable(r.dump()));
        QCOMPARE(r.value("result"), QString("done"));
        // Special files, also behind a link, and dangling links are neither files nor folders; a
        // link to a folder is walked unless it leads back up.
        const QStringList files{"a.txt", "B.txt", "link-dir/c.txt", "link-dir/deeper/d.txt", "link-file.txt",
                                "out/o.txt", "sub/c.txt", "sub/deeper/d.txt"};
        QCOMPARE(r.value("files").split('|'), files);
        QCOMPARE(r.value("count"), QString::number(files.size()));
        QCOMPARE(r.value("folders").split('|'),
                 QStringList({"link-dir", "link-dir/deeper", "loop", "out", "sub", "sub/deeper"}));
        QCOMPARE(r.value("size"), QString("16"));  // hidden files counted, .DS_Store not
        QCOMPARE(r.value("fileCount"), QString("9"));
    }

    void listingsWhenEntriesVanish_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("notype");
        QTest::addColumn<QString>("vanish");
        QTest::addColumn<QStringList>("expected");  // "key=value" reported by the child
        QTest::newRow("file, folderSize") << "size" << false << "gone.txt" << QStringList{"size=4", "fileCount=2"};
        QTest::newRow("file, folderSize, no entry types")
            << "size" << true << "gone.txt" << QStringList{"size=4", "fileCount=2"};
        QTest::newRow("file, list files, no entry types")
            << "files" << true << "gone.txt" << QStringList{"files=a.txt|sub/c.txt", "count=2"};
        // Listed as the folder recorded it; walking into it finds nothing.
        QTest::newRow("folder, list folders") << "folders" << false << "gone" << QStringList{"folders=gone|sub"};
        QTest::newRow("folder, list folders, no entry types")
            << "folders" << true << "gone" << QStringList{"folders=sub"};
        QTest::newRow("folder, list files")
            << "files" << false << "gone" << QStringList{"files=a.txt|gone.txt|sub/c.txt", "count=3"};
    }

    void listingsWhenEntriesVanish()
    {
        QFETCH(QString, function);
        QFETCH(bool, notype);
        QFETCH(QString, vanish);
        QFETCH(QStringList, expected);
        QVERIFY(writeFile(path("root/a.txt"), "aaa", true));
        QVERIFY(writeFile(path("root/sub/c.txt"), "c", true));
        QVERIFY(QDir().mkpath(path("root/gone")));
        QVERIFY(writeFile(path("root/gone.txt"), "1234567", true));

        const ChildProcess::Result r = call({"trees", path("root"), "0", function}, readdirShim(notype, vanish));
        QVERIFY2(r.finished, qPrintable(r.dump()));
        QCOMPARE(r.value("result"), QString("done"));
        QVERIFY(!QFileInfo::exists(path("root/" + vanish)));  // the shim was loaded
        for (const QString& pair : expected)
            QCOMPARE(pair.section('=', 0, 0) + "=" + r.value(pair.section('=', 0, 0)), pair);
    }

    void deepTree_data()
    {
        QTest::addColumn<int>("descriptors");  // the child's limit; 0: as inherited
        QTest::newRow("200 levels") << 0;
        QTest::newRow("200 levels, 40 descriptors") << 40;
    }

    void deepTree()
    {
        QFETCH(int, descriptors);
        const int LEVELS = 200;
        QString folder = path("root");
        QStringList files{"f.txt"};
        QStringList folders;
        for (int level = 1; level <= LEVELS; ++level) {
            QVERIFY(writeFile(folder + "/f.txt", "x", true));
            folder += "/level";
            folders.append(folder.mid(path("root").size() + 1));
            files.append(folders.last() + "/f.txt");
        }
        QVERIFY(writeFile(folder + "/f.txt", "x", true));
        const ChildProcess::Result r = call({"trees", path("root"), QString::number(descriptors)});
        QVERIFY2(r.finished, qPrintable(r.dump().left(3000)));
        QCOMPARE(r.value("result"), QString("done"));
        QCOMPARE(r.value("count"), QString::number(LEVELS + 1));
        QCOMPARE(r.value("files").split('|'), files);
        QCOMPARE(r.value("folders").split('|'), folders);
        QCOMPARE(r.value("size"), QString::number(LEVELS + 1));
        QCOMPARE(r.value("fileCount"), QString::number(LEVELS + 1));
    }

    // --- names

    void namesWithoutTextForm()
    {
        QVERIFY(writeFile(path("src/ok.txt"), "ok", true));
        QVERIFY(writeFile(path("src/sub/fine.txt"), "fine", true));
        QVERIFY(writeRaw(native(path("src"), "caf\xe9.txt"), "latin-1"));
        QVERIFY(::mkdir(native(path("src/sub"), "\xff\xfe").constData(), 0755) == 0);
        QVERIFY(writeRaw(native(path("src/sub"), "\xff\xfe") + "/inner.txt", "inner"));
        LogCapture logs;
        QVERIFY(!FileUtils::copyDir(path("src"), path("dst"), false));
        for (const QString& folder : QStringList{path("src"), path("src/sub")}) {
            QVERIFY2(logs.has(Logwell::LogWarning, FUNCTION_COPY_DIR, {"names that cannot be represented", folder}),
                     qPrintable(logs.dump()));
        }
        // The rest is still copied.
        QCOMPARE(listTree(path("dst")), QStringList({"ok.txt=ok", "sub/", "sub/fine.txt=fine"}));
    }

    void longNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("248 bytes") << QString(248, 'a');
        QTest::newRow("255 bytes") << QString(255, 'b');
        QTest::newRow("255 bytes, hidden") << "." + QString(254, 'c');
        QTest::newRow("255 bytes of two-byte letters") << QString(127, QChar(0xe9)) + "x";
        QTest::newRow("255 bytes of four-byte signs") << QString::fromUtf8(QByteArray(63, 'x').replace("x", "\xf0\x9f\x98\x80")) + "abc";
    }

    void longNames()
    {
        QFETCH(QString, name);
        QCOMPARE(QFile::encodeName(name).size() >= 248, true);
        QVERIFY(writeFile(path("src/" + name), "long", true));
        LogCapture logs;
        QVERIFY2(FileUtils::forceCopy(path("src/" + name), path("one/" + name)), qPrintable(logs.dump()));
        QCOMPARE(readFile(path("one/" + name), UNREADABLE), QByteArray("long"));
        QVERIFY(FileUtils::forceCopy(path("src/" + name), path("one/" + name)));  // over the first copy
        QCOMPARE(rawCount(path("one")), 1);  // no temporary file left
        QVERIFY2(FileUtils::copyDir(path("src"), path("dst"), false), qPrintable(logs.dump()));
        QCOMPARE(readFile(path("dst/" + name), UNREADABLE), QByteArray("long"));
        QVERIFY(FileUtils::writeFileContent(path("dst/" + name), "rewritten"));
        QCOMPARE(FileUtils::readFileContent(path("dst/" + name)), QByteArray("rewritten"));
        QCOMPARE(rawCount(path("dst")), 1);
        QCOMPARE(logs.count(), 0);
    }

    // --- removing every kind of entry

    void removeContentDirectoryEveryKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "a fifo";
        QTest::newRow("socket") << "a socket";
        QTest::newRow("device") << "a device";
        QTest::newRow("link to a fifo") << "link to a fifo";
        QTest::newRow("dangling link") << "dangling link";
        QTest::newRow("name without text form") << "raw name";
        QTest::newRow("folder of odd entries") << "odd folder";
    }

    void removeContentDirectoryEveryKind()
    {
        QFETCH(QString, kind);
        const QString folder = path("site");
        QVERIFY(writeFile(folder + "/index.html", "index", true));
        QScopedPointer<ListeningSocket> socket;
        if (kind == "dangling link") {
            QVERIFY(symlink(path("missing"), folder + "/dangling"));
        } else if (kind == "raw name") {
            QVERIFY(writeRaw(native(folder, "caf\xe9"), "x"));
        } else if (kind == "odd folder") {
            QVERIFY(::mkdir(native(folder, "\xff").constData(), 0755) == 0);
            QVERIFY(writeRaw(native(folder, "\xff") + "/\xfe", "x"));
            QVERIFY(fifo(folder + "/sub/pipe"));
            QVERIFY(symlink(path("missing"), folder + "/sub/dangling"));
        } else if (!makeSpecial(kind, folder + "/special", socket)) {
            QSKIP("this special file cannot be made here");
        }
        LogCapture logs;
        QVERIFY2(FileUtils::removeContentDirectory(folder, true), qPrintable(logs.dump()));
        QCOMPARE(rawCount(folder), 0);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(logs.count(), 0);
    }

    void copyDirReplacesEveryKindOfEntry()
    {
        QVERIFY(writeFile(path("src/index.html"), "index", true));
        QVERIFY(fifo(path("dst/pipe")));
        ListeningSocket socket(path("dst/sock"));
        QVERIFY(socket.ok());
        QVERIFY(symlink(path("missing"), path("dst/dangling")));
        QVERIFY(writeRaw(native(path("dst"), "caf\xe9"), "x"));
        QVERIFY(fifo(path("dst/sub/pipe")));
        const ChildProcess::Result r = call({"copyDir", path("src"), path("dst"), "replace"});
        QVERIFY2(r.finished, qPrintable(r.dump()));
        QCOMPARE(r.value("result"), QString("true"));
        QCOMPARE(rawCount(path("dst")), 1);
        QCOMPARE(listTree(path("dst")), QStringList{"index.html=index"});
    }

    // --- load: many files with links and FIFOs mixed in

    void copyDirLoad()
    {
        const int FOLDERS = 50;
        const int FILES = 100;  // per folder
        QVERIFY(writeFile(path("outside/key.txt"), "SECRET", true));
        for (int f = 0; f < FOLDERS; ++f) {
            const QString folder = path(QString("src/f%1").arg(f));
            for (int i = 0; i < FILES; ++i)
                QVERIFY(writeFile(folder + QString("/page%1.html").arg(i), QByteArray::number(f * FILES + i), true));
            QVERIFY(fifo(folder + "/pipe"));
            QVERIFY(symlink("page0.html", folder + "/alias.html"));
            QVERIFY(symlink("pipe", folder + "/pipe-link"));
            QVERIFY(symlink(path("outside/key.txt"), folder + "/key.txt"));
        }
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {  // every file rewritten, then merged again
                for (int f = 0; f < FOLDERS; ++f)
                    for (int i = 0; i < FILES; ++i)
                        QVERIFY(writeFile(path(QString("src/f%1/page%2.html").arg(f).arg(i)), "rewritten " + QByteArray::number(i), true));
            }
            const ChildProcess::Result r = call({"copyDir", path("src"), path("dst"), round ? "merge" : "replace"}, {},
                                                120000);
            QVERIFY2(r.finished, qPrintable(r.dump().left(2000)));
            QCOMPARE(r.value("result"), QString("true"));
            QCOMPARE(leaks(path("dst")), QStringList());
            for (int f = 0; f < FOLDERS; ++f) {
                const QString from = path(QString("src/f%1").arg(f));
                const QString to = path(QString("dst/f%1").arg(f));
                QCOMPARE(rawCount(to), FILES + 1);  // the pages and the alias
                for (int i = 0; i < FILES; ++i) {
                    const QString name = QString("/page%1.html").arg(i);
                    QCOMPARE(readFile(to + name, UNREADABLE), readFile(from + name, UNREADABLE));
                }
                QCOMPARE(readFile(to + "/alias.html", UNREADABLE), readFile(from + "/page0.html", UNREADABLE));
            }
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0)
        return childMain(app.arguments().mid(2));
    TestFileUtilsHostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fileutils_hostile.moc"
