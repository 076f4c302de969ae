// An application that quits while threads run, for tst_thread.
//   threadquit_helper polling    four threads and two jobs that poll their interruption request
//   threadquit_helper stubborn   the same, plus one job that ignores it
//   threadquit_helper noapp      a thread started and stopped without an application object
// Prints the log messages ("LOG type function | text"), "quit N ms", "stopped N/6", and "exited"
// once the application object (and with it every thread) is gone.
#include <GenericThread.h>
#include <Logwell.h>
#include <Thread.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<int> sStopped{0};
std::atomic<int> sRunning{0};

class PollingThread : public Thread
{
public:
    PollingThread() : Thread(nullptr) {}

protected:
    void run() override
    {
        ++sRunning;
        while (!isInterruptionRequested())
            QThread::msleep(2);
        ++sStopped;
    }
};

// Sleeps without a cancellation point, then lets a pending termination act here: a thread cancelled
// inside one of ThreadSanitizer's intercepted calls leaves the sanitizer's bookkeeping unbalanced.
void napThenAllowTermination(long milliseconds)
{
    const timespec nap{0, milliseconds * 1000000L};
    ::syscall(SYS_nanosleep, &nap, nullptr);
    ::pthread_testcancel();
}

void pollingJob(QVariant& result, bool stubborn)
{
    ++sRunning;
    Thread* self = static_cast<Thread*>(QThread::currentThread());
    while (stubborn || !self->isInterruptionRequested())
        napThenAllowTermination(2);
    ++sStopped;
    result = 1;
}

} // namespace

int main(int argc, char** argv)
{
    Logwell::setHandler([](const Logwell::Message& message) {
        const QString text = QString(message.text).replace(QLatin1Char('\n'), QLatin1String("\\n"));
        std::printf("LOG %d %s | %s\n", int(message.type), qPrintable(message.function), qPrintable(text));
        std::fflush(stdout);
    });
    if (argc > 1 && qstrcmp(argv[1], "noapp") == 0) {
        PollingThread* thread = new PollingThread;
        thread->start();
        const bool stopped = thread->stopAndWait(5000);
        delete thread;
        std::printf("stopped %d\n", stopped ? 1 : 0);
        std::printf("exited\n");
        return 0;
    }
    {
        QCoreApplication application(argc, argv);
        const bool stubborn = application.arguments().value(1) == QLatin1String("stubborn");
        const int polling = 6;
        for (int i = 0; i < 4; ++i)
            (new PollingThread)->start();
        for (int i = 0; i < 2; ++i)
            GenericThread::runInGenericThread([](QVariant& result) { pollingJob(result, false); },
                                              &application, SLOT(quit()));
        if (stubborn)
            GenericThread::runInGenericThread([](QVariant& result) { pollingJob(result, true); },
                                              &application, SLOT(quit()));
        const int expected = polling + (stubborn ? 1 : 0);

        QElapsedTimer quitting;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &application, [&]() {
            if (sRunning == expected && !quitting.isValid()) {
                quitting.start();
                QCoreApplication::quit();
            }
        });
        poll.start(5);
        QTimer::singleShot(10000, &application, []() { QCoreApplication::exit(2); });
        const int code = application.exec();
        std::printf("quit %lld ms\n", quitting.isValid() ? quitting.elapsed() : -1LL);
        std::printf("stopped %d/%d\n", int(sStopped), polling);
        std::fflush(stdout);
        if (code != 0)
            return code;
    }
    std::printf("exited\n");
    return 0;
}
