#include "Thread.h"

#include "Threadable.h"

#include "LarkLog.h"

#include <QCoreApplication>

namespace {

// How long an owner going away waits for the thread's code to return.
const unsigned long LAST_CHANCE_WAIT_MS = 3000;
// How long the destructor waits for a terminated thread to end.
const unsigned long TERMINATE_WAIT_MS = 3000;

} // namespace

Thread::Thread(QObject* parent)
    : QThread(parent)
{
    if (parent) {
        connect(parent, &QObject::destroyed, this, &Thread::lastChanceBeforeDestroyed);
    } else if (QCoreApplication* application = QCoreApplication::instance()) {
        // The application object can only own objects of its own thread.
        if (application->thread() != QThread::currentThread())
            moveToThread(application->thread());
        setParent(application);
        connect(application, &QCoreApplication::aboutToQuit, this, &Thread::lastChanceBeforeDestroyed);
    } else {
        LARK_CRITICAL << "no application object: the thread has no owner";
    }
    connect(this, &QThread::finished, this, &Thread::onFinished);
}

Thread::~Thread()
{
    _terminateIfRunning();
}

void Thread::_terminateIfRunning()
{
    if (!isRunning())
        return;
    LARK_CRITICAL << metaObject()->className() << "Thread is still running on Destructor call!" << "\n"
                  << "=> terminate()";
    disconnect(this, &QThread::finished, this, &QObject::deleteLater);
    QThread::terminate();
    LARK_CRITICAL << "Thread Terminated! #BRUTAL";
    // ~QThread aborts the whole process while the thread has not ended: let it end first.
    if (!QThread::wait(TERMINATE_WAIT_MS))
        LARK_CRITICAL << "the terminated thread did not end within" << TERMINATE_WAIT_MS << "ms";
}

void Thread::requestInterruption()
{
    // Under the mutex, so that a worker between its check and its wait cannot miss the request.
    QMutexLocker locker(&mMutex);
    QThread::requestInterruption();
    mWaitCondition.wakeAll();
}

bool Thread::stopAndWait(unsigned long time)
{
    requestInterruption();
    return QThread::wait(time);
}

void Thread::terminate()
{
    disconnect(this, &QThread::finished, this, &QObject::deleteLater);
    QThread::terminate();
}

void Thread::enableThreadDeleteOnFinished(bool enable)
{
    if (enable)
        connect(this, &QThread::finished, this, &QObject::deleteLater, Qt::UniqueConnection);
    else
        disconnect(this, &QThread::finished, this, &QObject::deleteLater);
}

void Thread::mainWaitForCondition()
{
    QMutexLocker locker(&mMutex);
    if (QThread::isInterruptionRequested())
        return;
    mWaitCondition.wait(&mMutex);
}

void Thread::mainWake()
{
    mWaitCondition.wakeAll();
}

void Thread::emitThreadProgress(const QString& progress_level1, const QString& progress_level2)
{
    emit progressThread(progress_level1, progress_level2);
}

void Thread::addThreadableChild(Threadable& child)
{
    if (!Threadable::isAlive(&child)) {
        LARK_CRITICAL << "the work object is destroyed or being destroyed:" << static_cast<const void*>(&child);
        return;
    }
    child.setThreadForInterrupt(this);
}

QList<QPointer<Threadable>> Thread::registeredThreadables() const
{
    QMutexLocker locker(&mMutex);
    return mThreadables;
}

void Thread::lastChanceBeforeDestroyed()
{
    if (!isRunning())
        return;
    LARK_DEBUG << metaObject()->className() << "Thread is still running on lastChanceBeforeDestroyed call!"
               << "\n" << "=> stopAndWait(3000)";
    stopAndWait(LAST_CHANCE_WAIT_MS);
}

void Thread::onFinished()
{
}

void Thread::registerThreadable(Threadable* threadable)
{
    QMutexLocker locker(&mMutex);
    // Dead entries are dropped here, so that a long-lived thread's registry does not grow.
    mThreadables.removeAll(QPointer<Threadable>());
    for (const QPointer<Threadable>& registered : qAsConst(mThreadables))
        if (registered.data() == threadable)
            return;
    mThreadables.append(QPointer<Threadable>(threadable));
}
