#include "ChildProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>

namespace ChildProcess {

namespace {

const char MARK_VALUE[] = "@@value\t";
const char MARK_LOG[] = "@@log\t";

QByteArray encoded(const QString& text)
{
    return text.toUtf8().toPercentEncoding();
}

QString decoded(const QByteArray& bytes)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
}

void printLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
}

} // namespace

bool Result::has(Logwell::LogType type, const QString& function, const QStringList& fragments) const
{
    return hasMessage(logs, type, function, fragments);
}

QString Result::dump() const
{
    QString text = QStringLiteral("finished=%1 exit=%2\n").arg(finished).arg(exitCode);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        text += QStringLiteral("  %1 = %2\n").arg(it.key(), it.value().left(300));
    for (const Logwell::Message& message : logs)
        text += QStringLiteral("  log %1 %2: %3\n").arg(int(message.type)).arg(message.function, message.text);
    return text + QString::fromLocal8Bit(output.right(4000));
}

Result run(const QStringList& arguments, const QStringList& env, int timeoutMs)
{
    return runProgram(QCoreApplication::applicationFilePath(), arguments, env, timeoutMs);
}

Result runProgram(const QString& program, const QStringList& arguments, const QStringList& env, int timeoutMs)
{
    Result result;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : env) {
        const int equal = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(equal), entry.mid(equal + 1));
    }
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(program, arguments);
    if (!child.waitForStarted(10000))
        return result;
    result.started = true;
    result.finished = child.waitForFinished(timeoutMs);
    if (!result.finished) {
        child.kill();
        child.waitForFinished(5000);
    }
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    result.standardOutput = child.readAllStandardOutput();
    result.standardError = child.readAllStandardError();
    result.output = result.standardOutput + result.standardError;
    const QByteArray& out = result.standardOutput;
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith(MARK_VALUE)) {
            const QList<QByteArray> parts = line.mid(int(sizeof MARK_VALUE) - 1).split('\t');
            if (parts.size() == 2)
                result.values.insert(decoded(parts.at(0)), decoded(parts.at(1)));
        } else if (line.startsWith(MARK_LOG)) {
            const QList<QByteArray> parts = line.mid(int(sizeof MARK_LOG) - 1).split('\t');
            if (parts.size() == 3) {
                Logwell::Message message;
                message.type = Logwell::LogType(parts.at(0).toInt());
                message.function = decoded(parts.at(1));
                message.text = decoded(parts.at(2));
                result.logs.append(message);
            }
        }
    }
    return result;
}

QStringList readFailure(const QString& pathEnd, qint64 after)
{
    QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    if (!asan.isEmpty())
        asan += QLatin1Char(':');
    // The shim comes before the sanitizer's run-time in the list of loaded libraries.
    asan += QStringLiteral("verify_asan_link_order=0");
    return {QStringLiteral("LD_PRELOAD=") + QStringLiteral(READFAIL_SHIM_PATH),
            QStringLiteral("READFAIL_PATH=") + pathEnd, QStringLiteral("READFAIL_AFTER=%1").arg(after),
            QStringLiteral("ASAN_OPTIONS=") + asan};
}

Reporter::~Reporter()
{
    for (const auto& value : qAsConst(mValues))
        printLine(MARK_VALUE + encoded(value.first) + '\t' + encoded(value.second));
    for (const Logwell::Message& message : mLogs.messages())
        printLine(MARK_LOG + QByteArray::number(int(message.type)) + '\t' + encoded(message.function) + '\t'
                  + encoded(message.text));
    std::fflush(stdout);
}

void Reporter::value(const QString& key, const QString& value)
{
    mValues.append({key, value});
}

} // namespace ChildProcess
