// Round trip of one background job, from its start to the call that delivers its result on the
// main thread: GenericThread::runInGenericThread against QtConcurrent::run with a QFutureWatcher.
// A bare QThread per job (no job object, no result) is timed as well: the floor of any design
// that gives every job a new thread, where QtConcurrent reuses the threads of its pool.
#include "BenchStats.h"
#include <GenericThread.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int ROUNDS = 2000;

// The same small piece of work for all.
void work(QVariant& result)
{
    qint64 sum = 0;
    for (int i = 0; i < 2000; ++i)
        sum += i * i;
    result = sum;
}

class Receiver : public QObject
{
    Q_OBJECT
public:
    QEventLoop* mLoop = nullptr;
    qint64 mChecksum = 0;

public slots:
    void onResult(const QVariant& result)
    {
        mChecksum += result.toLongLong();
        mLoop->quit();
    }
};

class BareThread : public QThread
{
protected:
    void run() override
    {
        QVariant result;
        work(result);
    }
};

// Each function times one round trip, in microseconds.
double genericThreadRoundTrip(QEventLoop& loop, Receiver& receiver)
{
    receiver.mLoop = &loop;
    QElapsedTimer timer;
    timer.start();
    GenericThread::runInGenericThread(work, &receiver, SLOT(onResult(QVariant)));
    loop.exec();
    return double(timer.nsecsElapsed()) / 1000.0;
}

double concurrentRoundTrip(QEventLoop& loop, QFutureWatcher<QVariant>& watcher)
{
    QElapsedTimer timer;
    timer.start();
    watcher.setFuture(QtConcurrent::run([]() {
        QVariant result;
        work(result);
        return result;
    }));
    loop.exec();
    return double(timer.nsecsElapsed()) / 1000.0;
}

double bareThreadRoundTrip(QEventLoop& loop)
{
    QElapsedTimer timer;
    timer.start();
    BareThread* thread = new BareThread;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    loop.exec();
    return double(timer.nsecsElapsed()) / 1000.0;
}

// Between two timings: the previous job's thread (and its self-deletion) finishes its exit first,
// so that no timing pays for the one before it.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QEventLoop loop;
    Receiver receiver;
    QFutureWatcher<QVariant> watcher;
    qint64 checksum = 0;
    QObject::connect(&watcher, &QFutureWatcher<QVariant>::finished, &loop, [&]() {
        checksum += watcher.result().toLongLong();
        loop.quit();
    });

    // One job of each kind per round, so that all three see the same machine load.
    std::vector<double> ours, peer, bare;
    for (int round = 0; round < ROUNDS + 50; ++round) {
        const double o = genericThreadRoundTrip(loop, receiver);
        settle();
        const double p = concurrentRoundTrip(loop, watcher);
        settle();
        const double b = bareThreadRoundTrip(loop);
        settle();
        if (round < 50)
            continue;  // warm-up
        ours.push_back(o);
        peer.push_back(p);
        bare.push_back(b);
    }
    const double oursMedian = Bench::median(ours);
    const double peerMedian = Bench::median(peer);
    const double bareMedian = Bench::median(bare);
    std::printf("job round trip (start to result slot), median of %d interleaved rounds:\n", ROUNDS);
    std::printf("  GenericThread::runInGenericThread     %8.1f us\n", oursMedian);
    std::printf("  QtConcurrent::run + QFutureWatcher    %8.1f us\n", peerMedian);
    std::printf("  bare QThread per job (floor)          %8.1f us\n", bareMedian);
    std::printf("  ratio GenericThread / QtConcurrent    %8.2f  (target <= 1.50)\n", oursMedian / peerMedian);
    std::printf("  ratio bare QThread / QtConcurrent     %8.2f\n", bareMedian / peerMedian);
    std::printf("  ratio GenericThread / bare QThread    %8.2f\n", oursMedian / bareMedian);
    return receiver.mChecksum == checksum ? 0 : 1;
}

#include "bench_genericthread.moc"
