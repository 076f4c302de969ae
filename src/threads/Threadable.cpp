#include "Threadable.h"

#include "ThreadsPrivate.h"

#include "LarkLog.h"

Threadable::Threadable(QObject* parent)
    : QObject(parent)
    , d(new ThreadablePrivate)
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
    d->mThread = thread;
    ThreadPrivate::get(thread)->registerThreadable(this);

    d->mThreadableChildren.removeAll(QPointer<Threadable>());
    // A copy: an override may register more children while the walk goes on.
    const QList<QPointer<Threadable>> children = d->mThreadableChildren;
    for (const QPointer<Threadable>& child : children)
        if (child)
            child->setThreadForInterrupt(thread);
}

void Threadable::addThreadableChild(Threadable& child)
{
    if (!ThreadablePrivate::isAlive(&child)) {
        LARK_CRITICAL << "the work object is destroyed or being destroyed:" << static_cast<const void*>(&child);
        return;
    }
    if (ThreadablePrivate::reaches(&child, this)) {
        LARK_CRITICAL << "a work object cannot be its own descendant:" << child.metaObject()->className()
                      << static_cast<const void*>(&child);
        return;
    }
    bool listed = false;
    for (const QPointer<Threadable>& registered : qAsConst(d->mThreadableChildren))
        listed = listed || registered.data() == &child;
    if (!listed)
        d->mThreadableChildren.append(QPointer<Threadable>(&child));
    if (d->mThread)
        child.setThreadForInterrupt(d->mThread.data());
}

bool Threadable::isInterruptionRequested() const
{
    const Thread* thread = d->mThread.data();
    return thread && thread->isInterruptionRequested();
}

void Threadable::requestInterruption()
{
    if (Thread* thread = d->mThread.data())
        thread->requestInterruption();
}

void Threadable::emitThreadProgressMessages(const QString& progress_level1, const QString& progress_level2)
{
    if (Thread* thread = d->mThread.data())
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

bool ThreadablePrivate::isAlive(Threadable* object)
{
    // Once ~QObject runs, the object's meta-object is QObject's and its tracked pointers are null.
    return object && qobject_cast<Threadable*>(object) && !QPointer<Threadable>(object).isNull();
}

bool ThreadablePrivate::reaches(const Threadable* owner, const Threadable* object)
{
    if (owner == object)
        return true;
    for (const QPointer<Threadable>& child : owner->d->mThreadableChildren)
        if (child && reaches(child.data(), object))
            return true;
    return false;
}
