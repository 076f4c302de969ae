#include "JsCodeHelpers.h"

#include "CodeWriterPrivate.h"
#include "LarkLog.h"
#include "PhpCodeHelpers.h"

#include <QTextStream>

#include <cmath>

namespace {

// Largest integer that a JavaScript number holds exactly.
constexpr qint64 MAX_SAFE_KEY = qint64(1) << 53;

void appendUnitEscape(QString& out, ushort unit)
{
    out += QStringLiteral("\\u%1").arg(uint(unit), 4, 16, QLatin1Char('0'));
}

// For a stream whose codec is not Unicode: the literal in ASCII alone, every other code unit
// as "\uXXXX", so that no character comes out as "?" or as bytes read as a backslash or a quote.
QString asciiOnly(const QString& literal)
{
    QString result;
    result.reserve(literal.size() + 16);
    for (const QChar c : literal) {
        if (CodeWriter::plainAscii(c)) {
            result += c;
        } else {
            result += QLatin1String("\\u");
            CodeWriter::appendHex(result, c.unicode(), 4);
        }
    }
    return result;
}


QString quotedStringPrivate(const QString& text)
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

// How JavaScript differs from PHP in the value mapping.
struct Dialect {
    static QString quoted(QTextStream& stream, const QString& text)
    {
        if (CodeWriter::charsetOf(stream) == CodeWriter::Charset::Ascii)
            return asciiOnly(quotedStringPrivate(text));
        return quotedStringPrivate(text);
    }
    static void writeDouble(QTextStream& stream, double number)
    {
        // Qt writes "nan" and "inf", which JavaScript reads as undefined names.
        if (std::isnan(number))
            stream << "NaN";
        else if (std::isinf(number))
            stream << (number < 0 ? "-Infinity" : "Infinity");
        else
            stream << CodeWriter::numberText(number);
    }
    static void writeLongLong(QTextStream& stream, qint64 number) { stream << QString::number(number); }
    static void writeStringList(QTextStream& stream, const QStringList& list) { JsCodeHelpers::formatJavascriptArray(&stream, list); }
    static void writeList(QTextStream& stream, const QList<QVariant>& list) { JsCodeHelpers::formatJavascriptArray(&stream, list); }
    static void writeMap(QTextStream& stream, const QMap<QString, QVariant>& map) { JsCodeHelpers::formatJavascriptObject(&stream, map); }
};

void writeKeyPrivate(QTextStream* stream, const QString& key)
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
        *stream << Dialect::quoted(*stream, key);
}

} // namespace

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QList<int>& values)
{
    PhpCodeHelpers::formatPhpArray(stream, values);
}

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QList<QVariant>& values)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeList(*stream, values, [stream](const QVariant& value) { formatVariantValue(stream, value); });
}

void JsCodeHelpers::formatJavascriptArray(QTextStream* stream, const QStringList& values)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeList(*stream, values, [stream](const QString& value) { *stream << Dialect::quoted(*stream, value); });
}

void JsCodeHelpers::formatJavascriptObject(QTextStream* stream, const QMap<QString, QVariant>& map)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeMap(*stream, map, "{\n", ":", "\n}", [stream](const QString& key) { writeKeyPrivate(stream, key); },
                         [stream](const QVariant& value) { formatVariantValue(stream, value); });
}

void JsCodeHelpers::formatVariantValue(QTextStream* stream, const QVariant& value)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeVariant<Dialect>(*stream, value);
}
