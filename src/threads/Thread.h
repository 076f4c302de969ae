#ifndef THREAD_H
#define THREAD_H

#include "larkutils_export.h"

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>
#include <QThread>

#include <memory>

class Threadable;
class ThreadPrivate;

/// A QThread that always has an owner: it is asked to stop (and waited for, 3000 ms at most) when
/// its owner is destroyed or the application quits, and is terminated as a last resort when it is
/// destroyed while still running. Offers a wait/wake point and a two-level progress signal.
class LARKUTILS_EXPORT Thread : public QThread
{
    Q_OBJECT

public:
    /// A null parent makes the application object the owner (stopped at aboutToQuit()).
    explicit Thread(QObject* parent = nullptr);
    /// Terminates a thread that is still running, logging it, and waits for it to end.
    ~Thread() override;

    /// Sets the interruption request and wakes the wait point, so a waiting worker returns.
    virtual void requestInterruption();
    /// Asks for an interruption, then waits at most `time` ms; false when the thread still runs.
    bool stopAndWait(unsigned long time);
    ///@{
    /// QThread::wait: true once the thread has ended, false on time-out. In sanitised builds it
    /// also tells ThreadSanitizer that the thread's work happened before the return.
    bool wait(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    bool wait(unsigned long time);
    ///@}
    /// true: the object deletes itself (deleteLater) once finished; connected once. false: removes it.
    void enableThreadDeleteOnFinished(bool enable);
    /// Called by the worker: blocks until mainWake() or an interruption request. Returns at once
    /// when an interruption is already requested.
    void mainWaitForCondition();
    /// Wakes a worker blocked in mainWaitForCondition(); a wake while nobody waits is lost.
    void mainWake();
    /// Emits progressThread with the two texts (safe from the worker thread).
    void emitThreadProgress(const QString& progress_level1, const QString& progress_level2);
    /// Gives this thread to a work object and, through it, to its whole tree of children; a work
    /// object whose destruction has begun is refused (logged).
    void addThreadableChild(Threadable& child);
    /// The work objects that registered with this thread (entries turn null when one dies).
    QList<QPointer<Threadable>> registeredThreadables() const;

signals:
    /// Progress of the work, two levels of detail; reaches other threads through queued calls.
    void progressThread(const QString& progress_level1, const QString& progress_level2);

public slots:
    /// Reacts to the end of the thread; does nothing here.
    virtual void onFinished();
    /// Owner going away or application quitting: requests an interruption and waits 3000 ms at most.
    void lastChanceBeforeDestroyed();
    /// Forces the thread to end (no pending self-deletion from the terminated thread's finished()).
    void terminate();

protected:
    /// The destructor's last resort, for subclass destructors to call before they release what
    /// their run() uses: a still running thread is logged, terminated and waited for.
    /// Afterwards the thread's code has ended (unless the log says that it did not).
    void _terminateIfRunning();

private:
    friend class ThreadPrivate;
    std::unique_ptr<ThreadPrivate> d;
};

#endif // THREAD_H
