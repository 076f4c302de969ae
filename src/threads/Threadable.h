#ifndef THREADABLE_H
#define THREADABLE_H

#include "larkutils_export.h"

#include <QObject>

#include <memory>

class Thread;
class ThreadablePrivate;

/// Base of work objects whose long operations run inside a Thread: they see its interruption
/// request, sleep, and report progress through it. Work objects form trees that share one thread.
class LARKUTILS_EXPORT Threadable : public QObject
{
    Q_OBJECT

public:
    /// The thread's registry keeps a tracked pointer to this object, which turns null.
    ~Threadable() override;

    /// Gives this object and every live child (recursively) the thread, and registers each once
    /// with it. A null thread is misuse: logged, nothing changes.
    virtual void setThreadForInterrupt(Thread* thread);

protected:
    /// A work object without a thread and without children.
    explicit Threadable(QObject* parent = nullptr);

    /// Lists a child work object once; it gets this object's thread now or when that is set.
    /// A dead child, this object itself or one of its ancestors is refused (logged).
    void addThreadableChild(Threadable& child);
    /// The thread's interruption request; false without a live thread.
    bool isInterruptionRequested() const;
    /// Asks the thread to stop (and releases its wait point); nothing without a live thread.
    void requestInterruption();
    /// Emits the thread's progressThread with the two texts; nothing without a live thread.
    void emitThreadProgressMessages(const QString& progress_level1, const QString& progress_level2);
    ///@{
    /// Puts the calling thread to sleep.
    void msleep(unsigned long milliseconds) const;
    void sleep(unsigned long seconds) const;
    ///@}

private:
    friend class ThreadablePrivate;
    std::unique_ptr<ThreadablePrivate> d;
};

#endif // THREADABLE_H
