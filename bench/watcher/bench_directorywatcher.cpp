// Folder watching against KDirWatch on the same tree, in one run:
//  - the time to start watching a tree of 10,000 files in 500 folders (setPath vs addDir);
//  - the time from creating 100 new files to the last report.
// Also the floors: one bare inotify_add_watch per folder of the tree (what a watcher of folders
// cannot go below), one per file (a watcher of every file), and the files handed to
// QFileSystemWatcher objects of 500 paths each, the tree already listed. And the inotify
// instances and watches each watcher holds (/proc/self/fd and /proc/self/fdinfo).
#include "BenchStats.h"
#include <DirectoryWatcher.h>

#include <KDirWatch>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const int FOLDERS = 500;
const int FILES_PER_FOLDER = 20;
const int NEW_FILES = 100;
const int ROUNDS = 5;

// Returns the paths of the files it wrote; folders gets those of the folders, root first.
QStringList makeTree(const QString& root, QStringList& folders)
{
    folders << root;
    QStringList files;
    for (int f = 0; f < FOLDERS; ++f) {
        // 25 top folders of 20 sub-folders each (the top folders hold files too).
        const QString folder = f < 25 ? QStringLiteral("%1/t%2").arg(root).arg(f)
                                      : QStringLiteral("%1/t%2/s%3").arg(root).arg(f % 25).arg(f);
        QDir().mkpath(folder);
        folders << folder;
        for (int i = 0; i < FILES_PER_FOLDER; ++i) {
            files << QStringLiteral("%1/file%2.txt").arg(folder).arg(i);
            QFile file(files.last());
            file.open(QIODevice::WriteOnly);
            file.write("content");
        }
    }
    return files;
}

// Creates the new files in one folder and waits for count reports (30 s at most).
qint64 timeReports(const QString& folder, int& reports, int round)
{
    reports = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < NEW_FILES; ++i) {
        QFile file(QStringLiteral("%1/new%2_%3.txt").arg(folder).arg(round).arg(i));
        file.open(QIODevice::WriteOnly);
        file.write("new");
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (reports >= NEW_FILES || timer.elapsed() > 30000)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return timer.nsecsElapsed() / 1000;
}

// The inotify instances of this process that hold watches, and their watches.
struct InotifyUse
{
    int instances = 0;
    int watches = 0;
};

InotifyUse inotifyUse()
{
    InotifyUse use;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : fds) {
        char target[64] = {};
        const ssize_t size = readlink(QFile::encodeName(QStringLiteral("/proc/self/fd/") + fd).constData(), target, sizeof target - 1);
        if (size <= 0 || QByteArray(target, int(size)) != "anon_inode:inotify")
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        const int watches = info.readAll().count("inotify wd:");
        if (watches > 0) {
            ++use.instances;
            use.watches += watches;
        }
    }
    return use;
}

// One bare inotify watch per path (files or folders), in microseconds.
qint64 timeBareWatches(const QStringList& files)
{
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0)
        return -1;
    QVector<QByteArray> names;
    names.reserve(files.size());
    for (const QString& file : files)
        names << QFile::encodeName(file);
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray& name : qAsConst(names))
        inotify_add_watch(fd, name.constData(), IN_ATTRIB | IN_MODIFY | IN_MOVE | IN_MOVE_SELF | IN_DELETE_SELF);
    const qint64 elapsed = timer.nsecsElapsed() / 1000;
    close(fd);
    return elapsed;
}

// The files handed to Qt watchers of 500 paths each, in microseconds.
qint64 timeQtFileWatches(const QStringList& files)
{
    QObject owner;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < files.size(); i += 500)
        (new QFileSystemWatcher(&owner))->addPaths(files.mid(i, 500));
    return timer.nsecsElapsed() / 1000;
}

// Starts a DirectoryWatcher on root (the back end given: "inotify" or "qt"), then times the
// reports of new files in target; use gets the inotify instances and watches it held.
void measureOurs(const char* backend, const QString& root, const QString& target, int round,
                 QVector<qint64>& start, QVector<qint64>& report, InotifyUse& use)
{
    qputenv("LARKUTILS_WATCHER_BACKEND", backend);
    int reports = 0;
    DirectoryWatcher watcher;
    QObject::connect(&watcher, &DirectoryWatcher::addedFiles, [&](const QString&) { ++reports; });
    QElapsedTimer timer;
    timer.start();
    if (!watcher.setPath(root))
        std::fprintf(stderr, "setPath failed (%s; inotify watch limit?)\n", backend);
    start << timer.nsecsElapsed() / 1000;
    use = inotifyUse();
    report << timeReports(target, reports, round);
    if (reports < NEW_FILES)
        std::fprintf(stderr, "DirectoryWatcher (%s): only %d reports\n", backend, reports);
}

void printStart(const char* what, const QVector<qint64>& times, const QVector<qint64>& peer)
{
    std::printf("  %-44s %8.1f ms   ratio %.2f\n", what, Bench::median(times) / 1000.0,
                double(Bench::median(times)) / double(Bench::median(peer)));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    QStringList folders;
    const QStringList files = makeTree(temp.path(), folders);
    const QString target = temp.path() + QStringLiteral("/t3/s28");

    QVector<qint64> oursStart, qtStart, peerStart, oursReport, qtReport, peerReport;
    QVector<qint64> bareFolders, bareFiles, qtFiles;
    InotifyUse oursUse, qtUse, peerUse;
    for (int round = 0; round < ROUNDS; ++round) {
        measureOurs("inotify", temp.path(), target, 3 * round, oursStart, oursReport, oursUse);
        measureOurs("qt", temp.path(), target, 3 * round + 1, qtStart, qtReport, qtUse);
        {
            int reports = 0;
            KDirWatch watch;
            QObject::connect(&watch, &KDirWatch::created, [&](const QString&) { ++reports; });
            QElapsedTimer timer;
            timer.start();
            watch.addDir(temp.path(), KDirWatch::WatchFiles | KDirWatch::WatchSubDirs);
            peerStart << timer.nsecsElapsed() / 1000;
            peerUse = inotifyUse();
            peerReport << timeReports(target, reports, 3 * round + 2);
            if (reports < NEW_FILES)
                std::fprintf(stderr, "KDirWatch: only %d reports\n", reports);
        }
        bareFolders << timeBareWatches(folders);
        bareFiles << timeBareWatches(files);
        qtFiles << timeQtFileWatches(files);
    }

    std::printf("tree: %d files in %d folders, %d rounds (medians)\n", int(files.size()), int(folders.size()), ROUNDS);
    std::printf("start watching:   KDirWatch %8.1f ms\n", Bench::median(peerStart) / 1000.0);
    printStart("DirectoryWatcher (inotify back end)", oursStart, peerStart);
    printStart("DirectoryWatcher (Qt back end)", qtStart, peerStart);
    printStart("floor, a bare inotify watch per folder", bareFolders, peerStart);
    printStart("floor, a bare inotify watch per file", bareFiles, peerStart);
    printStart("floor, the files given to Qt watchers", qtFiles, peerStart);
    std::printf("100 new files:    KDirWatch %8.1f ms\n", Bench::median(peerReport) / 1000.0);
    printStart("DirectoryWatcher (inotify back end)", oursReport, peerReport);
    printStart("DirectoryWatcher (Qt back end)", qtReport, peerReport);
    std::printf("inotify instances / watches while watching:\n");
    std::printf("  DirectoryWatcher (inotify back end)  %3d / %6d\n", oursUse.instances, oursUse.watches);
    std::printf("  DirectoryWatcher (Qt back end)       %3d / %6d\n", qtUse.instances, qtUse.watches);
    std::printf("  KDirWatch                            %3d / %6d\n", peerUse.instances, peerUse.watches);
    return 0;
}
