#include "Threadable.h"

#include "Thread.h"

#include "LarkLog.h"

Threadable::Threadable(QObject* parent)
    : QObject(parent)
{
}

Threadable::~Threadable()
{
}

void Threadable::setThreadForInterrupt(Thread* thread)
{
    if (!thread) {
        LARK_CRITICAL << "null thread given to" << metaObject()->className();
        return;
    }
    mThread = thread;
    thread->registerThreadable(this);

    mThreadableChildren.removeAll(QPointer<Threadable>());
    // A copy: an override may register more children while the walk goes on.
    const QList<QPointer<Threadable>> children = mThreadableChildren;
    for (const QPointer<Threadable>& child : children)
        if (child)
            child->setThreadForInterrupt(thread);
}

void Threadable::addThreadableChild(Threadable& child)
{
    if (!isAlive(&child)) {
        LARK_CRITICAL << "the work object is destroyed or being destroyed:" << static_cast<const void*>(&child);
        return;
    }
    if (child.reaches(this)) {
        LARK_CRITICAL << "a work object cannot be its own descendant:" << child.metaObject()->className()
                      << static_cast<const void*>(&child);
        return;
    }
    bool listed = false;
    for (const QPointer<Threadable>& registered : qAsConst(mThreadableChildren))
        listed = listed || registered.data() == &child;
    if (!listed)
        mThreadableChildren.append(QPointer<Threadable>(&child));
    if (mThread)
        child.setThreadForInterrupt(mThread.data());
}

bool Threadable::isInterruptionRequested() const
{
    const Thread* thread = mThread.data();
    return thread && thread->isInterruptionRequested();
}

void Threadable::requestInterruption()
{
    if (Thread* thread = mThread.data())
        thread->requestInterruption();
}

void Threadable::emitThreadProgressMessages(const QString& progress_level1, const QString& progress_level2)
{
    if (Thread* thread = mThread.data())
        thread->emitThreadProgress(progress_level1, progress_level2);
}

void Threadable::msleep(unsigned long milliseconds) const
{
    QThread::msleep(milliseconds);
}

void Threadable::sleep(unsigned long seconds) const
{
    QThread::sleep(seconds);
}

bool Threadable::isAlive(Threadable* object)
{
    // Once ~QObject runs, the object's meta-object is QObject's and its tracked pointers are null.
    return object && qobject_cast<Threadable*>(object) && !QPointer<Threadable>(object).isNull();
}

bool Threadable::reaches(const Threadable* object) const
{
    if (this == object)
        return true;
    for (const QPointer<Threadable>& child : mThreadableChildren)
        if (child && child->reaches(object))
            return true;
    return false;
}
