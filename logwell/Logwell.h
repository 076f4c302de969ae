#ifndef LOGWELL_H
#define LOGWELL_H

#include "logwell_export.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <memory>

class LogwellPrivate;

/// One log message: built by a temporary object, filled by streaming, emitted by the destructor.
///   Logwell(Logwell::LogWarning, __FILE__, "FileUtils::forceCopy", __LINE__) << "cannot copy" << path;
class LOGWELL_EXPORT Logwell
{
public:
    /// The kind of a message, from the least to the most severe: debug, info, warning, critical.
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

    /// One emitted message, as the handler receives it.
    struct Message {
        LogType type = LogDebug;   ///< the type given to the constructor
        QString file;              ///< the source file, as given
        QString function;          ///< the qualified function name ("FileUtils::forceCopy")
        int line = 0;              ///< the source line
        QString text;              ///< the streamed items, separated by single spaces
        QString category;          ///< the category ("lark.files"); empty when none was given
    };
    /// Receives every emitted message in place of the default sink.
    using Handler = std::function<void(const Message&)>;

    /// Opens one message of the given type; it is emitted when the object is destroyed.
    Logwell(LogType type, const char* file, const char* function, int line,
            FunctionForm form = QualifiedName);
    /// The same, in a category ("lark.files"): the category's level decides whether it is emitted.
    Logwell(const char* category, LogType type, const char* file, const char* function, int line,
            FunctionForm form = QualifiedName);
    virtual ~Logwell();

    Logwell(const Logwell&) = delete;
    Logwell& operator=(const Logwell&) = delete;

    ///@{
    /// Streams one item of the message; items are separated by single spaces. Text in UTF-8.
    Logwell& operator<<(const char* text);
    Logwell& operator<<(const QString& text);
    Logwell& operator<<(const QByteArray& text);
    Logwell& operator<<(QChar c);
    ///@}
    /// A char as its character ('x' gives "x"); signed and unsigned chars stay numbers.
    Logwell& operator<<(char c);
    /// A null pointer as "(nullptr)".
    Logwell& operator<<(std::nullptr_t);
    /// "true" or "false".
    Logwell& operator<<(bool value);
    ///@{
    /// Numbers in decimal; a pointer in hexadecimal.
    Logwell& operator<<(int value);
    Logwell& operator<<(unsigned int value);
    Logwell& operator<<(long value);
    Logwell& operator<<(unsigned long value);
    Logwell& operator<<(long long value);
    Logwell& operator<<(unsigned long long value);
    Logwell& operator<<(double value);
    Logwell& operator<<(const void* pointer);
    ///@}
    /// Streams a list as "(a, b, c)".
    Logwell& operator<<(const QStringList& list);
    /// "QSize(w, h)".
    Logwell& operator<<(const QSize& size);

    /// Replaces the sink of every message; returns the previous one. An empty handler restores the
    /// default sink (standard error, filtered by LOGWELL_LEVEL).
    static Handler setHandler(Handler handler);

    /// "static bool FileUtils::forceCopy(const QString&, ...)" -> "FileUtils::forceCopy"
    static QString qualifiedFunctionName(const char* prettyFunction);

    /// The default sink's line for a message, e.g. "W FileUtils::forceCopy (FileUtils.cpp:87) text".
    static QString formatMessage(const Message& message);

    /// Sets the lowest level that a category emits, as rules "category=level" separated by ";" or
    /// line breaks, the later rule winning: "lark.*=warning;lark.files=debug". A category is a
    /// name or a prefix ending with "*" ("*" alone for every category); a level is debug, info,
    /// warning, critical or off. The rules of the environment variable LOGWELL_RULES come after
    /// these, so the user's win. An empty text removes the application's rules. Every category
    /// emits every level by default.
    static void setFilterRules(const QString& rules);
    /// Adds one rule: the category (or prefix ending with "*") emits from the given level on.
    static void setCategoryLevel(const QString& category, LogType minimum);
    /// Whether a message of this category and type is emitted under the current rules.
    static bool isEnabled(const char* category, LogType type);

private:
    std::unique_ptr<LogwellPrivate> d;
};

#endif // LOGWELL_H
