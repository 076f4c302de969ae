#ifndef THREADSPRIVATE_H
#define THREADSPRIVATE_H

// The data of Thread and Threadable, shared by their two sources (not installed).

#include "Thread.h"
#include "Threadable.h"

#include <QList>
#include <QMutex>
#include <QPointer>
#include <QWaitCondition>

class ThreadPrivate
{
public:
    static ThreadPrivate* get(Thread* thread) { return thread->d.get(); }
    // Lists a work object once (under the mutex: work objects register from any thread).
    void registerThreadable(Threadable* threadable);

    mutable QMutex mMutex;
    QWaitCondition mWaitCondition;
    QList<QPointer<Threadable>> mThreadables;
};

class ThreadablePrivate
{
public:
    // False for an object whose destruction has begun (its QObject part is all that is left).
    static bool isAlive(Threadable* object);
    // True when object is owner itself or one of its descendants.
    static bool reaches(const Threadable* owner, const Threadable* object);

    QPointer<Thread> mThread;
    QList<QPointer<Threadable>> mThreadableChildren;
};

#endif // THREADSPRIVATE_H
