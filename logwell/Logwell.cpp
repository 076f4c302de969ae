#include "Logwell.h"

#include <QFileInfo>
#include <QRecursiveMutex>

#include <cstdio>

namespace {

// Recursive: a handler may itself log, or swap the handler.
QRecursiveMutex& sinkMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

Logwell::Handler& currentHandler()
{
    static Logwell::Handler handler;
    return handler;
}

int levelRank(Logwell::LogType type)
{
    switch (type) {
    case Logwell::LogDebug: return 0;
    case Logwell::LogInfo: return 1;
    case Logwell::LogWarning: return 2;
    case Logwell::LogCritical: return 3;
    }
    return 3;
}

int minimumRankFromEnvironment()
{
    const QByteArray level = qgetenv("LOGWELL_LEVEL").trimmed().toLower();
    if (level == "info")
        return 1;
    if (level == "warning")
        return 2;
    if (level == "critical")
        return 3;
    return 0;
}

void defaultSink(const Logwell::Message& message)
{
    static const int minimumRank = minimumRankFromEnvironment();
    if (levelRank(message.type) < minimumRank)
        return;
    const QByteArray line = Logwell::formatMessage(message).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

Logwell::Logwell(LogType type, const char* file, const char* function, int line, FunctionForm form)
    : mStream(&mBuffer, QIODevice::WriteOnly)
{
    mMessage.type = type;
    mMessage.file = QString::fromUtf8(file ? file : "");
    mMessage.function = form == PrettyFunction ? qualifiedFunctionName(function)
                                               : QString::fromUtf8(function ? function : "");
    mMessage.line = line;
}

Logwell::~Logwell()
{
    mStream.flush();
    QString text = mBuffer;
    text.replace(QLatin1String(" \n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    mMessage.text = text;

    QMutexLocker locker(&sinkMutex());
    const Handler& handler = currentHandler();
    if (handler)
        handler(mMessage);
    else
        defaultSink(mMessage);
}

Logwell& Logwell::checkSpacing()
{
    mStream.flush();
    if (!mBuffer.isEmpty() && !mBuffer.endsWith(QLatin1Char(' ')) && !mBuffer.endsWith(QLatin1Char('\n')))
        mBuffer.append(QLatin1Char(' '));
    return *this;
}

Logwell& Logwell::operator<<(const QSize& size)
{
    mStream << "QSize(" << size.width() << ", " << size.height() << ")";
    return checkSpacing();
}

Logwell::Handler Logwell::setHandler(Handler handler)
{
    QMutexLocker locker(&sinkMutex());
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

QString Logwell::qualifiedFunctionName(const char* prettyFunction)
{
    if (!prettyFunction)
        return QString();
    QString signature = QString::fromUtf8(prettyFunction);
    signature.remove(QLatin1String("(anonymous namespace)::"));
    signature.remove(QLatin1String("{anonymous}::"));

    // The parameter list: the first "(" outside template brackets (an "operator()" name skipped).
    int angle = 0;
    int open = -1;
    for (int i = 0; i < signature.size(); ++i) {
        const QChar c = signature.at(i);
        if (c == QLatin1Char('<')) {
            if (!signature.midRef(0, i).endsWith(QLatin1String("operator")))
                ++angle;
        } else if (c == QLatin1Char('>')) {
            if (angle > 0)
                --angle;
        } else if (c == QLatin1Char('(') && angle == 0) {
            if (signature.midRef(0, i).endsWith(QLatin1String("operator"))
                && signature.midRef(i).startsWith(QLatin1String("()"))) {
                open = i + 2;
                break;
            }
            open = i;
            break;
        }
    }
    if (open < 0)
        return signature;

    // The name: back to the space that ends the return type, outside template brackets.
    angle = 0;
    int start = 0;
    for (int i = open - 1; i >= 0; --i) {
        const QChar c = signature.at(i);
        if (c == QLatin1Char('>'))
            ++angle;
        else if (c == QLatin1Char('<'))
            --angle;
        else if (c == QLatin1Char(' ') && angle <= 0) {
            start = i + 1;
            break;
        }
    }
    QString name = signature.mid(start, open - start);
    while (name.startsWith(QLatin1Char('*')) || name.startsWith(QLatin1Char('&')))
        name.remove(0, 1);
    return name;
}

QString Logwell::formatMessage(const Message& message)
{
    char letter = 'D';
    switch (message.type) {
    case LogDebug: letter = 'D'; break;
    case LogWarning: letter = 'W'; break;
    case LogCritical: letter = 'C'; break;
    case LogInfo: letter = 'I'; break;
    }
    return QStringLiteral("%1 %2 (%3:%4) %5")
        .arg(QString(QLatin1Char(letter)), message.function,
             QFileInfo(QString(message.file).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName(),
             QString::number(message.line), message.text);
}
