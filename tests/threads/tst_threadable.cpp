#include <Thread.h>
#include <Threadable.h>

#include "LogCapture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {

// A work object with its protected interface opened; counts the threads it is given.
class Work : public Threadable
{
    Q_OBJECT
public:
    explicit Work(QObject* parent = nullptr) : Threadable(parent) {}

    void setThreadForInterrupt(Thread* thread) override
    {
        mGiven.append(thread);
        Threadable::setThreadForInterrupt(thread);
    }

    using Threadable::addThreadableChild;
    using Threadable::emitThreadProgressMessages;
    using Threadable::isInterruptionRequested;
    using Threadable::msleep;
    using Threadable::requestInterruption;

    QVector<Thread*> mGiven;
};

class FunctionThread : public Thread
{
    Q_OBJECT
public:
    explicit FunctionThread(std::function<void()> code = {}) : Thread(nullptr), mCode(std::move(code)) {}
    ~FunctionThread() override { _terminateIfRunning(); }

protected:
    void run() override
    {
        if (mCode)
            mCode();
    }

private:
    std::function<void()> mCode;
};

int registrations(const Thread& thread, const Threadable* object)
{
    int count = 0;
    for (const QPointer<Threadable>& registered : thread.registeredThreadables())
        count += registered.data() == object ? 1 : 0;
    return count;
}

} // namespace

class tst_Threadable : public QObject
{
    Q_OBJECT

private slots:
    void withoutThread();
    void afterThreadDestroyed();
    void treeSharesThread_data();
    void treeSharesThread();
    void deadChildDropped();
    void misuseChangesNothing_data();
    void misuseChangesNothing();
    void workInsideThread_data();
    void workInsideThread();
};

void tst_Threadable::withoutThread()
{
    Work work;
    QVERIFY(!work.isInterruptionRequested());
    work.requestInterruption();
    work.emitThreadProgressMessages("a", "b");
    QVERIFY(!work.isInterruptionRequested());

    QElapsedTimer timer;
    timer.start();
    work.msleep(30);
    QVERIFY(timer.elapsed() >= 30);
}

void tst_Threadable::afterThreadDestroyed()
{
    Work work;
    {
        std::atomic<bool> asked{false};
        FunctionThread thread([&]() {
            while (!work.isInterruptionRequested())
                QThread::msleep(1);
            asked = true;
        });
        thread.addThreadableChild(work);
        thread.start();
        QTest::qWait(20);
        thread.requestInterruption();
        QVERIFY(thread.wait(5000));
        QVERIFY(asked);
    }
    // The tracked pointer is null now: nothing reaches the destroyed thread.
    QVERIFY(!work.isInterruptionRequested());
    work.requestInterruption();
    work.emitThreadProgressMessages("a", "b");
}

void tst_Threadable::treeSharesThread_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("setThreadForInterrupt on the root") << "root";
    QTest::newRow("Thread::addThreadableChild") << "thread";
    QTest::newRow("children added after the thread") << "late children";
    QTest::newRow("everything twice") << "twice";
}

// parent -> child -> grandchild: one call gives all three the thread, each registered once.
void tst_Threadable::treeSharesThread()
{
    QFETCH(QString, how);
    FunctionThread thread;
    Work parent, child, grandchild;
    const bool late = how == "late children";
    const bool twice = how == "twice";

    if (!late) {
        parent.addThreadableChild(child);
        child.addThreadableChild(grandchild);
        if (twice) {
            parent.addThreadableChild(child);
            child.addThreadableChild(grandchild);
        }
    }
    if (how == "thread")
        thread.addThreadableChild(parent);
    else
        parent.setThreadForInterrupt(&thread);
    if (twice)
        parent.setThreadForInterrupt(&thread);
    if (late) {
        parent.addThreadableChild(child);
        child.addThreadableChild(grandchild);
    }

    const int calls = twice ? 2 : 1;
    QCOMPARE(parent.mGiven, QVector<Thread*>(calls, &thread));
    QCOMPARE(child.mGiven, QVector<Thread*>(calls, &thread));
    QCOMPARE(grandchild.mGiven, QVector<Thread*>(calls, &thread));
    for (const Work* work : {&parent, &child, &grandchild})
        QCOMPARE(registrations(thread, work), 1);
    QCOMPARE(thread.registeredThreadables().size(), 3);
}

// A destroyed child is dropped on the next walk; the live children after it still get the thread.
void tst_Threadable::deadChildDropped()
{
    FunctionThread thread;
    Work parent, first, last;
    Work* dead = new Work;
    parent.addThreadableChild(first);
    parent.addThreadableChild(*dead);
    parent.addThreadableChild(last);
    parent.setThreadForInterrupt(&thread);
    delete dead;

    FunctionThread other;
    parent.setThreadForInterrupt(&other);
    QCOMPARE(first.mGiven.last(), &other);
    QCOMPARE(last.mGiven.last(), &other);
    QCOMPARE(other.registeredThreadables().size(), 3);
    // The first thread's registry still lists the dead one as a null entry until it registers again.
    QVERIFY(thread.registeredThreadables().contains(QPointer<Threadable>()));
}

void tst_Threadable::misuseChangesNothing_data()
{
    QTest::addColumn<QString>("misuse");
    QTest::addColumn<QString>("function");
    QTest::newRow("null thread") << "null thread" << "Threadable::setThreadForInterrupt";
    QTest::newRow("dead child") << "dead child" << "Threadable::addThreadableChild";
    QTest::newRow("dead child given to a thread") << "dead child to thread" << "Thread::addThreadableChild";
    QTest::newRow("itself as child") << "self" << "Threadable::addThreadableChild";
    QTest::newRow("its parent as child") << "cycle" << "Threadable::addThreadableChild";
}

void tst_Threadable::misuseChangesNothing()
{
    QFETCH(QString, misuse);
    QFETCH(QString, function);
    FunctionThread thread;
    Work root, child;
    root.addThreadableChild(child);
    root.setThreadForInterrupt(&thread);

    LogCapture logs;
    if (misuse == "null thread") {
        root.setThreadForInterrupt(nullptr);
    } else if (misuse.startsWith("dead child")) {
        Work* dying = new Work;
        Threadable* stored = dying;  // a pointer kept by the caller, used while the object dies
        const bool toThread = misuse.endsWith("to thread");
        // While destroyed() is emitted only the QObject part of the object is left.
        connect(dying, &QObject::destroyed, this, [&]() {
            if (toThread)
                thread.addThreadableChild(*stored);
            else
                root.addThreadableChild(*stored);
        });
        delete dying;
    } else if (misuse == "self") {
        root.addThreadableChild(root);
    } else {
        child.addThreadableChild(root);
    }
    QVERIFY2(logs.has(Logwell::LogCritical, function), qPrintable(logs.dump()));
    QCOMPARE(logs.count(), 1);

    // Still on the same thread, tree unchanged: a new walk ends and reaches the same objects.
    QSignalSpy progress(&thread, &Thread::progressThread);
    child.emitThreadProgressMessages("still", "here");
    QCOMPARE(progress.count(), 1);
    FunctionThread other;
    root.setThreadForInterrupt(&other);
    QCOMPARE(other.registeredThreadables().size(), 2);
}

void tst_Threadable::workInsideThread_data()
{
    QTest::addColumn<bool>("workAsks");
    QTest::newRow("owner asks the thread to stop") << false;
    QTest::newRow("a work object asks") << true;
}

// A tree of work objects runs inside a thread: progress reaches the owner, in order, and the
// interruption request reaches the deepest object.
void tst_Threadable::workInsideThread()
{
    QFETCH(bool, workAsks);
    Work root, child, grandchild;
    root.addThreadableChild(child);
    child.addThreadableChild(grandchild);
    std::atomic<int> steps{0};
    FunctionThread thread([&]() {
        while (!grandchild.isInterruptionRequested()) {
            const int step = ++steps;
            root.emitThreadProgressMessages("root", QString::number(step));
            child.emitThreadProgressMessages("child", QString::number(step));
            if (workAsks && step == 5)
                grandchild.requestInterruption();
            grandchild.msleep(1);
        }
    });
    thread.addThreadableChild(root);

    QObject owner;
    QStringList received;
    bool onOwnerThread = true;
    connect(&thread, &Thread::progressThread, &owner, [&](const QString& first, const QString& second) {
        received << first + " " + second;
        onOwnerThread = onOwnerThread && QThread::currentThread() == owner.thread();
    });
    thread.start();
    if (!workAsks) {
        QTRY_VERIFY_WITH_TIMEOUT(received.size() >= 4, 5000);
        thread.requestInterruption();
    }
    QVERIFY(thread.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2 * steps, 5000);
    if (workAsks)
        QCOMPARE(int(steps), 5);
    for (int step = 1; step <= steps; ++step) {
        QCOMPARE(received.at(2 * step - 2), QString("root %1").arg(step));
        QCOMPARE(received.at(2 * step - 1), QString("child %1").arg(step));
    }
    QVERIFY(onOwnerThread);
}

QTEST_GUILESS_MAIN(tst_Threadable)
#include "tst_threadable.moc"
