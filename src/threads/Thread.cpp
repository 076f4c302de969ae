#include "Thread.h"

#include "ThreadsPrivate.h"

#include "LarkLog.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
#define LARK_TSAN_ANNOTATIONS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LARK_TSAN_ANNOTATIONS 1
#endif
#endif
#ifdef LARK_TSAN_ANNOTATIONS
#include <sanitizer/tsan_interface.h>
#endif

namespace {

// Locks the thread's mutex. QMutex is locked inside QtCore, where ThreadSanitizer cannot see it, so the lock
// is announced to it in sanitised builds (nothing is added otherwise).
class MutexLocker
{
public:
    explicit MutexLocker(QMutex* mutex) : mMutex(mutex)
    {
        announceLock(true);
        mMutex->lock();
        announceLock(false);
    }
    ~MutexLocker()
    {
        announceUnlock(true);
        mMutex->unlock();
        announceUnlock(false);
    }
    MutexLocker(const MutexLocker&) = delete;
    MutexLocker& operator=(const MutexLocker&) = delete;

    // Waits on the condition, the mutex released meanwhile.
    void wait(QWaitCondition& condition)
    {
        announceUnlock(true);
        announceUnlock(false);
        condition.wait(mMutex);
        announceLock(true);
        announceLock(false);
    }

private:
    void announceLock(bool before)
    {
#ifdef LARK_TSAN_ANNOTATIONS
        if (before)
            __tsan_mutex_pre_lock(mMutex, 0);
        else
            __tsan_mutex_post_lock(mMutex, 0, 0);
#else
        Q_UNUSED(before)
#endif
    }
    void announceUnlock(bool before)
    {
#ifdef LARK_TSAN_ANNOTATIONS
        if (before)
            __tsan_mutex_pre_unlock(mMutex, 0);
        else
            __tsan_mutex_post_unlock(mMutex, 0);
#else
        Q_UNUSED(before)
#endif
    }

    QMutex* mMutex;
};

// How long an owner going away waits for the thread's code to return.
const unsigned long LAST_CHANCE_WAIT_MS = 3000;
// How long the destructor waits for a terminated thread to end.
const unsigned long TERMINATE_WAIT_MS = 3000;

// The thread's code has ended. QThread joins its thread through QtCore's own mutex, which
// ThreadSanitizer cannot see.
void announceEnded(Thread* thread)
{
#ifdef LARK_TSAN_ANNOTATIONS
    __tsan_acquire(thread);
#else
    Q_UNUSED(thread)
#endif
}

} // namespace

Thread::Thread(QObject* parent)
    : QThread(parent)
    , d(new ThreadPrivate)
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
#ifdef LARK_TSAN_ANNOTATIONS
    // The end of the thread's code, for the waits and the destructor (see announceEnded()).
    connect(this, &QThread::finished, this, [this]() { __tsan_release(this); }, Qt::DirectConnection);
#endif
}

Thread::~Thread()
{
    _terminateIfRunning();
}

void Thread::_terminateIfRunning()
{
    if (!isRunning()) {
        announceEnded(this);
        return;
    }
    LARK_CRITICAL << metaObject()->className() << "Thread is still running on Destructor call!" << "\n"
                  << "=> terminate()";
    disconnect(this, &QThread::finished, this, &QObject::deleteLater);
    QThread::terminate();
    LARK_CRITICAL << "Thread Terminated! #BRUTAL";
    // ~QThread aborts the whole process while the thread has not ended: let it end first.
    if (!wait(TERMINATE_WAIT_MS))
        LARK_CRITICAL << "the terminated thread did not end within" << TERMINATE_WAIT_MS << "ms";
}

void Thread::requestInterruption()
{
    // Under the mutex, so that a worker between its check and its wait cannot miss the request.
    MutexLocker locker(&d->mMutex);
    QThread::requestInterruption();
    d->mWaitCondition.wakeAll();
}

bool Thread::stopAndWait(unsigned long time)
{
    requestInterruption();
    return wait(time);
}

bool Thread::wait(QDeadlineTimer deadline)
{
    const bool ended = QThread::wait(deadline);
    if (ended)
        announceEnded(this);
    return ended;
}

bool Thread::wait(unsigned long time)
{
    const bool ended = QThread::wait(time);
    if (ended)
        announceEnded(this);
    return ended;
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
    MutexLocker locker(&d->mMutex);
    if (QThread::isInterruptionRequested())
        return;
    locker.wait(d->mWaitCondition);
}

void Thread::mainWake()
{
    d->mWaitCondition.wakeAll();
}

void Thread::emitThreadProgress(const QString& progress_level1, const QString& progress_level2)
{
    emit progressThread(progress_level1, progress_level2);
}

void Thread::addThreadableChild(Threadable& child)
{
    if (!ThreadablePrivate::isAlive(&child)) {
        LARK_CRITICAL << "the work object is destroyed or being destroyed:" << static_cast<const void*>(&child);
        return;
    }
    child.setThreadForInterrupt(this);
}

QList<QPointer<Threadable>> Thread::registeredThreadables() const
{
    MutexLocker locker(&d->mMutex);
    return d->mThreadables;
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

void ThreadPrivate::registerThreadable(Threadable* threadable)
{
    MutexLocker locker(&mMutex);
    // Dead entries are dropped here, so that a long-lived thread's registry does not grow.
    mThreadables.removeAll(QPointer<Threadable>());
    for (const QPointer<Threadable>& registered : qAsConst(mThreadables))
        if (registered.data() == threadable)
            return;
    mThreadables.append(QPointer<Threadable>(threadable));
}
