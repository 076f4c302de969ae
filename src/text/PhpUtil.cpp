#include "PhpUtil.h"

#include "CodeWriterPrivate.h"

QString PhpUtil::formatPhpString(const QString& text)
{
    // Backslash and "$" escaped too: PHP would otherwise read escape sequences and variables.
    return CodeWriter::phpAsciiLiteral(text, QLatin1String("\\\""));
}

QString PhpUtil::escapeAndQuotedPhpStringVariable(const QString& text)
{
    return formatPhpString(text);
}

QString PhpUtil::formatPhpSimplifiedString(const QString& text)
{
    return formatPhpString(text.simplified());
}
