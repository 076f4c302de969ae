#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include "BenchStats.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <functional>

namespace Bench {

// Median wall time in milliseconds of job over repetitions; prepare runs untimed before each.
inline double timeMs(int repetitions, const std::function<void()>& job,
                     const std::function<void()>& prepare = nullptr)
{
    QVector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        job();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// Runs a peer command to its end (output discarded); false when it fails.
inline bool runPeer(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

inline void report(const QString& what, double ours, const QString& peer, double theirs, double target)
{
    const double ratio = theirs > 0 ? ours / theirs : 0.0;
    QTextStream(stdout) << QString("%1: %2 ms, %3: %4 ms, ratio %5 (target <= %6) %7\n")
                               .arg(what, -28)
                               .arg(ours, 0, 'f', 1)
                               .arg(peer)
                               .arg(theirs, 0, 'f', 1)
                               .arg(ratio, 0, 'f', 2)
                               .arg(target, 0, 'f', 1)
                               .arg(ratio <= target ? "ok" : "ABOVE TARGET");
}

} // namespace Bench

#endif // BENCHSUPPORT_H
