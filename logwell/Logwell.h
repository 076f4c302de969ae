#ifndef LOGWELL_H
#define LOGWELL_H

#include "logwell_export.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cstddef>
#include <functional>

/// One log message: built by a temporary object, filled by streaming, emitted by the destructor.
///   Logwell(Logwell::LogWarning, __FILE__, "FileUtils::forceCopy", __LINE__) << "cannot copy" << path;
class LOGWELL_EXPORT Logwell
{
public:
    enum LogType {
        LogDebug = 1,
        LogWarning = 2,
        LogCritical = 4,
        LogInfo = 16
    };

    /// How the function argument of the constructor is given.
    enum FunctionForm {
        QualifiedName,  // already "Class::function"
        PrettyFunction  // a compiler signature (__PRETTY_FUNCTION__), reduced to "Class::function"
    };

    struct Message {
        LogType type = LogDebug;
        QString file;
        QString function;
        int line = 0;
        QString text;  // the streamed items, separated by single spaces
    };
    using Handler = std::function<void(const Message&)>;

    /// Opens one message of the given type; it is emitted when the object is destroyed.
    Logwell(LogType type, const char* file, const char* function, int line,
            FunctionForm form = QualifiedName);
    virtual ~Logwell();

    Logwell(const Logwell&) = delete;
    Logwell& operator=(const Logwell&) = delete;

    /// Streams one item of the message; items are separated by single spaces.
    inline Logwell& operator<<(const char* text) { mStream << QString::fromUtf8(text); return checkSpacing(); }
    inline Logwell& operator<<(const QString& text) { mStream << text; return checkSpacing(); }
    inline Logwell& operator<<(const QByteArray& text) { mStream << QString::fromUtf8(text); return checkSpacing(); }
    inline Logwell& operator<<(QChar c) { mStream << c; return checkSpacing(); }
    /// A char as its character ('x' gives "x"); signed and unsigned chars stay numbers.
    inline Logwell& operator<<(char c) { mStream << QLatin1Char(c); return checkSpacing(); }
    /// A null pointer as "(nullptr)".
    inline Logwell& operator<<(std::nullptr_t) { mStream << "(nullptr)"; return checkSpacing(); }
    inline Logwell& operator<<(bool value) { mStream << (value ? "true" : "false"); return checkSpacing(); }
    inline Logwell& operator<<(int value) { mStream << value; return checkSpacing(); }
    inline Logwell& operator<<(unsigned int value) { mStream << value; return checkSpacing(); }
    inline Logwell& operator<<(long value) { mStream << qlonglong(value); return checkSpacing(); }
    inline Logwell& operator<<(unsigned long value) { mStream << qulonglong(value); return checkSpacing(); }
    inline Logwell& operator<<(long long value) { mStream << qlonglong(value); return checkSpacing(); }
    inline Logwell& operator<<(unsigned long long value) { mStream << qulonglong(value); return checkSpacing(); }
    inline Logwell& operator<<(double value) { mStream << value; return checkSpacing(); }
    inline Logwell& operator<<(const void* pointer) { mStream << pointer; return checkSpacing(); }
    /// Streams a list as "(a, b, c)".
    inline Logwell& operator<<(const QStringList& list)
    {
        mStream << "(";
        for (int i = 0; i < list.size(); ++i) {
            if (i > 0)
                mStream << ", ";
            mStream << list.at(i);
        }
        mStream << ")";
        return checkSpacing();
    }
    Logwell& operator<<(const QSize& size);

    /// Replaces the sink of every message; returns the previous one. An empty handler restores the
    /// default sink (standard error, filtered by LOGWELL_LEVEL).
    static Handler setHandler(Handler handler);

    /// "static bool FileUtils::forceCopy(const QString&, ...)" -> "FileUtils::forceCopy"
    static QString qualifiedFunctionName(const char* prettyFunction);

    /// The default sink's line for a message, e.g. "W FileUtils::forceCopy (FileUtils.cpp:87) text".
    static QString formatMessage(const Message& message);

private:
    Logwell& checkSpacing();

    Message mMessage;
    QString mBuffer;
    QTextStream mStream;
};

#endif // LOGWELL_H
