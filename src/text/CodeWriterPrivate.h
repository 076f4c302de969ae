#ifndef CODEWRITERPRIVATE_H
#define CODEWRITERPRIVATE_H

// The frame shared by the PHP and JavaScript writers (not installed): arrays, maps and the value
// mapping are the same in both languages; a dialect supplies what differs (quoting, numbers,
// and which array and map writers nested values go to).

#include "LarkLog.h"

#include <QHash>
#include <QLocale>
#include <QMap>
#include <QStringList>
#include <QTextStream>
#include <QVariant>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#else
#include <QStringEncoder>
#endif

namespace CodeWriter {

// What the stream's target carries safely.
enum class Charset {
    Unicode, // every character travels as itself (a string target, UTF-8, UTF-16, UTF-32)
    Ascii,   // a legacy codec: only printable ASCII, tab and line breaks are written as themselves
    Refused, // a codec that does not even write ASCII as ASCII: nothing is written
};

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
inline bool asciiTransparent(QTextCodec* codec)
{
    QString ascii = QStringLiteral("\t\n\r");
    for (ushort c = 0x20; c < 0x7f; ++c)
        ascii += QChar(c);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->fromUnicode(ascii.constData(), ascii.size(), &state) == ascii.toLatin1();
}

inline Charset classify(QTextCodec* codec)
{
    switch (codec->mibEnum()) {
    case 106: // UTF-8
    case 1013: case 1014: case 1015: // UTF-16
    case 1017: case 1018: case 1019: // UTF-32
        return Charset::Unicode;
    default:
        return asciiTransparent(codec) ? Charset::Ascii : Charset::Refused;
    }
}

inline Charset charsetOf(const QTextStream& stream)
{
    if (!stream.device())
        return Charset::Unicode;
    QTextCodec* const codec = stream.codec();
    if (!codec)
        return Charset::Unicode;
    // Codecs live as long as the process, and asking one (even its MIB number) can be slow:
    // each thread keeps the answers, the last one at hand.
    thread_local const QTextCodec* lastCodec = nullptr;
    thread_local Charset lastCharset = Charset::Unicode;
    if (codec == lastCodec)
        return lastCharset;
    thread_local QHash<const QTextCodec*, Charset> known;
    auto it = known.constFind(codec);
    if (it == known.constEnd())
        it = known.insert(codec, classify(codec));
    lastCodec = codec;
    lastCharset = it.value();
    return lastCharset;
}

inline QString encodingName(const QTextStream& stream)
{
    return stream.codec() ? QString::fromLatin1(stream.codec()->name()) : QString();
}

// The bytes the stream's codec writes for text; false when it cannot write all of it.
inline bool encodeExactly(const QTextStream& stream, const QString& text, QByteArray* bytes)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull | QTextCodec::IgnoreHeader);
    *bytes = stream.codec()->fromUnicode(text.constData(), text.size(), &state);
    return state.invalidChars == 0;
}
#else
// Qt 6 streams write UTF-8, UTF-16, UTF-32, Latin-1 or the system's encoding, each of them ASCII
// as ASCII: Latin-1, and the system's on Windows (its ANSI code page), are the legacy ones.
inline Charset charsetOf(const QTextStream& stream)
{
    if (!stream.device())
        return Charset::Unicode;
    switch (stream.encoding()) {
    case QStringConverter::Latin1:
#ifdef Q_OS_WIN
    case QStringConverter::System:
#endif
        return Charset::Ascii;
    default:
        return Charset::Unicode;
    }
}

inline QString encodingName(const QTextStream& stream)
{
    return QString::fromLatin1(QStringConverter::nameForEncoding(stream.encoding()));
}

inline bool encodeExactly(const QTextStream& stream, const QString& text, QByteArray* bytes)
{
    QStringEncoder encoder(stream.encoding(), QStringConverter::Flag::Stateless);
    *bytes = encoder.encode(text);
    return !encoder.hasError();
}
#endif

// A printable ASCII character, tab or line break: the characters every accepted codec writes as themselves.
inline bool plainAscii(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x20 && u < 0x7f) || u == '\t' || u == '\n' || u == '\r';
}

// A double in the shortest text that reads back as the same double; a value that 6 significant
// digits carry keeps the text of 'g' with precision 6 ("0.5", "1e-07", "1.23456e+09").
inline QString numberText(double number)
{
    const QString shortest = QString::number(number, 'g', QLocale::FloatingPointShortest);
    // Significant digits and decimal exponent of the shortest text ("-1.2e+05", "0.0012", "1500").
    const int exponentAt = shortest.indexOf(QLatin1Char('e'));
    const int end = exponentAt < 0 ? shortest.size() : exponentAt;
    int beforePoint = 0;
    int leadingZeros = 0;
    int digits = 0;
    int lastNonZero = 0;
    bool point = false;
    for (int i = 0; i < end; ++i) {
        const QChar c = shortest.at(i);
        if (c == QLatin1Char('.')) {
            point = true;
        } else if (c.isDigit()) {
            ++digits;
            if (!point)
                ++beforePoint;
            if (c != QLatin1Char('0'))
                lastNonZero = digits;
            else if (lastNonZero == 0)
                ++leadingZeros;
        }
    }
    if (lastNonZero - leadingZeros > 6)
        return shortest;
    const int exponent = (exponentAt < 0 ? 0 : shortest.mid(exponentAt + 1).toInt()) + beforePoint - leadingZeros - 1;
    // 'g' with precision 6 writes the decimal form exactly for exponents from -4 to 5.
    const bool decimalInG6 = exponent >= -4 && exponent < 6;
    if (decimalInG6 == (exponentAt < 0))
        return shortest;
    return QString::number(number, 'g', 6);
}

// Appends the lower-case hexadecimal digits of value, at least minDigits of them.
inline void appendHex(QString& out, uint value, int minDigits)
{
    static const char HEX[] = "0123456789abcdef";
    char buffer[8];
    int n = 0;
    do {
        buffer[n++] = HEX[value & 0xF];
        value >>= 4;
    } while (value != 0 && n < 8);
    while (n < minDigits && n < 8)
        buffer[n++] = '0';
    while (n > 0)
        out += QLatin1Char(buffer[--n]);
}

// A PHP double-quoted literal made of ASCII alone: "\" and "$" escaped, every other character
// written "\u{...}" (UTF-8 in PHP), a lone surrogate half as "?" (what UTF-8 makes of it), and a
// double quote as doubleQuote. Whatever codec later writes it, no character turns into "?" or
// into bytes that PHP reads as a backslash or a quote (the second byte of many Shift_JIS
// characters is 0x5C).
inline QString phpAsciiLiteral(const QString& text, QLatin1String doubleQuote)
{
    QString result;
    result.reserve(text.size() + 8);
    result += QLatin1Char('"');
    const int size = text.size();
    const auto appendEscape = [&result](uint codePoint) {
        result += QLatin1String("\\u{");
        appendHex(result, codePoint, 1);
        result += QLatin1Char('}');
    };
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char('$')) {
            result += QLatin1Char('\\');
            result += c;
        } else if (c == QLatin1Char('"')) {
            result += doubleQuote;
        } else if (plainAscii(c)) {
            result += c;
        } else if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            appendEscape(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else if (c.isSurrogate()) {
            result += QLatin1Char('?');
        } else {
            appendEscape(c.unicode());
        }
    }
    result += QLatin1Char('"');
    return result;
}

} // namespace CodeWriter

// The writers' guard: a null stream, or one whose codec would garble the code, logs the misuse
// (in the calling function's name) and returns without writing.
#define LARK_CHECK_STREAM(stream)                                                                      \
    if (!(stream)) {                                                                                   \
        LARK_CRITICAL << "bad usage!! null stream";                                                    \
        return;                                                                                        \
    }                                                                                                  \
    if (CodeWriter::charsetOf(*(stream)) == CodeWriter::Charset::Refused) {                            \
        LARK_CRITICAL << "bad usage!! the stream's codec does not write ASCII as ASCII, nothing written:" \
                      << CodeWriter::encodingName(*(stream));                                   \
        return;                                                                                        \
    }

namespace CodeWriter {

// "[" + each item through writeItem, joined by "," + "]".
template <typename List, typename WriteItem>
void writeList(QTextStream& stream, const List& items, WriteItem writeItem)
{
    stream << '[';
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0)
            stream << ',';
        writeItem(items.at(i));
    }
    stream << ']';
}

// open + "key" separator "value" entries joined by "," + close, keys in the map's order.
template <typename WriteKey, typename WriteValue>
void writeMap(QTextStream& stream, const QMap<QString, QVariant>& map, const char* open, const char* separator,
              const char* close, WriteKey writeKey, WriteValue writeValue)
{
    stream << open;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it != map.cbegin())
            stream << ',';
        writeKey(it.key());
        stream << separator;
        writeValue(it.value());
    }
    stream << close;
}

// One value by the value mapping. Dialect has static quoted(stream, QString), writeDouble(stream, double),
// writeLongLong(stream, qint64), writeStringList, writeList and writeMap(stream, value).
template <typename Dialect>
void writeVariant(QTextStream& stream, const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::QByteArray:
        stream << QString::fromUtf8(value.toByteArray()); // a raw expression
        break;
    case QMetaType::QString:
        stream << Dialect::quoted(stream, value.toString());
        break;
    case QMetaType::Bool:
        stream << (value.toBool() ? '1' : '0');
        break;
    case QMetaType::Double:
        Dialect::writeDouble(stream, value.toDouble());
        break;
    case QMetaType::Int:
        stream << QString::number(value.toInt());
        break;
    case QMetaType::LongLong:
        Dialect::writeLongLong(stream, value.toLongLong());
        break;
    case QMetaType::QStringList:
        Dialect::writeStringList(stream, value.toStringList());
        break;
    case QMetaType::QVariantMap:
        Dialect::writeMap(stream, value.toMap());
        break;
    case QMetaType::QVariantList:
        Dialect::writeList(stream, value.toList());
        stream << '\n';
        break;
    default:
        stream << Dialect::quoted(stream, value.toString());
        break;
    }
}

} // namespace CodeWriter

#endif // CODEWRITERPRIVATE_H
