#include "PhpCodeHelpers.h"

#include "CodeWriterPrivate.h"
#include "LarkLog.h"

#include <QTextStream>

#include <cmath>
#include <limits>

namespace {

bool allPlainAscii(const QString& text)
{
    for (const QChar c : text)
        if (!CodeWriter::plainAscii(c))
            return false;
    return true;
}

// For a stream whose codec is not Unicode: a double-quoted literal made of ASCII alone, in which
// a double quote still reads back as a single quote.
QString asciiQuoted(const QString& text)
{
    return CodeWriter::phpAsciiLiteral(text, QLatin1String("'"));
}

// Whether the stream's codec writes the character without bytes that could end a line comment.
bool safeInComment(const QTextStream& stream, const QString& character)
{
    QByteArray bytes;
    if (!CodeWriter::encodeExactly(stream, character, &bytes) || bytes.isEmpty())
        return false;
    for (const char b : bytes)
        if (b == '\n' || b == '\r' || b == '?' || b == '>' || b == '\0')
            return false;
    return true;
}


QString quotedStringPrivate(const QString& text)
{
    QString result;
    result.reserve(text.size() + 8);
    result += QLatin1Char('\'');
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\')) {
            result += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            result += QLatin1String("\\'");
        } else if (!c.isSurrogate()) {
            result += c;
        } else if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
        } else {
            // A lone half has no UTF-8 form: "?", as Qt 5's encoder wrote it (Qt 6's writes U+FFFD).
            result += QLatin1Char('?');
        }
    }
    result += QLatin1Char('\'');
    return result;
}

// How PHP differs from JavaScript in the value mapping.
struct Dialect {
    static QString quoted(QTextStream& stream, const QString& text)
    {
        // Through a legacy codec a character may come out as "?" or as bytes that PHP reads as a
        // backslash or a quote (the second byte of many Shift_JIS characters is 0x5C).
        if (CodeWriter::charsetOf(stream) == CodeWriter::Charset::Ascii && !allPlainAscii(text))
            return asciiQuoted(text);
        return quotedStringPrivate(text);
    }
    static void writeDouble(QTextStream& stream, double number)
    {
        // Qt writes "nan" and "inf", which PHP reads as undefined constants.
        if (std::isnan(number))
            stream << "NAN";
        else if (std::isinf(number))
            stream << (number < 0 ? "-INF" : "INF");
        else
            stream << CodeWriter::numberText(number);
    }
    static void writeLongLong(QTextStream& stream, qint64 number)
    {
        // A bare -9223372036854775808 is the negation of a float in PHP.
        if (number == std::numeric_limits<qint64>::min())
            stream << "(-9223372036854775807-1)";
        else
            stream << QString::number(number);
    }
    static void writeStringList(QTextStream& stream, const QStringList& list) { PhpCodeHelpers::formatPhpArray(&stream, list); }
    static void writeList(QTextStream& stream, const QList<QVariant>& list) { PhpCodeHelpers::formatPhpArray(&stream, list); }
    static void writeMap(QTextStream& stream, const QMap<QString, QVariant>& map) { PhpCodeHelpers::formatPhpMap(&stream, map); }
};

void writeKeyPrivate(QTextStream* stream, const QString& key)
{
    // Only the canonical decimal form is written bare: "007" or "+7" as a bare 7 would merge
    // with the key "7" and lose an entry. PHP itself turns a quoted canonical key into an integer.
    bool ok = false;
    const qint64 number = key.toLongLong(&ok, 10);
    if (ok && number != std::numeric_limits<qint64>::min() && QString::number(number) == key)
        *stream << key;
    else
        *stream << Dialect::quoted(*stream, key);
}

} // namespace

void PhpCodeHelpers::formatPhpArray(QTextStream* stream, const QList<int>& values)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeList(*stream, values, [stream](int value) { *stream << QString::number(value); });
}

void PhpCodeHelpers::formatPhpArray(QTextStream* stream, const QList<QVariant>& values)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeList(*stream, values, [stream](const QVariant& value) { formatVariantValue(stream, value); });
}

void PhpCodeHelpers::formatPhpArray(QTextStream* stream, const QStringList& values)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeList(*stream, values, [stream](const QString& value) { *stream << Dialect::quoted(*stream, value); });
}

void PhpCodeHelpers::formatPhpMap(QTextStream* stream, const QMap<QString, QVariant>& map)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeMap(*stream, map, "[\n", "=>", "\n]", [stream](const QString& key) { writeKeyPrivate(stream, key); },
                         [stream](const QVariant& value) { formatVariantValue(stream, value); });
}

void PhpCodeHelpers::formatVariantValue(QTextStream* stream, const QVariant& value)
{
    LARK_CHECK_STREAM(stream);
    CodeWriter::writeVariant<Dialect>(*stream, value);
}

void PhpCodeHelpers::writeConstant(QTextStream* stream, const QString& name, const QVariant& value,
                                   const QString& comment)
{
    LARK_CHECK_STREAM(stream);
    *stream << "const " << name << '=';
    formatVariantValue(stream, value);
    *stream << ';';
    if (!comment.isEmpty()) {
        // The comment stays a comment: no line break ends it early, no "?>" leaves PHP mode.
        // Lone surrogate halves go first, since an encoder may write them as "?"; through a
        // legacy codec, so does every character that it cannot write or writes with one of
        // the bytes "\n", "\r", "?" or ">". "?>" is looked for after all replacements.
        const bool legacy = CodeWriter::charsetOf(*stream) == CodeWriter::Charset::Ascii;
        QString safe;
        safe.reserve(comment.size());
        for (int i = 0; i < comment.size(); ++i) {
            const QChar c = comment.at(i);
            QString piece;
            if (c.isHighSurrogate() && i + 1 < comment.size() && comment.at(i + 1).isLowSurrogate()) {
                piece = QString(comment.constData() + i, 2);
                ++i;
            } else if (c.isSurrogate()) {
                piece = QChar(QChar::ReplacementCharacter);
            } else {
                piece = (c == QLatin1Char('\r') || c == QLatin1Char('\n')) ? QChar(QLatin1Char(' ')) : c;
            }
            if (legacy && !(piece.size() == 1 && CodeWriter::plainAscii(piece.at(0))) && !safeInComment(*stream, piece))
                piece = QLatin1Char('?');
            safe += piece;
        }
        safe.replace(QLatin1String("?>"), QLatin1String("? >"));
        *stream << " // " << safe;
    }
    *stream << '\n';
}

void PhpCodeHelpers::writePhpArray(QTextStream* stream, const QString& name, const QList<int>& values)
{
    LARK_CHECK_STREAM(stream);
    *stream << "const " << name << '=';
    formatPhpArray(stream, values);
    *stream << ";\n";
}

void PhpCodeHelpers::writePhpArray(QTextStream* stream, const QString& name, const QList<QVariant>& values)
{
    LARK_CHECK_STREAM(stream);
    *stream << "const " << name << '=';
    formatPhpArray(stream, values);
    *stream << ";\n";
}

void PhpCodeHelpers::writePhpArray(QTextStream* stream, const QString& name, const QStringList& values)
{
    LARK_CHECK_STREAM(stream);
    *stream << "const " << name << '=';
    formatPhpArray(stream, values);
    *stream << ";\n";
}

void PhpCodeHelpers::writePhpMap(QTextStream* stream, const QString& name, const QMap<QString, QVariant>& map)
{
    LARK_CHECK_STREAM(stream);
    *stream << "const " << name << '=';
    formatPhpMap(stream, map);
    *stream << ";\n";
}

void PhpCodeHelpers::writePhpMapAsClassOfConstants(QTextStream* stream, const QString& className,
                                                   const QMap<QString, QVariant>& map)
{
    LARK_CHECK_STREAM(stream);
    *stream << "\nclass " << className << "\n{\n";
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        *stream << "const " << it.key() << '=';
        formatVariantValue(stream, it.value());
        *stream << ";\n";
    }
    *stream << "}\n";
}
