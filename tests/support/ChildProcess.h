#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

// Risky calls run in a child process under a time bound, so that a hang fails the test instead
// of stalling the suite. The test program runs itself again with its own child arguments; the
// child reports named values and every log message on standard output.
//   parent:  const ChildProcess::Result r = ChildProcess::run({"--child", "copy", from, to});
//            QVERIFY2(r.finished, qPrintable(r.dump()));  QCOMPARE(r.value("result"), "true");
//   child:   ChildProcess::Reporter report;  report.value("result", ok);

#include "LogCapture.h"

#include <Logwell.h>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace ChildProcess {

struct Result
{
    bool started = false;
    bool finished = false;  // ended by itself within the bound
    int exitCode = -1;
    QMap<QString, QString> values;
    QList<Logwell::Message> logs;
    QByteArray standardOutput;
    QByteArray standardError;
    QByteArray output;  // standard output and error, for failure messages

    QString value(const QString& key) const { return values.value(key); }
    // A message of this type from this function whose text contains every fragment.
    bool has(Logwell::LogType type, const QString& function, const QStringList& fragments) const;
    // Why the run is not what was expected: exit, values, logs and raw output.
    QString dump() const;
};

// Runs this program with arguments, adding env ("NAME=value") to the environment; a child still
// running after timeoutMs is killed and the result is not finished.
Result run(const QStringList& arguments, const QStringList& env = QStringList(), int timeoutMs = 20000);

// The same for another program (a helper built with the tests).
Result runProgram(const QString& program, const QStringList& arguments, const QStringList& env = QStringList(),
                  int timeoutMs = 20000);

// Environment under which reads of a file whose path ends with pathEnd fail with EIO once
// `after` bytes of it were read (the read-failure shim built with the tests).
QStringList readFailure(const QString& pathEnd, qint64 after);

// In the child: collects the log messages while it lives and prints them, with the values, when
// destroyed.
class Reporter
{
public:
    Reporter() = default;
    ~Reporter();
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    void value(const QString& key, const QString& value);
    void value(const QString& key, bool value) { this->value(key, QString::fromLatin1(value ? "true" : "false")); }
    void value(const QString& key, qint64 value) { this->value(key, QString::number(value)); }

private:
    LogCapture mLogs;
    QList<QPair<QString, QString>> mValues;
};

} // namespace ChildProcess

#endif // CHILDPROCESS_H
