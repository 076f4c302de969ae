#include <Thread.h>

#include "LogCapture.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Runs a function as its thread's code; counts onFinished calls; exposes receivers().
class FunctionThread : public Thread
{
    Q_OBJECT
public:
    explicit FunctionThread(std::function<void(FunctionThread*)> code, QObject* parent = nullptr)
        : Thread(parent), mCode(std::move(code))
    {
    }
    ~FunctionThread() override { _terminateIfRunning(); }  // mCode must outlive the running code
    int finishedReceivers() const { return receivers(SIGNAL(finished())); }
    void onFinished() override { ++mOnFinishedCalls; }
    int mOnFinishedCalls = 0;

protected:
    void run() override { mCode(this); }

private:
    std::function<void(FunctionThread*)> mCode;
};

// Polls the interruption request; `stopped` tells that it saw it.
std::function<void(FunctionThread*)> pollUntilInterrupted(std::atomic<bool>* stopped)
{
    return [stopped](FunctionThread* self) {
        while (!self->isInterruptionRequested())
            QThread::msleep(2);
        *stopped = true;
    };
}

// Sleeps without a cancellation point, then lets a pending termination act here: a thread cancelled
// inside one of ThreadSanitizer's intercepted calls leaves the sanitizer's bookkeeping unbalanced.
void napThenAllowTermination(long milliseconds)
{
    const timespec nap{0, milliseconds * 1000000L};
    ::syscall(SYS_nanosleep, &nap, nullptr);
    ::pthread_testcancel();
}

// Ignores interruption requests; counts its turns.
std::function<void(FunctionThread*)> spinIgnoringRequests(std::atomic<int>* turns)
{
    return [turns](FunctionThread*) {
        for (;;) {
            ++*turns;
            napThenAllowTermination(1);
        }
    };
}

int indexOf(const QList<Logwell::Message>& messages, const QString& fragment)
{
    for (int i = 0; i < messages.size(); ++i)
        if (messages.at(i).text.contains(fragment))
            return i;
    return -1;
}

} // namespace

class tst_Thread : public QObject
{
    Q_OBJECT

private slots:
    void ownerStopsThread_data();
    void ownerStopsThread();
    void lastChanceOnStoppedThreadDoesNothing();
    void waitPointReleased_data();
    void waitPointReleased();
    void signalBeforeWait_data();
    void signalBeforeWait();
    void interruptionNeverLost();
    void deleteOnFinished_data();
    void deleteOnFinished();
    void terminateCancelsDeleteOnFinished();
    void destroyRunningThreadTerminatesIt();
    void progressReachesOwnerThread();
    void applicationQuit_data();
    void applicationQuit();
    void withoutApplication();
};

void tst_Thread::ownerStopsThread_data()
{
    QTest::addColumn<bool>("withParent");
    QTest::newRow("owner destroyed") << true;
    QTest::newRow("application quits") << false;
}

// The owner's destruction or the application's quit asks the thread to stop and joins it.
void tst_Thread::ownerStopsThread()
{
    QFETCH(bool, withParent);
    std::atomic<bool> stopped{false};
    QObject* owner = withParent ? new QObject : nullptr;
    QPointer<FunctionThread> thread = new FunctionThread(pollUntilInterrupted(&stopped), owner);
    QCOMPARE(thread->parent(), withParent ? owner : QCoreApplication::instance());
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);

    LogCapture logs;
    if (withParent)
        delete owner;
    else
        QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));

    QVERIFY(stopped);
    QVERIFY(logs.has(Logwell::LogDebug, "Thread::lastChanceBeforeDestroyed",
                     QStringList{"FunctionThread", "Thread is still running on lastChanceBeforeDestroyed call!",
                                 "=> stopAndWait(3000)"}));
    QCOMPARE(logs.count(Logwell::LogCritical), 0);
    if (withParent) {
        QVERIFY(thread.isNull());
    } else {
        QVERIFY(thread->wait(5000));
        delete thread.data();
    }
}

void tst_Thread::lastChanceOnStoppedThreadDoesNothing()
{
    FunctionThread thread([](FunctionThread*) {});
    LogCapture logs;
    thread.lastChanceBeforeDestroyed();
    thread.start();
    QVERIFY(thread.wait(5000));
    thread.lastChanceBeforeDestroyed();
    QCOMPARE(logs.count(), 0);
}

void tst_Thread::waitPointReleased_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("fromOtherThread");
    QTest::newRow("requestInterruption from owner") << "requestInterruption" << false;
    QTest::newRow("requestInterruption from other thread") << "requestInterruption" << true;
    QTest::newRow("stopAndWait from owner") << "stopAndWait" << false;
    QTest::newRow("stopAndWait from other thread") << "stopAndWait" << true;
    QTest::newRow("mainWake from owner") << "mainWake" << false;
}

// A worker blocked in mainWaitForCondition() returns on a wake or an interruption request.
void tst_Thread::waitPointReleased()
{
    QFETCH(QString, call);
    QFETCH(bool, fromOtherThread);
    QSemaphore waiting;
    std::atomic<bool> released{false};
    FunctionThread thread([&](FunctionThread* self) {
        waiting.release();
        self->mainWaitForCondition();
        released = true;
    });
    thread.start();
    QVERIFY(waiting.tryAcquire(1, 5000));
    QThread::msleep(50);  // let it reach the wait
    QVERIFY(!released);

    const auto release = [&]() {
        if (call == "requestInterruption")
            thread.requestInterruption();
        else if (call == "stopAndWait")
            thread.stopAndWait(5000);
        else
            thread.mainWake();
    };
    if (fromOtherThread) {
        std::thread other(release);
        other.join();
    } else {
        release();
    }
    QVERIFY(thread.wait(5000));
    QVERIFY(released);
}

void tst_Thread::signalBeforeWait_data()
{
    QTest::addColumn<bool>("interruption");
    QTest::newRow("interruption request is kept") << true;
    QTest::newRow("plain wake is lost") << false;
}

// A signal that comes between the worker's check and its wait: a request still releases the
// wait, a plain wake does not.
void tst_Thread::signalBeforeWait()
{
    QFETCH(bool, interruption);
    QSemaphore checked;
    QSemaphore signalled;
    std::atomic<bool> released{false};
    FunctionThread thread([&](FunctionThread* self) {
        if (self->isInterruptionRequested())
            return;
        checked.release();
        if (!signalled.tryAcquire(1, 5000))
            return;
        self->mainWaitForCondition();
        released = true;
    });
    thread.start();
    QVERIFY(checked.tryAcquire(1, 5000));
    if (interruption)
        thread.requestInterruption();
    else
        thread.mainWake();
    signalled.release();

    if (interruption) {
        QVERIFY(thread.wait(5000));
    } else {
        QVERIFY(!thread.wait(200));
        QVERIFY(!released);
        thread.requestInterruption();
        QVERIFY(thread.wait(5000));
    }
    QVERIFY(released);
}

// The usual worker loop, interrupted at random moments: it always ends.
void tst_Thread::interruptionNeverLost()
{
    for (int round = 0; round < 100; ++round) {
        FunctionThread thread([](FunctionThread* self) {
            while (!self->isInterruptionRequested())
                self->mainWaitForCondition();
        });
        thread.start();
        if (round % 2)
            QThread::usleep(round * 10);
        thread.requestInterruption();
        QVERIFY2(thread.wait(5000), qPrintable(QString("round %1").arg(round)));
    }
}

void tst_Thread::deleteOnFinished_data()
{
    QTest::addColumn<QList<bool>>("calls");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("off by default") << QList<bool>{} << false;
    QTest::newRow("enabled") << QList<bool>{true} << true;
    QTest::newRow("enabled twice") << QList<bool>{true, true} << true;
    QTest::newRow("enabled then disabled") << QList<bool>{true, false} << false;
}

void tst_Thread::deleteOnFinished()
{
    QFETCH(QList<bool>, calls);
    QFETCH(bool, deleted);
    QPointer<FunctionThread> thread = new FunctionThread([](FunctionThread*) {});
    const int base = thread->finishedReceivers();
    for (bool enable : calls)
        thread->enableThreadDeleteOnFinished(enable);
    QCOMPARE(thread->finishedReceivers(), base + (deleted ? 1 : 0));

    thread->start();
    if (deleted) {
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
    } else {
        QVERIFY(thread->wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(thread->mOnFinishedCalls, 1, 5000);
        QTest::qWait(20);
        QVERIFY(!thread.isNull());
        delete thread.data();
    }
}

// terminate() leaves no deletion pending from the terminated thread's finished().
void tst_Thread::terminateCancelsDeleteOnFinished()
{
    std::atomic<int> turns{0};
    QPointer<FunctionThread> thread = new FunctionThread(spinIgnoringRequests(&turns));
    thread->enableThreadDeleteOnFinished(true);
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(turns > 0, 5000);
    thread->terminate();
    QVERIFY(thread->wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(thread->mOnFinishedCalls, 1, 5000);
    QTest::qWait(20);
    QVERIFY(!thread.isNull());
    delete thread.data();
}

// The last resort stops the worker, logs both messages in order, and the process lives on.
void tst_Thread::destroyRunningThreadTerminatesIt()
{
    std::atomic<int> turns{0};
    QObject owner;
    FunctionThread* thread = new FunctionThread(spinIgnoringRequests(&turns), &owner);
    thread->enableThreadDeleteOnFinished(true);
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(turns > 0, 5000);

    LogCapture logs;
    delete thread;
    const QList<Logwell::Message> criticals = logs.messages(Logwell::LogCritical);
    QCOMPARE(criticals.size(), 2);
    for (const Logwell::Message& message : criticals)
        QCOMPARE(message.function, QStringLiteral("Thread::_terminateIfRunning"));
    QVERIFY2(logs.has(Logwell::LogCritical, "Thread::_terminateIfRunning",
                      QStringList{"FunctionThread", "Thread is still running on Destructor call!", "=> terminate()"}),
             qPrintable(logs.dump()));
    QCOMPARE(indexOf(criticals, "Thread is still running on Destructor call!"), 0);
    QCOMPARE(indexOf(criticals, "Thread Terminated! #BRUTAL"), 1);

    const int after = turns;
    QThread::msleep(50);
    QCOMPARE(int(turns), after);
}

// Progress emitted by the worker reaches a receiver of the owner's thread, in order.
void tst_Thread::progressReachesOwnerThread()
{
    FunctionThread thread([](FunctionThread* self) {
        self->emitThreadProgress("level1 a", "level2 a");
        self->emitThreadProgress("level1 b", "level2 b");
    });
    QObject receiver;
    QStringList received;
    bool onOwnerThread = true;
    connect(&thread, &Thread::progressThread, &receiver, [&](const QString& first, const QString& second) {
        received << first << second;
        onOwnerThread = onOwnerThread && QThread::currentThread() == receiver.thread();
    });
    thread.start();
    QVERIFY(thread.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 4, 5000);
    QCOMPARE(received, (QStringList{"level1 a", "level2 a", "level1 b", "level2 b"}));
    QVERIFY(onOwnerThread);
}

void tst_Thread::applicationQuit_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("quickQuit");
    QTest::newRow("threads that poll") << "polling" << true;
    QTest::newRow("one job ignores the request") << "stubborn" << false;
}

// A real application quits while threads run: every thread is asked to stop and joined; a
// thread that does not stop is terminated when the application object goes, without an abort.
void tst_Thread::applicationQuit()
{
    QFETCH(QString, mode);
    QFETCH(bool, quickQuit);
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.start(THREADQUIT_HELPER, {mode});
    QVERIFY(helper.waitForStarted(5000));
    if (!helper.waitForFinished(30000)) {
        helper.kill();
        helper.waitForFinished(5000);
        QFAIL("the application did not quit");
    }
    const QString output = QString::fromUtf8(helper.readAllStandardOutput());
    const QString errors = QString::fromUtf8(helper.readAllStandardError());
    QVERIFY2(helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0,
             qPrintable(output + errors));
    QVERIFY2(output.contains("stopped 6/6"), qPrintable(output));
    QVERIFY2(output.contains("exited"), qPrintable(output));

    const QRegularExpression quitTime("quit (\\d+) ms");
    const int quitMs = quitTime.match(output).captured(1).toInt();
    if (quickQuit) {
        QVERIFY2(quitMs < 3000, qPrintable(output));
        QVERIFY2(!output.contains("LOG 4"), qPrintable(output));
    } else {
        // Only the stubborn job makes the quit wait its 3000 ms; it is terminated afterwards.
        QVERIFY2(quitMs >= 2900, qPrintable(output));
        const int first = output.indexOf("Thread is still running on Destructor call!");
        QVERIFY2(first >= 0, qPrintable(output));
        QVERIFY2(output.indexOf("Thread Terminated! #BRUTAL") > first, qPrintable(output));
    }
}

// Without an application object a thread has no owner: logged, and it still runs and stops.
void tst_Thread::withoutApplication()
{
    QProcess helper;
    helper.start(THREADQUIT_HELPER, {"noapp"});
    QVERIFY(helper.waitForStarted(5000));
    if (!helper.waitForFinished(30000)) {
        helper.kill();
        helper.waitForFinished(5000);
        QFAIL("the helper did not end");
    }
    const QString output = QString::fromUtf8(helper.readAllStandardOutput());
    QVERIFY2(helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0,
             qPrintable(output + QString::fromUtf8(helper.readAllStandardError())));
    QVERIFY2(output.contains("LOG 4 Thread::Thread | no application object"), qPrintable(output));
    QVERIFY2(output.contains("stopped 1\nexited"), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_Thread)
#include "tst_thread.moc"
