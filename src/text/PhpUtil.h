#ifndef PHPUTIL_H
#define PHPUTIL_H

#include "larkutils_export.h"

#include <QString>

/// PHP string literals from text.
class LARKUTILS_EXPORT PhpUtil
{
public:
    /// A PHP double-quoted literal that reads back as exactly text: double quotes, backslashes
    /// and "$" are escaped with a backslash, nothing is interpolated. The literal is ASCII alone
    /// (other characters as "\u{...}"), so that any codec writes it safely.
    static QString formatPhpString(const QString& text);
    /// Same as formatPhpString.
    static QString escapeAndQuotedPhpStringVariable(const QString& text);
    /// formatPhpString of the whitespace-simplified text.
    static QString formatPhpSimplifiedString(const QString& text);
};

#endif // PHPUTIL_H
