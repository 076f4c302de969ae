#include "GenericThread.h"

#include "LarkLog.h"

class GenericThreadPrivate
{
public:
    std::function<void(QVariant&)> mFunction;
    QVariant mResult;
};

GenericThread::GenericThread(QObject* parent)
    : Thread(parent)
    , d(new GenericThreadPrivate)
{
    // Emitted from the ending thread itself, where the result was written: first of the reactions to
    // finished(), so that the result is copied before a deletion can be posted, and its delivery
    // is the first event that wakes the receiver's thread.
    disconnect(this, &QThread::finished, this, &Thread::onFinished);
    connect(this, &QThread::finished, this, [this]() { emit genericFinished(d->mResult); }, Qt::DirectConnection);
    connect(this, &QThread::finished, this, &Thread::onFinished);
    enableThreadDeleteOnFinished(true);
}

GenericThread::~GenericThread()
{
    // The job and its result must outlive the code that uses them; a terminated job delivers nothing.
    if (isRunning())
        disconnect(this, &QThread::finished, this, nullptr);
    _terminateIfRunning();
}

GenericThread* GenericThread::runInGenericThread(const std::function<void(QVariant&)>& function,
                                                 const QObject* receiver, const char* slot)
{
    GenericThread* thread = new GenericThread(nullptr);
    thread->d->mFunction = function;
    if (!receiver || !slot)
        LARK_CRITICAL << "no receiver or no slot: the result of the job is lost";
    else
        QObject::connect(thread, "2genericFinished(QVariant)", receiver, slot);
    thread->start(QThread::InheritPriority);
    return thread;
}

void GenericThread::run()
{
    if (!d->mFunction) {
        LARK_CRITICAL << "empty job: nothing to run, the result stays invalid";
        return;
    }
    d->mFunction(d->mResult);
}
