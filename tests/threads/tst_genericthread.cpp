#include <GenericThread.h>

#include "LogCapture.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

// Records every result it receives and the thread that delivered it.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QList<QVariant> mResults;
    QList<QThread*> mThreads;
    QSemaphore* mDelivered = nullptr;

public slots:
    void onResult(const QVariant& result)
    {
        mResults.append(result);
        mThreads.append(QThread::currentThread());
        if (mDelivered)
            mDelivered->release();
    }
};

// Records, with the receiver below, the order of the reactions to the end of the thread.
class OrderedThread : public GenericThread
{
    Q_OBJECT
public:
    explicit OrderedThread(QStringList* events) : GenericThread(nullptr), mEvents(events) {}
    void onFinished() override { mEvents->append("onFinished"); }

private:
    QStringList* mEvents;
};

class OrderReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList* mEvents = nullptr;

public slots:
    void onResult(const QVariant& result) { mEvents->append(result.isValid() ? "valid" : "result"); }
};

} // namespace

class tst_GenericThread : public QObject
{
    Q_OBJECT

private slots:
    void deliversResultOnce_data();
    void deliversResultOnce();
    void eachJobOnItsOwnThread();
    void lostDelivery_data();
    void lostDelivery();
    void receiverOnAnotherThread();
    void startedFromAWorkerThread();
    void jobStopsOnInterruption();
    void burstOfJobs();
    void resultBeforeOnFinished();
};

void tst_GenericThread::deliversResultOnce_data()
{
    QTest::addColumn<QVariant>("value");  // what the job sets; invalid: it sets nothing
    QTest::addColumn<bool>("emptyJob");
    QTest::newRow("number") << QVariant(42) << false;
    QTest::newRow("text") << QVariant(QStringLiteral("fini")) << false;
    QTest::newRow("nothing set") << QVariant() << false;
    QTest::newRow("empty job") << QVariant() << true;
}

// The job runs on the returned thread; its result reaches the receiver's slot once, on the
// receiver's thread; the thread object deletes itself.
void tst_GenericThread::deliversResultOnce()
{
    QFETCH(QVariant, value);
    QFETCH(bool, emptyJob);
    LogCapture logs;
    Receiver receiver;
    std::atomic<QThread*> ranOn{nullptr};
    std::function<void(QVariant&)> job;
    if (!emptyJob)
        job = [value, &ranOn](QVariant& result) {
            ranOn = QThread::currentThread();
            if (value.isValid())
                result = value;
        };
    QPointer<GenericThread> thread = GenericThread::runInGenericThread(job, &receiver, SLOT(onResult(QVariant)));
    QVERIFY(thread);
    QCOMPARE(thread->parent(), QCoreApplication::instance());
    QThread* const threadAddress = thread.data();

    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(receiver.mResults.size(), 1, 5000);
    QTest::qWait(20);
    QCOMPARE(receiver.mResults.size(), 1);
    QCOMPARE(receiver.mResults.first(), value);
    QCOMPARE(receiver.mResults.first().isValid(), value.isValid());
    QCOMPARE(receiver.mThreads.first(), receiver.thread());
    if (emptyJob) {
        QVERIFY2(logs.has(Logwell::LogCritical, "GenericThread::run", "empty job"), qPrintable(logs.dump()));
    } else {
        QCOMPARE(ranOn.load(), threadAddress);
        QCOMPARE(logs.count(Logwell::LogCritical), 0);
    }
}

// Two jobs running at the same time: two threads, each call with its own job's result.
void tst_GenericThread::eachJobOnItsOwnThread()
{
    QSemaphore started;
    std::atomic<QThread*> ranOn[2] = {{nullptr}, {nullptr}};
    Receiver receiver;
    GenericThread* threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = GenericThread::runInGenericThread(
            [i, &started, &ranOn](QVariant& result) {
                ranOn[i] = QThread::currentThread();
                started.release();
                // Both are running before either ends.
                if (started.tryAcquire(2, 5000))
                    started.release(2);
                result = QStringLiteral("job %1").arg(i);
            },
            &receiver, SLOT(onResult(QVariant)));
    }
    QVERIFY(threads[0] != threads[1]);
    QTRY_COMPARE_WITH_TIMEOUT(receiver.mResults.size(), 2, 5000);
    QCOMPARE(ranOn[0].load(), static_cast<QThread*>(threads[0]));
    QCOMPARE(ranOn[1].load(), static_cast<QThread*>(threads[1]));
    QStringList results;
    for (const QVariant& result : receiver.mResults)
        results << result.toString();
    results.sort();
    QCOMPARE(results, (QStringList{"job 0", "job 1"}));
}

void tst_GenericThread::lostDelivery_data()
{
    QTest::addColumn<bool>("withReceiver");
    QTest::addColumn<QByteArray>("slot");
    QTest::newRow("unknown slot") << true << QByteArray(SLOT(noSuchSlot(QVariant)));
    QTest::newRow("slot with other arguments") << true << QByteArray(SLOT(onResult(QString)));
    QTest::newRow("no receiver") << false << QByteArray(SLOT(onResult(QVariant)));
    QTest::newRow("no slot") << true << QByteArray();
}

// A delivery that cannot be connected is lost, but the job runs and the thread goes all the same.
void tst_GenericThread::lostDelivery()
{
    QFETCH(bool, withReceiver);
    QFETCH(QByteArray, slot);
    LogCapture logs;
    Receiver receiver;
    std::atomic<bool> ran{false};
    QPointer<GenericThread> thread = GenericThread::runInGenericThread(
        [&ran](QVariant& result) {
            ran = true;
            result = 1;
        },
        withReceiver ? &receiver : nullptr, slot.isNull() ? nullptr : slot.constData());
    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
    QVERIFY(ran);
    QTest::qWait(20);
    QVERIFY(receiver.mResults.isEmpty());
    const bool misuse = !withReceiver || slot.isNull();
    QCOMPARE(logs.has(Logwell::LogCritical, "GenericThread::runInGenericThread"), misuse);
}

// The result crosses to a receiver that lives in a third thread (an event loop: Thread's run()).
void tst_GenericThread::receiverOnAnotherThread()
{
    Thread receiverThread;
    Receiver receiver;
    receiver.moveToThread(&receiverThread);
    receiverThread.start();
    QSemaphore delivered;
    receiver.mDelivered = &delivered;
    GenericThread::runInGenericThread([](QVariant& result) { result = 7; }, &receiver,
                                      SLOT(onResult(QVariant)));
    QVERIFY(delivered.tryAcquire(1, 5000));
    receiverThread.quit();
    QVERIFY(receiverThread.wait(5000));
    QCOMPARE(receiver.mResults, QList<QVariant>{7});
    QCOMPARE(receiver.mThreads.first(), &receiverThread);
}

// Started from a thread without an event loop: still owned by the application, delivered, deleted.
void tst_GenericThread::startedFromAWorkerThread()
{
    Receiver receiver;
    QPointer<GenericThread> thread;
    std::thread starter([&]() {
        thread = GenericThread::runInGenericThread([](QVariant& result) { result = QStringLiteral("from afar"); },
                                                   &receiver, SLOT(onResult(QVariant)));
    });
    starter.join();
    QVERIFY(thread);
    QCOMPARE(thread->parent(), QCoreApplication::instance());
    QTRY_COMPARE_WITH_TIMEOUT(receiver.mResults.size(), 1, 5000);
    QCOMPARE(receiver.mResults.first(), QVariant(QStringLiteral("from afar")));
    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
}

// A job that polls its thread's interruption request stops when asked, and still delivers.
void tst_GenericThread::jobStopsOnInterruption()
{
    Receiver receiver;
    std::atomic<bool> started{false};
    GenericThread* thread = GenericThread::runInGenericThread(
        [&started](QVariant& result) {
            Thread* self = static_cast<Thread*>(QThread::currentThread());
            started = true;
            while (!self->isInterruptionRequested())
                QThread::msleep(1);
            result = QStringLiteral("stopped");
        },
        &receiver, SLOT(onResult(QVariant)));
    // It cannot end (and delete itself) before it is asked to: the pointer is safe here.
    QTRY_VERIFY_WITH_TIMEOUT(started, 5000);
    QVERIFY(thread->stopAndWait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.mResults.size(), 1, 5000);
    QCOMPARE(receiver.mResults.first(), QVariant(QStringLiteral("stopped")));
}

// 1000 jobs in a burst: every result arrives exactly once, and every thread object is deleted.
void tst_GenericThread::burstOfJobs()
{
    const int jobs = 1000;
    Receiver receiver;
    int destroyed = 0;
    for (int i = 0; i < jobs; ++i) {
        GenericThread* thread = GenericThread::runInGenericThread([i](QVariant& result) { result = i; }, &receiver,
                                                                  SLOT(onResult(QVariant)));
        connect(thread, &QObject::destroyed, this, [&destroyed]() { ++destroyed; });
    }
    QTRY_COMPARE_WITH_TIMEOUT(receiver.mResults.size(), jobs, 120000);
    QTRY_COMPARE_WITH_TIMEOUT(destroyed, jobs, 30000);
    QTest::qWait(50);
    QCOMPARE(receiver.mResults.size(), jobs);
    QVector<int> calls(jobs, 0);
    for (const QVariant& result : receiver.mResults) {
        bool ok = false;
        const int job = result.toInt(&ok);
        QVERIFY(ok && job >= 0 && job < jobs);
        ++calls[job];
    }
    QCOMPARE(calls, QVector<int>(jobs, 1));
}

// The result reaches the receiver first, then onFinished() runs once, then the object goes.
void tst_GenericThread::resultBeforeOnFinished()
{
    LogCapture logs;  // started without a job: logged
    QStringList events;
    OrderReceiver receiver;
    receiver.mEvents = &events;
    QPointer<OrderedThread> thread = new OrderedThread(&events);
    connect(thread.data(), &GenericThread::genericFinished, &receiver, &OrderReceiver::onResult);
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
    QTest::qWait(20);
    QCOMPARE(events, (QStringList{"result", "onFinished"}));
}

QTEST_GUILESS_MAIN(tst_GenericThread)
#include "tst_genericthread.moc"
