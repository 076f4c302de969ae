#include "PhpUtil.h"

QString PhpUtil::formatPhpString(const QString& text)
{
    QString result;
    result.reserve(text.size() + 8);
    result += QLatin1Char('"');
    for (const QChar c : text) {
        // Backslash and "$" too: PHP would otherwise read escape sequences and variables.
        if (c == QLatin1Char('"') || c == QLatin1Char('\\') || c == QLatin1Char('$'))
            result += QLatin1Char('\\');
        result += c;
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
