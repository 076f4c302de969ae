#include "PhpUtil.h"

#include "CodeWriterPrivate.h"

namespace {

void appendCodePointEscape(QString& out, uint codePoint)
{
    out += QLatin1String("\\u{");
    CodeWriter::appendHex(out, codePoint, 1);
    out += QLatin1Char('}');
}

} // namespace

QString PhpUtil::formatPhpString(const QString& text)
{
    QString result;
    result.reserve(text.size() + 8);
    result += QLatin1Char('"');
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        const ushort u = c.unicode();
        if (c == QLatin1Char('"') || c == QLatin1Char('\\') || c == QLatin1Char('$')) {
            // Backslash and "$" too: PHP would otherwise read escape sequences and variables.
            result += QLatin1Char('\\');
            result += c;
        } else if ((u >= 0x20 && u < 0x7f) || u == '\t' || u == '\n' || u == '\r') {
            result += c;
        } else if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            appendCodePointEscape(result, QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else if (c.isSurrogate()) {
            result += QLatin1Char('?'); // what UTF-8 makes of a lone half
        } else {
            // The literal is ASCII alone, so that whatever codec later writes it, no character
            // turns into "?" or into bytes that PHP reads as a backslash or a quote (the second
            // byte of many Shift_JIS characters is 0x5C). PHP reads "\u{...}" as UTF-8.
            appendCodePointEscape(result, u);
        }
    }
    result += QLatin1Char('"');
    return result;
}

QString PhpUtil::escapeAndQuotedPhpStringVariable(const QString& text)
{
    return formatPhpString(text);
}

QString PhpUtil::formatPhpSimplifiedString(const QString& text)
{
    return formatPhpString(text.simplified());
}
