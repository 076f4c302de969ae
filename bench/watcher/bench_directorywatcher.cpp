// Folder watching against KDirWatch on the same tree, in one run:
//  - the time to start watching a tree of 10,000 files in 500 folders (setPath vs addDir);
//  - the time from creating 100 new files to the last report.
// Also the floors of a watcher that watches every file on its own (KDirWatch watches the folders
// only): one bare inotify_add_watch per file of the tree, and the files handed to
// QFileSystemWatcher objects of 500 paths each, the tree already listed.
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

// Returns the paths of the files it wrote.
QStringList makeTree(const QString& root)
{
    QStringList files;
    for (int f = 0; f < FOLDERS; ++f) {
        // 25 top folders of 20 sub-folders each (the top folders hold files too).
        const QString folder = f < 25 ? QStringLiteral("%1/t%2").arg(root).arg(f)
                                      : QStringLiteral("%1/t%2/s%3").arg(root).arg(f % 25).arg(f);
        QDir().mkpath(folder);
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

// One bare inotify watch per file of the tree, in microseconds.
qint64 timeBareFileWatches(const QStringList& files)
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QStringList files = makeTree(temp.path());
    const QString target = temp.path() + QStringLiteral("/t3/s28");

    QVector<qint64> oursStart, peerStart, oursReport, peerReport, bareStart, qtStart;
    for (int round = 0; round < ROUNDS; ++round) {
        int reports = 0;
        {
            DirectoryWatcher watcher;
            QObject::connect(&watcher, &DirectoryWatcher::addedFiles, [&](const QString&) { ++reports; });
            QElapsedTimer timer;
            timer.start();
            if (!watcher.setPath(temp.path()))
                std::fprintf(stderr, "setPath failed (inotify watch limit?)\n");
            oursStart << timer.nsecsElapsed() / 1000;
            oursReport << timeReports(target, reports, 2 * round);
            if (reports < NEW_FILES)
                std::fprintf(stderr, "DirectoryWatcher: only %d reports\n", reports);
        }
        {
            KDirWatch watch;
            QObject::connect(&watch, &KDirWatch::created, [&](const QString&) { ++reports; });
            QElapsedTimer timer;
            timer.start();
            watch.addDir(temp.path(), KDirWatch::WatchFiles | KDirWatch::WatchSubDirs);
            peerStart << timer.nsecsElapsed() / 1000;
            peerReport << timeReports(target, reports, 2 * round + 1);
            if (reports < NEW_FILES)
                std::fprintf(stderr, "KDirWatch: only %d reports\n", reports);
        }
        bareStart << timeBareFileWatches(files);
        qtStart << timeQtFileWatches(files);
    }

    const double startRatio = double(Bench::median(oursStart)) / double(Bench::median(peerStart));
    const double reportRatio = double(Bench::median(oursReport)) / double(Bench::median(peerReport));
    std::printf("tree: %d files in %d folders, %d rounds (medians)\n", FOLDERS * FILES_PER_FOLDER, FOLDERS, ROUNDS);
    std::printf("start watching:   DirectoryWatcher %8.1f ms   KDirWatch %8.1f ms   ratio %.2f\n",
                Bench::median(oursStart) / 1000.0, Bench::median(peerStart) / 1000.0, startRatio);
    std::printf("  floor, a bare inotify watch per file      %8.1f ms   ratio %.2f\n", Bench::median(bareStart) / 1000.0,
                double(Bench::median(bareStart)) / double(Bench::median(peerStart)));
    std::printf("  floor, the files given to Qt watchers     %8.1f ms   ratio %.2f\n", Bench::median(qtStart) / 1000.0,
                double(Bench::median(qtStart)) / double(Bench::median(peerStart)));
    std::printf("100 new files:    DirectoryWatcher %8.1f ms   KDirWatch %8.1f ms   ratio %.2f\n",
                Bench::median(oursReport) / 1000.0, Bench::median(peerReport) / 1000.0, reportRatio);
    return 0;
}
