#ifndef GENERICTHREAD_H
#define GENERICTHREAD_H

#include "larkutils_export.h"

#include "Thread.h"

#include <QVariant>

#include <functional>
#include <memory>

class GenericThreadPrivate;

/// Runs one job on a thread of its own, hands the job's result to a receiver's slot, then deletes
/// itself.
class LARKUTILS_EXPORT GenericThread : public Thread
{
    Q_OBJECT

public:
    /// Self-deleting once finished; emits genericFinished(result) from the thread when it ends.
    explicit GenericThread(QObject* parent = nullptr);
    /// A job still running is terminated first (logged), so that it never runs on a released job.
    ~GenericThread() override;

    /// Starts `function` on a new thread and delivers its result to `slot` (SLOT() form) of
    /// `receiver`. Returns the running thread, which deletes itself: do not use it after the slot
    /// has run. A bad receiver or slot only loses the delivery; the job runs all the same.
    static GenericThread* runInGenericThread(const std::function<void(QVariant&)>& function,
                                             const QObject* receiver, const char* slot);

signals:
    /// The job's result (invalid when the job set nothing), emitted once from the ending thread.
    void genericFinished(QVariant result);

protected:
    /// Runs the job; an empty job is logged and leaves the result invalid.
    void run() override;

private:
    std::unique_ptr<GenericThreadPrivate> d;
};

#endif // GENERICTHREAD_H
