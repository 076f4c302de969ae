#include "Logwell.h"

#include <QFileInfo>
#include <QHash>
#include <QReadWriteLock>
#include <QRecursiveMutex>
#include <QTextStream>
#include <QVector>

#include <cstdio>

class LogwellPrivate
{
public:
    LogwellPrivate() : mStream(&mBuffer, QIODevice::WriteOnly) {}
    void checkSpacing();

    Logwell::Message mMessage;
    QString mBuffer;
    QTextStream mStream;
    bool mEnabled = true;  // false: the category's rules drop this message
};

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

const int RANK_OFF = 4;

// -1 for a text that names no level.
int rankFromName(const QString& name)
{
    static const char* const NAMES[] = {"debug", "info", "warning", "critical", "off"};
    for (int rank = 0; rank <= RANK_OFF; ++rank)
        if (name.compare(QLatin1String(NAMES[rank]), Qt::CaseInsensitive) == 0)
            return rank;
    return -1;
}

int minimumRankFromEnvironment()
{
    const int rank = rankFromName(QString::fromLocal8Bit(qgetenv("LOGWELL_LEVEL")).trimmed());
    return rank < 0 || rank == RANK_OFF ? 0 : rank;
}

// The category rules: the application's, then the environment's; the last match wins.
struct Rule {
    QString pattern;  // a name, or a prefix ending with "*"
    int minimumRank;
    bool matches(const QString& category) const
    {
        if (pattern.endsWith(QLatin1Char('*')))
            return category.startsWith(QStringView(pattern).left(pattern.size() - 1));
        return category == pattern;
    }
};

// A name, or a prefix ending with the only "*".
bool validPattern(const QString& pattern)
{
    const int star = pattern.indexOf(QLatin1Char('*'));
    return !pattern.isEmpty() && (star < 0 || star == pattern.size() - 1);
}

QVector<Rule> parseRules(const QString& text)
{
    QVector<Rule> rules;
    QString normalised = text;
    normalised.replace(QLatin1Char('\n'), QLatin1Char(';'));
    for (const QString& item : normalised.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int equals = item.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString pattern = item.left(equals).trimmed();
        const int rank = rankFromName(item.mid(equals + 1).trimmed());
        if (!validPattern(pattern) || rank < 0)
            continue;
        rules.append({pattern, rank});
    }
    return rules;
}

class CategoryRules
{
public:
    static CategoryRules& instance()
    {
        static CategoryRules rules;
        return rules;
    }

    void setApplicationRules(const QVector<Rule>& rules)
    {
        QWriteLocker locker(&mLock);
        mApplication = rules;
        mCache.clear();
    }
    void addApplicationRule(const Rule& rule)
    {
        QWriteLocker locker(&mLock);
        mApplication.append(rule);
        mCache.clear();
    }

    int minimumRank(const char* category)
    {
        const QString name = QString::fromUtf8(category ? category : "");
        {
            QReadLocker locker(&mLock);
            if (mApplication.isEmpty() && mEnvironment.isEmpty())
                return 0;
            const auto cached = mCache.constFind(name);
            if (cached != mCache.constEnd())
                return cached.value();
        }
        QWriteLocker locker(&mLock);
        int rank = 0;
        for (const Rule& rule : mApplication + mEnvironment)
            if (rule.matches(name))
                rank = rule.minimumRank;
        mCache.insert(name, rank);
        return rank;
    }

private:
    CategoryRules() : mEnvironment(parseRules(QString::fromLocal8Bit(qgetenv("LOGWELL_RULES")))) {}

    QReadWriteLock mLock;
    QVector<Rule> mApplication;
    const QVector<Rule> mEnvironment;
    QHash<QString, int> mCache;
};

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
    : Logwell(nullptr, type, file, function, line, form)
{
}

Logwell::Logwell(const char* category, LogType type, const char* file, const char* function, int line,
                 FunctionForm form)
    : d(new LogwellPrivate)
{
    d->mEnabled = isEnabled(category, type);
    if (!d->mEnabled)
        return;
    d->mMessage.type = type;
    d->mMessage.file = QString::fromUtf8(file ? file : "");
    d->mMessage.function = form == PrettyFunction ? qualifiedFunctionName(function)
                                                  : QString::fromUtf8(function ? function : "");
    d->mMessage.line = line;
    d->mMessage.category = QString::fromUtf8(category ? category : "");
}

Logwell::~Logwell()
{
    if (!d->mEnabled)
        return;
    d->mStream.flush();
    QString text = d->mBuffer;
    text.replace(QLatin1String(" \n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    d->mMessage.text = text;

    QMutexLocker locker(&sinkMutex());
    const Handler& handler = currentHandler();
    if (handler)
        handler(d->mMessage);
    else
        defaultSink(d->mMessage);
}

void LogwellPrivate::checkSpacing()
{
    mStream.flush();
    if (!mBuffer.isEmpty() && !mBuffer.endsWith(QLatin1Char(' ')) && !mBuffer.endsWith(QLatin1Char('\n')))
        mBuffer.append(QLatin1Char(' '));
}

// One item: written unless the message is dropped, then followed by the separating space.
#define LOGWELL_ITEM(expression)       \
    if (d->mEnabled) {                 \
        d->mStream << expression;      \
        d->checkSpacing();             \
    }                                  \
    return *this

Logwell& Logwell::operator<<(const char* text) { LOGWELL_ITEM(QString::fromUtf8(text)); }
Logwell& Logwell::operator<<(const QString& text) { LOGWELL_ITEM(text); }
Logwell& Logwell::operator<<(const QByteArray& text) { LOGWELL_ITEM(QString::fromUtf8(text)); }
Logwell& Logwell::operator<<(QChar c) { LOGWELL_ITEM(c); }
Logwell& Logwell::operator<<(char c) { LOGWELL_ITEM(QLatin1Char(c)); }
Logwell& Logwell::operator<<(std::nullptr_t) { LOGWELL_ITEM("(nullptr)"); }
Logwell& Logwell::operator<<(bool value) { LOGWELL_ITEM((value ? "true" : "false")); }
Logwell& Logwell::operator<<(int value) { LOGWELL_ITEM(value); }
Logwell& Logwell::operator<<(unsigned int value) { LOGWELL_ITEM(value); }
Logwell& Logwell::operator<<(long value) { LOGWELL_ITEM(qlonglong(value)); }
Logwell& Logwell::operator<<(unsigned long value) { LOGWELL_ITEM(qulonglong(value)); }
Logwell& Logwell::operator<<(long long value) { LOGWELL_ITEM(qlonglong(value)); }
Logwell& Logwell::operator<<(unsigned long long value) { LOGWELL_ITEM(qulonglong(value)); }
Logwell& Logwell::operator<<(double value) { LOGWELL_ITEM(value); }
Logwell& Logwell::operator<<(const void* pointer) { LOGWELL_ITEM(pointer); }

Logwell& Logwell::operator<<(const QStringList& list)
{
    if (d->mEnabled) {
        d->mStream << "(";
        for (int i = 0; i < list.size(); ++i) {
            if (i > 0)
                d->mStream << ", ";
            d->mStream << list.at(i);
        }
        d->mStream << ")";
        d->checkSpacing();
    }
    return *this;
}

Logwell& Logwell::operator<<(const QSize& size)
{
    LOGWELL_ITEM("QSize(" << size.width() << ", " << size.height() << ")");
}

#undef LOGWELL_ITEM

void Logwell::setFilterRules(const QString& rules)
{
    CategoryRules::instance().setApplicationRules(parseRules(rules));
}

void Logwell::setCategoryLevel(const QString& category, LogType minimum)
{
    const QString pattern = category.trimmed();
    if (!validPattern(pattern))
        return;
    CategoryRules::instance().addApplicationRule({pattern, levelRank(minimum)});
}

bool Logwell::isEnabled(const char* category, LogType type)
{
    return levelRank(type) >= CategoryRules::instance().minimumRank(category);
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
            if (!QStringView(signature).left(i).endsWith(QLatin1String("operator")))
                ++angle;
        } else if (c == QLatin1Char('>')) {
            if (angle > 0)
                --angle;
        } else if (c == QLatin1Char('(') && angle == 0) {
            if (QStringView(signature).left(i).endsWith(QLatin1String("operator"))
                && QStringView(signature).mid(i).startsWith(QLatin1String("()"))) {
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
