#include "HTMLUtils.h"

#include "LarkLog.h"
#include "StringUtils.h"

#include <QTextDocument>
#include <QUrl>

#include <vector>

namespace {

const char HEX_DIGITS[] = "0123456789abcdef";

// ASCII characters copied as they are: by the HTML escaper (without and with &nbsp;) and by
// the JavaScript escaper.
struct AsciiClasses
{
    bool html[128];
    bool htmlNbsp[128];
    bool js[128];
};

constexpr AsciiClasses makeAsciiClasses()
{
    AsciiClasses classes{};
    for (int c = 0x20; c < 0x7F; ++c) {
        classes.html[c] = c != '&' && c != '<' && c != '>' && c != '"';
        classes.htmlNbsp[c] = classes.html[c] && c != ' ';
        classes.js[c] = c != '"' && c != '\'' && c != '\\' && c != '<';
    }
    return classes;
}

constexpr AsciiClasses ASCII_CLASSES = makeAsciiClasses();

// Printable test for every BMP code unit, one bit each, built once (thread-safe static).
bool isPrintableBmp(ushort c)
{
    static const std::vector<quint64> bits = [] {
        std::vector<quint64> table(0x10000 / 64, 0);
        for (uint u = 0; u < 0x10000; ++u)
            if (QChar::isPrint(u))
                table[u / 64] |= quint64(1) << (u % 64);
        return table;
    }();
    return (bits[c / 64] >> (c % 64)) & 1;
}

// Output of the escapers: raw writes into a buffer grown ahead of each piece.
class EscapeWriter
{
public:
    explicit EscapeWriter(int expected) : mText(expected, Qt::Uninitialized), mData(mText.data()) {}

    // Room for n more characters.
    void reserve(int n)
    {
        if (Q_UNLIKELY(mSize + n > mText.size())) {
            mText.resize(qMax(mText.size() * 2, mSize + n) + 16);
            mData = mText.data();
        }
    }
    // Writes one character; the caller has reserved room for it.
    void put(QChar c) { mData[mSize++] = c; }
    // Writes a short ASCII text; the caller has reserved room for it.
    template <int N>
    void putLatin1(const char (&text)[N])
    {
        for (int i = 0; i < N - 1; ++i)
            mData[mSize++] = QLatin1Char(text[i]);
    }
    // Writes \uXXXX; the caller has reserved room for it.
    void putUnitEscape(ushort unit)
    {
        put(QLatin1Char('\\'));
        put(QLatin1Char('u'));
        put(QLatin1Char(HEX_DIGITS[(unit >> 12) & 0xF]));
        put(QLatin1Char(HEX_DIGITS[(unit >> 8) & 0xF]));
        put(QLatin1Char(HEX_DIGITS[(unit >> 4) & 0xF]));
        put(QLatin1Char(HEX_DIGITS[unit & 0xF]));
    }
    QString finish()
    {
        mText.truncate(mSize);
        return std::move(mText);
    }

private:
    QString mText;
    QChar* mData;
    int mSize = 0;
};

inline void appendPercentByte(QString& out, uchar byte)
{
    const QChar escape[3] = {QLatin1Char('%'), QLatin1Char(HEX_DIGITS[byte >> 4]), QLatin1Char(HEX_DIGITS[byte & 0xF])};
    out.append(escape, 3);
}

// Percent-encodes one code point as its UTF-8 bytes.
void appendPercentUtf8(QString& out, uint ucs4)
{
    if (ucs4 < 0x80) {
        appendPercentByte(out, uchar(ucs4));
    } else if (ucs4 < 0x800) {
        appendPercentByte(out, uchar(0xC0 | (ucs4 >> 6)));
        appendPercentByte(out, uchar(0x80 | (ucs4 & 0x3F)));
    } else if (ucs4 < 0x10000) {
        appendPercentByte(out, uchar(0xE0 | (ucs4 >> 12)));
        appendPercentByte(out, uchar(0x80 | ((ucs4 >> 6) & 0x3F)));
        appendPercentByte(out, uchar(0x80 | (ucs4 & 0x3F)));
    } else {
        appendPercentByte(out, uchar(0xF0 | (ucs4 >> 18)));
        appendPercentByte(out, uchar(0x80 | ((ucs4 >> 12) & 0x3F)));
        appendPercentByte(out, uchar(0x80 | ((ucs4 >> 6) & 0x3F)));
        appendPercentByte(out, uchar(0x80 | (ucs4 & 0x3F)));
    }
}

inline bool isValidPairAt(const QChar* p, const QChar* end)
{
    return p->isHighSurrogate() && p + 1 != end && (p + 1)->isLowSurrogate();
}

QString cssCompliant(const QString& text, QChar from, QChar to)
{
    QString result = text.trimmed();
    result.remove(QLatin1Char('{'));
    result.remove(QLatin1Char('}'));
    result.replace(from, to);
    return result;
}

QString metaTag(const char* opening, const QString& key, const QString& content)
{
    return QLatin1String(opening) + HTMLUtils::textWithoutHtmlTags(key, false) + QLatin1String("\" content=\"")
        + HTMLUtils::textWithoutHtmlTags(content, false) + QLatin1String("\"/>");
}

} // namespace

QString HTMLUtils::base64ForImageTagSource(const QByteArray& bytes)
{
    return QLatin1String("data:image;base64,") + QString::fromLatin1(bytes.toBase64());
}

QString HTMLUtils::base64ForSvgImageTagSource(const QByteArray& bytes)
{
    return QLatin1String("data:image/svg+xml;base64,") + QString::fromLatin1(bytes.toBase64());
}

bool HTMLUtils::codeCharMustBeEncoded(int code)
{
    return code > 125 || code == 38 || code == 60 || code == 62 || code == 34;
}

QString HTMLUtils::colorToCss(const QColor& color)
{
    if (!color.isValid()) {
        LARK_CRITICAL << "bad usage!! invalid colour";
        return QString();
    }
    if (color.alphaF() == 1.0)
        return color.name();
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alphaF());
}

QString HTMLUtils::decodeFromHtmlText(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const int size = text.size();
    int i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('&') || size - i - 1 < 3) {
            result += c;
            ++i;
            continue;
        }
        if (text.at(i + 1) == QLatin1Char('#')) {
            int j = i + 2;
            uint value = 0;
            bool tooLarge = false;
            while (j < size && text.at(j) >= QLatin1Char('0') && text.at(j) <= QLatin1Char('9')) {
                value = value * 10 + uint(text.at(j).unicode() - '0');
                if (value > 0x10FFFF) {
                    tooLarge = true;
                    value = 0x110000;
                }
                ++j;
            }
            if (j == i + 2) {
                // "&#" without decimal digits ("&#x41;" and the like) is not ours: copied as is.
                result += QLatin1String("&#");
                i += 2;
                continue;
            }
            if (tooLarge || value == 0 || QChar::isSurrogate(value))
                result += QChar(QChar::ReplacementCharacter);
            else if (QChar::requiresSurrogates(value)) {
                result += QChar(QChar::highSurrogate(value));
                result += QChar(QChar::lowSurrogate(value));
            } else
                result += QChar(ushort(value));
            // The terminating ";" is consumed; any other character is left for the scan, so a
            // reference that follows directly ("&#65&#66;") is decoded too.
            i = (j < size && text.at(j) == QLatin1Char(';')) ? j + 1 : j;
            continue;
        }
        if (QStringView(text).mid(i + 1).startsWith(QLatin1String("nbsp;"))) {
            result += QLatin1Char(' ');
            i += 6;
            continue;
        }
        // Named references and a stray "&" are copied unchanged.
        result += c;
        ++i;
    }
    return result;
}

QString HTMLUtils::encodeSrcUrl(const QString& url)
{
    return QUrl(url, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
}

QString HTMLUtils::encodeSrcUrlWithFullyAmpersands(const QString& url)
{
    // Without a ".", the whole text is treated as an extension.
    const int point = qMax(0, url.lastIndexOf(QLatin1Char('.')));
    static const QString kept = QStringLiteral("_-/.#?=");
    QString result;
    result.reserve(url.size() + 16);
    const QChar* p = url.constData();
    const QChar* const end = p + point;
    for (; p != end; ++p) {
        if (p->isLetterOrNumber() || kept.contains(*p)) {
            result += *p;
        } else if (isValidPairAt(p, end)) {
            appendPercentUtf8(result, QChar::surrogateToUcs4(*p, *(p + 1)));
            ++p;
        } else if (p->isSurrogate()) {
            appendPercentUtf8(result, QChar::ReplacementCharacter);
        } else {
            appendPercentUtf8(result, p->unicode());
        }
    }
    // The extension stays readable, but nothing in it may end the attribute value or the tag
    // that the URL is written into.
    const QChar* const urlEnd = url.constData() + url.size();
    for (p = url.constData() + point; p != urlEnd; ++p) {
        const ushort c = p->unicode();
        const bool breaksAttribute = c == '"' || c == '\'' || c == '<' || c == '>' || c == '`' || p->isSpace()
            || p->category() == QChar::Other_Control;
        if (breaksAttribute)
            appendPercentUtf8(result, c);
        else
            result += *p;
    }
    return result;
}

QString HTMLUtils::encodeToJavascriptText(const QString& text)
{
    // Room is kept for the rest of the input plus one escape, so plain characters are written
    // without checks; each escape renews that room.
    EscapeWriter out(text.size() * 2 + 16);
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    for (; p != end; ++p) {
        const ushort c = p->unicode();
        // "<" is escaped so that text inside an inline script never closes it ("</script>")
        // nor opens a comment ("<!--").
        if (c < 0x80 && ASCII_CLASSES.js[c]) {
            out.put(*p);
            continue;
        }
        out.reserve(int(end - p) + 12);
        if (c == '\n') {
            out.putLatin1("\\n");
        } else if (isValidPairAt(p, end)) {
            out.putUnitEscape(c);
            out.putUnitEscape((p + 1)->unicode());
            ++p;
        } else if (c >= 0x20 && !QChar::isSurrogate(c) && (c < 0x7F || isPrintableBmp(c))) {
            out.putUnitEscape(c);
        }
    }
    return out.finish();
}

QString HTMLUtils::formatCompliantcssId(const QString& text)
{
    return cssCompliant(text, QLatin1Char('-'), QLatin1Char('_'));
}

QString HTMLUtils::formatCompliantcssClassName(const QString& text)
{
    return cssCompliant(text, QLatin1Char('_'), QLatin1Char('-'));
}

QString HTMLUtils::formatCompliantFolder(const QString& text)
{
    return formatCompliantcssId(text);
}

QString HTMLUtils::formatHtmlMetaName(const QString& name, const QString& content)
{
    return metaTag("<meta name=\"", name, content);
}

QString HTMLUtils::formatHtmlMetaHttpEqui(const QString& httpEquiv, const QString& content)
{
    return metaTag("<meta http-equiv=\"", httpEquiv, content);
}

QString HTMLUtils::formatHtmlToPlainText(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QString HTMLUtils::formatedLocalFile(const QString& path)
{
    return QLatin1String("file:///") + path;
}

QString HTMLUtils::generateUUID()
{
    return formatCompliantcssId(StringUtils::generateUUID());
}

QString& HTMLUtils::htmlBRreplace(QString& text)
{
    return text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
}

QString HTMLUtils::textWithoutHtmlTags(const QString& text, bool spacesAsNbsp)
{
    // Same scheme as encodeToJavascriptText: room for the rest plus one reference at all times.
    EscapeWriter out(text.size() + text.size() / (spacesAsNbsp ? 2 : 8) + 16);
    const bool* const plain = spacesAsNbsp ? ASCII_CLASSES.htmlNbsp : ASCII_CLASSES.html;
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    for (; p != end; ++p) {
        const ushort c = p->unicode();
        if (c < 0x80) {
            if (plain[c]) {
                out.put(*p);
                continue;
            }
        } else if (c >= 0x80 && !QChar::isSurrogate(c) && isPrintableBmp(c)) {
            out.put(*p);
            continue;
        } else if (isValidPairAt(p, end)) {
            // Characters beyond the Basic Multilingual Plane (emoji...) are kept whole.
            out.put(*p);
            out.put(*++p);
            continue;
        }
        out.reserve(int(end - p) + 8);
        switch (c) {
        case '\n': out.putLatin1("&#10;"); break;
        case ' ': out.putLatin1("&nbsp;"); break;
        case '&': out.putLatin1("&#38;"); break;
        case '<': out.putLatin1("&#60;"); break;
        case '>': out.putLatin1("&#62;"); break;
        case '"': out.putLatin1("&#34;"); break;
        default: break; // unprintable: dropped
        }
    }
    return out.finish();
}

QString HTMLUtils::tiniestInlineGifImage()
{
    return QStringLiteral("data:image/gif;base64,R0lGODlhAQABAAAAACH5BAEKAAEALAAAAAABAAEAAAICTAEAOw==");
}
