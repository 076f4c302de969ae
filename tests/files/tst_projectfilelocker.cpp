#include <ProjectFileLocker.h>

#include "ChildProcess.h"
#include "FailureFixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Run as "--hold <folder>": locks the folder and keeps it until standard input closes or killed.
static int holdLock(const char* folder)
{
    ProjectFileLocker locker;
    QString error;
    if (!locker.openNewProjectFolder(QString::fromLocal8Bit(folder), QStringLiteral("Held"), &error)) {
        std::printf("refused: %s\n", qPrintable(error));
        return 2;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}

// Run as "--try-lock <folder>": one attempt, reported to the parent (which bounds its time).
static int tryLock(const char* folder)
{
    ChildProcess::Reporter report;
    ProjectFileLocker locker;
    QString error;
    report.value(QStringLiteral("result"),
                 locker.openNewProjectFolder(QString::fromLocal8Bit(folder), QStringLiteral("Hostile"), &error));
    report.value(QStringLiteral("error"), error);
    return 0;
}

class tst_ProjectFileLocker : public QObject
{
    Q_OBJECT
private slots:
    void opensMissingFolderAndMovesTheLock();
    void secondProcessIsRefused();
    void killedHolderLeavesAReclaimableLock();
    void failedOpenKeepsTheOldLock();
    void lockFileThatCannotBeCreated();
    void emptyFolderAndUnlock();
    void lockPathThatCannotHoldALock_data();
    void lockPathThatCannotHoldALock();

private:
    bool startHolder(QProcess& holder, const QString& folder);
};

bool tst_ProjectFileLocker::startHolder(QProcess& holder, const QString& folder)
{
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), folder});
    if (!holder.waitForStarted(10000))
        return false;
    while (!holder.canReadLine())
        if (!holder.waitForReadyRead(10000))
            return false;
    return holder.readLine().trimmed() == "locked";
}

void tst_ProjectFileLocker::opensMissingFolderAndMovesTheLock()
{
    QTemporaryDir temp;
    const QString a = temp.filePath(QStringLiteral("projects/a"));
    const QString b = temp.filePath(QStringLiteral("projects/b/"));
    ProjectFileLocker locker;
    QString error;
    QVERIFY(locker.openNewProjectFolder(a, QStringLiteral("Shop"), &error));
    QVERIFY(error.isEmpty());
    QVERIFY(QFile::exists(a + QStringLiteral("/lockfile")));
    QVERIFY(locker.openNewProjectFolder(b, QStringLiteral("Blog"), &error));
    QVERIFY(QFile::exists(b + QStringLiteral("lockfile")));
    QVERIFY(!QFile::exists(a + QStringLiteral("/lockfile")));
    QVERIFY(locker.unlock());
    QVERIFY(!QFile::exists(b + QStringLiteral("lockfile")));
    {
        ProjectFileLocker scoped;
        QVERIFY(scoped.openNewProjectFolder(a, QStringLiteral("Shop"), nullptr));
    }
    QVERIFY(!QFile::exists(a + QStringLiteral("/lockfile")));
}

void tst_ProjectFileLocker::secondProcessIsRefused()
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("site"));
    QProcess holder;
    QVERIFY(startHolder(holder, folder));

    ProjectFileLocker locker;
    QString error;
    QVERIFY(!locker.openNewProjectFolder(folder, QStringLiteral("My shop"), &error));
    QCOMPARE(error, QStringLiteral("Project My shop already opened !\nFolder : %1/").arg(folder));
    QVERIFY(!locker.openNewProjectFolder(folder, QStringLiteral("My shop"), nullptr));

    holder.closeWriteChannel(); // the holder ends and releases the lock
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(locker.openNewProjectFolder(folder, QStringLiteral("My shop"), &error));
}

void tst_ProjectFileLocker::killedHolderLeavesAReclaimableLock()
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("site"));
    QProcess holder;
    QVERIFY(startHolder(holder, folder));
    holder.kill(); // SIGKILL: no chance to remove the lock file
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY(QFile::exists(folder + QStringLiteral("/lockfile")));

    ProjectFileLocker locker;
    QString error;
    QVERIFY2(locker.openNewProjectFolder(folder, QStringLiteral("Crashed"), &error), qPrintable(error));
}

void tst_ProjectFileLocker::failedOpenKeepsTheOldLock()
{
    QTemporaryDir temp;
    const QString a = temp.filePath(QStringLiteral("a"));
    ProjectFileLocker locker;
    QVERIFY(locker.openNewProjectFolder(a, QStringLiteral("A"), nullptr));

    // A folder below a regular file cannot be created.
    QFile plain(temp.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QString error;
    QVERIFY(!locker.openNewProjectFolder(temp.filePath(QStringLiteral("plain/b")), QStringLiteral("B"), &error));
    QCOMPARE(error, QStringLiteral("(fileMkPath) Cant create folder '%1' !").arg(temp.filePath(QStringLiteral("plain/b"))));

    // Held by another process.
    const QString c = temp.filePath(QStringLiteral("c"));
    QProcess holder;
    QVERIFY(startHolder(holder, c));
    QVERIFY(!locker.openNewProjectFolder(c, QStringLiteral("C"), &error));
    QVERIFY(error.startsWith(QStringLiteral("Project C already opened !")));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));

    QVERIFY(QFile::exists(a + QStringLiteral("/lockfile")));
    ProjectFileLocker other;
    QVERIFY(!other.openNewProjectFolder(a, QStringLiteral("A"), &error));
    QVERIFY(error.startsWith(QStringLiteral("Project A already opened !")));
}

void tst_ProjectFileLocker::lockFileThatCannotBeCreated()
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("frozen"));
    QVERIFY(QDir().mkpath(folder));
    FileTest::Immutable frozenFolder(folder); // not even root may create a file in it
    QFile probe(folder + QStringLiteral("/probe"));
    const bool frozen = !probe.open(QIODevice::WriteOnly);
    ProjectFileLocker locker;
    QString error;
    const bool locked = locker.openNewProjectFolder(folder, QStringLiteral("Frozen"), &error);
    locker.unlock();
    frozenFolder.release();
    if (!frozen)
        QSKIP("chattr +i is not available here");
    QVERIFY(!locked);
    QVERIFY2(error.startsWith(QStringLiteral("Lock failed on 'Frozen' : error=")), qPrintable(error));
    QVERIFY2(error.endsWith(QStringLiteral("  folder=%1/ machinehost=%2").arg(folder, QSysInfo::machineHostName())),
             qPrintable(error));
    const QString description = error.section(QStringLiteral("error="), 1).section(QStringLiteral("  folder="), 0, 0);
    QVERIFY2(description == QLatin1String("The lock file could not be created, for lack of permissions in the parent directory.")
                 || description == QLatin1String("Another error happened, for instance a full partition prevented writing out the lock file"),
             qPrintable(description));
}

void tst_ProjectFileLocker::emptyFolderAndUnlock()
{
    ProjectFileLocker locker;
    QString error = QStringLiteral("untouched");
    QVERIFY(!locker.openNewProjectFolder(QString(), QStringLiteral("X"), &error));
    QCOMPARE(error, QStringLiteral("untouched"));
    QVERIFY(locker.unlock());
    QVERIFY(locker.unlock());
}

void tst_ProjectFileLocker::lockPathThatCannotHoldALock_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("fifo") << "fifo" << "is a FIFO";
    QTest::newRow("folder") << "folder" << "is a folder";
    QTest::newRow("socket") << "socket" << "is a socket";
    QTest::newRow("dangling link") << "dangling" << "is a symbolic link to nothing";
    QTest::newRow("link to a fifo") << "link" << "is a FIFO";
    QTest::newRow("unreadable file") << "unreadable" << "cannot be read";
}

void tst_ProjectFileLocker::lockPathThatCannotHoldALock()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("site"));
    const QString lockPath = folder + QStringLiteral("/lockfile");
    const QByteArray native = QFile::encodeName(lockPath);
    QVERIFY(QDir().mkpath(folder));
    int socketFd = -1;
    QStringList env;
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(lockPath));
    } else if (kind == QLatin1String("socket")) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        QVERIFY(native.size() < int(sizeof address.sun_path));
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QCOMPARE(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::listen(socketFd, 1), 0);
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(temp.filePath(QStringLiteral("missing")), lockPath));
    } else if (kind == QLatin1String("link")) {
        const QString target = temp.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        QVERIFY(QFile::link(target, lockPath));
    } else {
        // A fresh lock file whose reads fail: it can never be found stale.
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(lock.write("4242\nSomeApp\nsomehost\n") > 0);
        lock.close();
        env = ChildProcess::readFailure(QStringLiteral("/site/lockfile"), 0);
    }
    const ChildProcess::Result r = ChildProcess::run({QStringLiteral("--try-lock"), folder}, env);
    if (socketFd >= 0)
        ::close(socketFd);
    QVERIFY2(r.finished, qPrintable(QStringLiteral("the lock attempt blocked\n") + r.dump()));
    QCOMPARE(r.value(QStringLiteral("result")), QStringLiteral("false"));
    const QString error = r.value(QStringLiteral("error"));
    QVERIFY2(error.startsWith(QStringLiteral("Lock failed on 'Hostile' : error=")), qPrintable(error));
    QVERIFY2(error.contains(lockPath) && error.contains(problem), qPrintable(error));
    QVERIFY2(error.endsWith(QStringLiteral("  folder=%1/ machinehost=%2").arg(folder, QSysInfo::machineHostName())),
             qPrintable(error));
    QVERIFY(!error.contains(QStringLiteral("already opened")));
    QVERIFY(QFileInfo::exists(lockPath) || QFileInfo(lockPath).isSymLink());  // left as it was
}

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0)
        return holdLock(argv[2]);
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--try-lock") == 0)
        return tryLock(argv[2]);
    tst_ProjectFileLocker test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_projectfilelocker.moc"
