// Folder watching against KDirWatch on the same tree, in one run:
//  - the time to start watching a tree of 10,000 files in 500 folders (setPath vs addDir);
//  - the time from creating 100 new files to the last report.
#include <DirectoryWatcher.h>

#include <KDirWatch>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const int FOLDERS = 500;
const int FILES_PER_FOLDER = 20;
const int NEW_FILES = 100;
const int ROUNDS = 5;

void makeTree(const QString& root)
{
    for (int f = 0; f < FOLDERS; ++f) {
        // 25 top folders of 20 sub-folders each (the top folders hold files too).
        const QString folder = f < 25 ? QStringLiteral("%1/t%2").arg(root).arg(f)
                                      : QStringLiteral("%1/t%2/s%3").arg(root).arg(f % 25).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < FILES_PER_FOLDER; ++i) {
            QFile file(QStringLiteral("%1/file%2.txt").arg(folder).arg(i));
            file.open(QIODevice::WriteOnly);
            file.write("content");
        }
    }
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

qint64 median(QVector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    makeTree(temp.path());
    const QString target = temp.path() + QStringLiteral("/t3/s28");

    QVector<qint64> oursStart, peerStart, oursReport, peerReport;
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
    }

    const double startRatio = double(median(oursStart)) / double(median(peerStart));
    const double reportRatio = double(median(oursReport)) / double(median(peerReport));
    std::printf("tree: %d files in %d folders, %d rounds (medians)\n", FOLDERS * FILES_PER_FOLDER, FOLDERS, ROUNDS);
    std::printf("start watching:   DirectoryWatcher %8.1f ms   KDirWatch %8.1f ms   ratio %.2f\n",
                median(oursStart) / 1000.0, median(peerStart) / 1000.0, startRatio);
    std::printf("100 new files:    DirectoryWatcher %8.1f ms   KDirWatch %8.1f ms   ratio %.2f\n",
                median(oursReport) / 1000.0, median(peerReport) / 1000.0, reportRatio);
    return 0;
}
