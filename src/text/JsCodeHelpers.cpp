#include "JsCodeHelpers.h"

#include "LarkLog.h"
#include "PhpCodeHelpers.h"

#include <QTextStream>

#include <cmath>

#define LARK_CHECK_STREAM(stream)                     \
    if (!(stream)) {                                  \
        LARK_CRITICAL << "bad usage!! null stream";   \
        return;                                       \
    }

namespace {

// Largest integer that a JavaScript number holds exactly.
constexpr qint64 MAX_SAFE_KEY = qint64(1) << 53;

void appendUnitEscape(QString& out, ushort unit)
{
    out += QStringLiteral("\\u%1").arg(uint(unit), 4, 16, QLatin1Char('0'));
}

} // namespace

QString JsCodeHelpers::quotedStringPrivate(const QString& text)
{
    QString result;
    result.reserve(text.size() + 8);
    result += QLatin1Char('\'');
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\': result += QLatin1String("\\\\"); break;
        case '\'':
        case '"': result += QLatin1String("\\'"); break;
        case '\n': result += QLatin1String("\\n"); break;
        case '\r': result += QLatin1String("\\r"); break;
        // "<" never closes an inline script nor opens a comment.
        case '<': result += QLatin1String("\\u003c"); break;
        case 0x2028:
        case 0x2029: appendUnitEscape(result, c.unicode()); break;
        default:
            if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
                result += c;
                result += text.at(++i);
            } else if (c.isSurrogate()) {
                // A lone half cannot travel as UTF-8, but JavaScript strings may hold it.
                appendUnitEscape(result, c.unicode());
            } else {
                result += c;
            }
            break;
        }
    }
    result += QLatin1Char('\'');
    return result;
}

void JsCodeHelpers::writeKeyPrivate(QTextStream* stream, const QString& key)
{
    // Bare only when JavaScript reads the same property name back: a canonical integer from 0
    // to 2^53 (a bare -3 is a syntax error, a larger number would be rounded).
    bool ok = false;
    const qint64 number = key.toLongLong(&ok, 10);
    if (ok && number >= 0 && number <= MAX_SAFE_KEY && QString::number(number) == key)
        *stream << key;
    else if (key == QLatin1String("__proto__"))
        *stream << "['__proto__']"; // a plain __proto__ key would set the prototype instead
    else
        *stream << quotedStringPrivate(key);
}

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QList<int>& values)
{
    PhpCodeHelpers::formatPhpArray(stream, values);
}

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QList<QVariant>& values)
{
    LARK_CHECK_STREAM(stream);
    *stream << '[';
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            *stream << ',';
        formatVariantValue(stream, values.at(i));
    }
    *stream << ']';
}

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QStringList& values)
{
    LARK_CHECK_STREAM(stream);
    *stream << '[';
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            *stream << ',';
        *stream << quotedStringPrivate(values.at(i));
    }
    *stream << ']';
}

void JsCodeHelpers::formatJavascriptObject(QTextStream* stream, const QMap<QString, QVariant>& map)
{
    LARK_CHECK_STREAM(stream);
    *stream << "{\n";
    bool first = true;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!first)
            *stream << ',';
        first = false;
        writeKeyPrivate(stream, it.key());
        *stream << ':';
        formatVariantValue(stream, it.value());
    }
    *stream << "\n}";
}

void JsCodeHelpers::formatVariantValue(QTextStream* stream, const QVariant& value)
{
    LARK_CHECK_STREAM(stream);
    switch (value.userType()) {
    case QMetaType::QByteArray:
        *stream << QString::fromUtf8(value.toByteArray());
        break;
    case QMetaType::QString:
        *stream << quotedStringPrivate(value.toString());
        break;
    case QMetaType::Bool:
        *stream << (value.toBool() ? '1' : '0');
        break;
    case QMetaType::Double: {
        const double number = value.toDouble();
        // Qt writes "nan" and "inf", which JavaScript reads as undefined names.
        if (std::isnan(number))
            *stream << "NaN";
        else if (std::isinf(number))
            *stream << (number < 0 ? "-Infinity" : "Infinity");
        else
            *stream << QString::number(number, 'g', 6);
        break;
    }
    case QMetaType::Int:
        *stream << QString::number(value.toInt());
        break;
    case QMetaType::LongLong:
        *stream << QString::number(value.toLongLong());
        break;
    case QMetaType::QStringList:
        formatJavascriptArray(stream, value.toStringList());
        break;
    case QMetaType::QVariantMap:
        formatJavascriptObject(stream, value.toMap());
        break;
    case QMetaType::QVariantList:
        formatJavascriptArray(stream, value.toList());
        *stream << '\n';
        break;
    default:
        *stream << quotedStringPrivate(value.toString());
        break;
    }
}
