#ifndef STRINGUTILS_H
#define STRINGUTILS_H

#include "larkutils_export.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

/// Small text jobs shared by every application: accents, search text, versions, free names,
/// durations, numbers for input fields, random strings, identifiers, digit strings.
class LARKUTILS_EXPORT StringUtils
{
public:
    /// Each byte as digits in base min(base, 36), at least two digits each, concatenated.
    /// A base below 2 is misuse: empty string.
    static QString byteArrayToString(const QByteArray& bytes, int base);
    /// Reads the text two characters at a time as unsigned numbers in base min(base, 36) and keeps
    /// the low byte of each; unparsable pieces are skipped. A base below 2 is misuse: empty array.
    static QByteArray hexaStringToByteArray(const QString& text, int base);

    /// The first character upper-cased (locale-independent), the rest unchanged.
    static QString capitalize(const QString& text);

    /// Compares dotted version numbers component by component; result is 1, 0 or -1.
    /// False (result 0) when a compared component is not a number.
    static bool compareVersion(const QString& first, const QString& second, int& result);

    /// "\r\n".
    static QString endl();
    /// Every double quote preceded by a backslash.
    static QString escapeQuotes(const QString& text);

    /// prefix + extension, or prefix + pattern (with %1 = 1, 2, ...) + extension: the first one
    /// that is not in existing (case-insensitive).
    static QString findNoExistantName(const QStringList& existing, const QString& prefix,
                                      const QString& pattern, const QString& extension);

    /// "1h 2mn 3s 4ms " style duration; empty for 0.
    static QString formatDurationFromMSec(quint64 msec);
    /// formatDurationFromMSec of sec seconds.
    static QString formatDurationFromSec(quint64 sec);

    /// Fixed-point text with at most decimals digits, trailing zeros and point removed ("2.5", "3").
    /// Negative decimals are misuse and count as 0.
    static QString formatRealForInput(const double& value, int decimals);

    /// A new random UUID, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
    static QString generateUUID();
    /// Current time in ms (base 36) followed by the pointer value (base 36, signed).
    static QString generateUniqueId(void* pointer);
    /// length characters from [A-Za-z0-9] drawn with qrand(); empty for length < 1. Not for secrets.
    static QString getRandomString(int length);

    /// The items joined with "/".
    static QString joinWithSlashes(const QStringList& items);

    /// Decomposed, stripped of everything but ASCII letters, digits, white space and "-",
    /// white space simplified, lower-cased: "  Élan  Vital! " gives "elan vital".
    static QString normalizeTextForSearch(const QString& text);
    /// The words of the text (split at non-word characters and "-"), each normalised for search.
    static QStringList splitTextForSearch(const QString& text);
    /// Folds the accented Latin letters of the table into ASCII ("Æ" gives "AE").
    static QString removeAccents(const QString& text);

    /// Removes the last character (a whole surrogate pair when the text ends with one).
    static void removeLastChar(QString& text);
    /// Replaces the first occurrence of before by after; returns text.
    static QString& replaceFirstOccurrence(QString& text, const QString& before, const QString& after);
    /// Replaces the span of the named group of the first match of expression by after; returns text.
    static QString& replaceFirstOccurrence(QString& text, const QRegularExpression& expression,
                                           const QString& captureName, const QString& after);

    /// "<b>" + text + "</b>", unescaped.
    static QString richTextToBold(const QString& text);
    /// A fixed placeholder paragraph of 473 characters.
    static QString stringLoremIpsum();
    /// "Segoe UI".
    static QString systemMainFamily();
};

#endif // STRINGUTILS_H
