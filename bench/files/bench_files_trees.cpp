// Tree walks on 20,000 files in 1,000 folders against find -type f, find -type d, du -sb and
// cp -r, in the same run, each beside its floor: a bare walk of the same tree in this process
// (openat/fdopendir/readdir with d_type, fstatat where sizes are needed, read/write for a copy),
// which no listing that hands out its results can beat. The peers are processes of their own:
// their times include a process start, reported on its own line. Rounds are interleaved (ours,
// peer, floor in turns, then the next case) and the medians reported. Arguments pick some of the cases:
// size, list, dirs, copy (all by default).

#include "BenchSupport.h"
#include "FileUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const int ROUNDS = 7;

// 10 folders of 99 sub-folders each: 1,000 folders of 20 files, 100 to 2,000 bytes.
static int makeTree(const QString& root)
{
    int files = 0;
    for (int top = 0; top < 10; ++top) {
        const QString topFolder = root + QStringLiteral("/section%1").arg(top);
        for (int sub = 0; sub < 100; ++sub) {
            const QString folder = sub == 0 ? topFolder : topFolder + QStringLiteral("/page%1").arg(sub);
            QDir().mkpath(folder);
            for (int i = 0; i < 20; ++i) {
                QFile file(folder + QStringLiteral("/file%1.html").arg(i));
                if (file.open(QIODevice::WriteOnly) && file.write(QByteArray(100 + (files * 37) % 1900, 'x')) > 0)
                    ++files;
            }
        }
    }
    return files;
}

// --- Floors: bare walks without any result strings

struct BareCounts
{
    long files = 0;
    long folders = 0;
    unsigned long long bytes = 0;
};

// Walks the open folder fd (closed at the end); sizes by fstatat when wanted.
static void bareWalk(int fd, bool sizes, BareCounts& counts)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (e->d_type == DT_DIR) {
            ++counts.folders;
            const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0)
                bareWalk(child, sizes, counts);
        } else if (e->d_type == DT_REG) {
            ++counts.files;
            struct stat st;
            if (sizes && ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                counts.bytes += (unsigned long long)st.st_size;
        }
    }
    ::closedir(dir);
}

static BareCounts bareWalk(const QString& root, bool sizes)
{
    BareCounts counts;
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        bareWalk(fd, sizes, counts);
    return counts;
}

// Copies the open folder from into the new folder to (both closed at the end), files by read/write;
// with replaceOnceComplete each file is written under a hidden name, given the source's
// permissions and renamed into place, as copyDir must.
static void bareCopy(int from, int to, bool replaceOnceComplete)
{
    DIR* dir = ::fdopendir(from);
    if (!dir) {
        ::close(from);
        ::close(to);
        return;
    }
    static char buffer[64 * 1024];
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (e->d_type == DT_DIR) {
            if (::mkdirat(to, name, 0755) != 0)
                continue;
            const int childFrom = ::openat(from, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const int childTo = ::openat(to, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (childFrom >= 0 && childTo >= 0)
                bareCopy(childFrom, childTo, replaceOnceComplete);
        } else if (e->d_type == DT_REG) {
            const QByteArray hidden = QByteArray(".") + name + ".tmp";
            const char* written = replaceOnceComplete ? hidden.constData() : name;
            const int in = ::openat(from, name, O_RDONLY | O_CLOEXEC);
            const int out = ::openat(to, written, O_WRONLY | O_CREAT | (replaceOnceComplete ? O_EXCL : O_TRUNC) | O_CLOEXEC,
                                     0644);
            ssize_t n = 0;
            while (in >= 0 && out >= 0 && (n = ::read(in, buffer, sizeof buffer)) > 0) {
                if (::write(out, buffer, size_t(n)) != n)
                    break;
            }
            struct stat st;
            if (replaceOnceComplete && in >= 0 && out >= 0 && ::fstat(in, &st) == 0)
                ::fchmod(out, st.st_mode & 0777);
            if (in >= 0)
                ::close(in);
            if (out >= 0)
                ::close(out);
            if (replaceOnceComplete)
                ::renameat(to, written, to, name);
        }
    }
    ::closedir(dir);
    ::close(to);
}

static void bareCopy(const QString& source, const QString& destination, bool replaceOnceComplete)
{
    if (::mkdir(QFile::encodeName(destination).constData(), 0755) != 0)
        return;
    const int from = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int to = ::open(QFile::encodeName(destination).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (from >= 0 && to >= 0)
        bareCopy(from, to, replaceOnceComplete);
}

// --- Cases: ours, the peer and the floor, each timed once per round

struct Case
{
    QString name;
    QString peerName;
    std::function<void()> ours;
    std::function<void()> peer;
    std::function<void()> floor;
    std::function<void()> prepare;  // untimed, before each job
    QVector<double> oursMs, peerMs, floorMs;
    std::function<void()> ownFloor;  // the floor with what ours must also do, when it differs
    QString ownFloorName;
    QVector<double> ownFloorMs;
};

static double timeOnce(const std::function<void()>& job, const std::function<void()>& prepare)
{
    if (prepare)
        prepare();
    QElapsedTimer timer;
    timer.start();
    job();
    return timer.nsecsElapsed() / 1e6;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    const auto wanted = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };

    QTemporaryDir temp(QStringLiteral("/tmp/bench-trees-XXXXXX"));
    const QString source = temp.path() + QStringLiteral("/site");
    const QString copy = temp.path() + QStringLiteral("/copy");
    const int files = makeTree(source);
    const BareCounts tree = bareWalk(source, true);
    QTextStream(stdout) << "tree: " << files << " files in " << tree.folders << " folders below the top\n";

    quint64 size = 0;
    QStringList fileList;
    QStringList folderList;
    QVector<Case> cases;
    if (wanted("list")) {
        cases.append({QStringLiteral("listFilesInFileSystem"), QStringLiteral("find -type f"),
                      [&] {
                          fileList.clear();
                          FileUtils::listFilesInFileSystem(source, fileList);
                      },
                      [&] { Bench::runPeer(QStringLiteral("find"), {source, "-type", "f"}); },
                      [&] { bareWalk(source, false); }, nullptr, {}, {}, {}});
    }
    if (wanted("dirs")) {
        cases.append({QStringLiteral("listDirectoriesInFileSystem"), QStringLiteral("find -type d"),
                      [&] {
                          folderList.clear();
                          FileUtils::listDirectoriesInFileSystem(source, folderList);
                      },
                      [&] { Bench::runPeer(QStringLiteral("find"), {source, "-type", "d"}); },
                      [&] { bareWalk(source, false); }, nullptr, {}, {}, {}});
    }
    if (wanted("size")) {
        cases.append({QStringLiteral("folderSize"), QStringLiteral("du -sb"),
                      [&] { size = FileUtils::folderSize(source); },
                      [&] { Bench::runPeer(QStringLiteral("du"), {"-sb", source}); },
                      [&] { bareWalk(source, true); }, nullptr, {}, {}, {}});
    }
    if (wanted("copy")) {
        cases.append({QStringLiteral("copyDir"), QStringLiteral("cp -r"),
                      [&] { FileUtils::copyDir(source, copy, false); },
                      [&] { Bench::runPeer(QStringLiteral("cp"), {"-r", source, copy}); },
                      [&] { bareCopy(source, copy, false); },
                      [&] {
                          // The removal is written out before the clock starts, not during the copy.
                          QDir(copy).removeRecursively();
                          ::sync();
                      },
                      {}, {}, {}});
        cases.last().ownFloor = [&] { bareCopy(source, copy, true); };
        cases.last().ownFloorName = QStringLiteral("each file under a hidden name, permissions, rename");
    }

    QVector<double> startMs;
    for (int round = 0; round < ROUNDS; ++round) {
        startMs.append(timeOnce([] { Bench::runPeer(QStringLiteral("true"), {}); }, nullptr));
        for (Case& c : cases) {
            // The order turns each round: none of the three always runs first.
            const std::function<void()>* jobs[] = {&c.ours, &c.peer, &c.floor, &c.ownFloor};
            QVector<double>* times[] = {&c.oursMs, &c.peerMs, &c.floorMs, &c.ownFloorMs};
            const int count = c.ownFloor ? 4 : 3;
            for (int i = 0; i < count; ++i) {
                const int which = (i + round) % count;
                times[which]->append(timeOnce(*jobs[which], c.prepare));
            }
        }
    }
    QDir(copy).removeRecursively();

    QTextStream(stdout) << QString("process start (true): %1 ms, part of every peer's time\n")
                               .arg(Bench::median(startMs), 0, 'f', 1);
    for (const Case& c : cases) {
        const double ours = Bench::median(c.oursMs);
        const double floor = Bench::median(c.floorMs);
        Bench::report(c.name, ours, c.peerName, Bench::median(c.peerMs), c.name == "copyDir" ? 1.0 : 1.3);
        QTextStream(stdout) << QString("  floor (bare walk in this process): %1 ms, ours %2x the floor\n")
                                   .arg(floor, 0, 'f', 1)
                                   .arg(floor > 0 ? ours / floor : 0.0, 0, 'f', 2);
        if (c.ownFloor) {
            const double own = Bench::median(c.ownFloorMs);
            QTextStream(stdout) << QString("  floor (%1): %2 ms, ours %3x this floor\n")
                                       .arg(c.ownFloorName)
                                       .arg(own, 0, 'f', 1)
                                       .arg(own > 0 ? ours / own : 0.0, 0, 'f', 2);
        }
    }
    if (wanted("size") && size != tree.bytes)
        QTextStream(stdout) << "unexpected result: size " << size << " instead of " << tree.bytes << "\n";
    if (wanted("list") && fileList.size() != files)
        QTextStream(stdout) << "unexpected result: " << fileList.size() << " files listed\n";
    if (wanted("dirs") && folderList.size() != tree.folders)
        QTextStream(stdout) << "unexpected result: " << folderList.size() << " folders listed\n";
    return 0;
}
