#include "LogCapture.h"

LogCapture::LogCapture()
{
    mPrevious = Logwell::setHandler([this](const Logwell::Message& message) {
        QMutexLocker locker(&mMutex);
        mMessages.append(message);
    });
}

LogCapture::~LogCapture()
{
    Logwell::setHandler(mPrevious);
}

QList<Logwell::Message> LogCapture::messages() const
{
    QMutexLocker locker(&mMutex);
    return mMessages;
}

QList<Logwell::Message> LogCapture::messages(Logwell::LogType type) const
{
    QList<Logwell::Message> result;
    for (const Logwell::Message& message : messages())
        if (message.type == type)
            result.append(message);
    return result;
}

int LogCapture::count() const
{
    return messages().size();
}

int LogCapture::count(Logwell::LogType type) const
{
    return messages(type).size();
}

void LogCapture::clear()
{
    QMutexLocker locker(&mMutex);
    mMessages.clear();
}

bool hasMessage(const QList<Logwell::Message>& messages, Logwell::LogType type, const QString& function,
                const QStringList& fragments)
{
    for (const Logwell::Message& message : messages) {
        if (message.type != type || (!function.isEmpty() && message.function != function))
            continue;
        bool all = true;
        for (const QString& fragment : fragments)
            all = all && message.text.contains(fragment);
        if (all)
            return true;
    }
    return false;
}

bool LogCapture::has(Logwell::LogType type, const QString& function, const QStringList& fragments) const
{
    return hasMessage(messages(), type, function, fragments);
}

bool LogCapture::has(Logwell::LogType type, const QString& function, const QString& fragment) const
{
    return has(type, function, fragment.isEmpty() ? QStringList() : QStringList{fragment});
}

QString LogCapture::dump() const
{
    QStringList lines;
    for (const Logwell::Message& message : messages())
        lines.append(Logwell::formatMessage(message));
    return lines.join(QLatin1Char('\n'));
}
