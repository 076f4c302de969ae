#ifndef JSCODEHELPERS_H
#define JSCODEHELPERS_H

#include "larkutils_export.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QTextStream;

/// Writes Qt values as compact JavaScript literals into a caller's stream; strings are safe
/// inside an inline `<script>`.
/// On a device whose codec is not Unicode the text written is ASCII alone (other characters
/// escaped), so the codec cannot turn a character into a quote, a backslash or "?"; a codec
/// that does not even write ASCII as itself, like a null stream, is misuse: nothing is written.
/// Doubles are written in the shortest text that reads back as the same double.
class LARKUTILS_EXPORT JsCodeHelpers
{
public:
    /// [1,2,3]
    static void formatJavascriptArray(QTextStream* stream, const QList<int>& values);
    /// [v1,v2,...], each item as by formatVariantValue.
    static void formatJavascriptArray(QTextStream* stream, const QList<QVariant>& values);
    /// ['a','b',...]
    static void formatJavascriptArray(QTextStream* stream, const QStringList& values);
    /// {\n key:value,... \n} in the map's order; integer keys 0 to 2^53 bare, others quoted.
    static void formatJavascriptObject(QTextStream* stream, const QMap<QString, QVariant>& map);
    /// One value: raw code for a QByteArray, single-quoted text for a string, 1/0 for a bool,
    /// numbers as such (a double read back exactly), arrays and objects; other types as their quoted text.
    static void formatVariantValue(QTextStream* stream, const QVariant& value);
};

#endif // JSCODEHELPERS_H
