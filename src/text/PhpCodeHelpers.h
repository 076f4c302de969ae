#ifndef PHPCODEHELPERS_H
#define PHPCODEHELPERS_H

#include "larkutils_export.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QTextStream;

/// Writes Qt values as compact PHP source text (literals, arrays, constants, classes of
/// constants) into a caller's stream.
/// On a device whose codec is not Unicode the text written is ASCII alone (other characters
/// escaped), so the codec cannot turn a character into a quote, a backslash or "?"; a codec
/// that does not even write ASCII as itself, like a null stream, is misuse: nothing is written.
/// Doubles are written in the shortest text that reads back as the same double.
class LARKUTILS_EXPORT PhpCodeHelpers
{
public:
    /// [1,2,3]
    static void formatPhpArray(QTextStream* stream, const QList<int>& values);
    /// [v1,v2,...], each item as by formatVariantValue.
    static void formatPhpArray(QTextStream* stream, const QList<QVariant>& values);
    /// ['a','b',...]
    static void formatPhpArray(QTextStream* stream, const QStringList& values);
    /// [\n key=>value,... \n] in the map's order; canonical integer keys bare, others quoted.
    static void formatPhpMap(QTextStream* stream, const QMap<QString, QVariant>& map);
    /// One value: raw code for a QByteArray, single-quoted text for a string, 1/0 for a bool,
    /// numbers as such (a double read back exactly), arrays and maps; other types as their quoted text.
    static void formatVariantValue(QTextStream* stream, const QVariant& value);

    /// const name=value; // comment\n (comment only when not empty, kept on its line).
    static void writeConstant(QTextStream* stream, const QString& name, const QVariant& value,
                              const QString& comment = QString());
    ///@{
    /// const name=[...];\n
    static void writePhpArray(QTextStream* stream, const QString& name, const QList<int>& values);
    static void writePhpArray(QTextStream* stream, const QString& name, const QList<QVariant>& values);
    static void writePhpArray(QTextStream* stream, const QString& name, const QStringList& values);
    ///@}
    /// const name=[...map...];\n
    static void writePhpMap(QTextStream* stream, const QString& name, const QMap<QString, QVariant>& map);
    /// class className { const key=value; ... } with the keys as constant names, written unchanged.
    static void writePhpMapAsClassOfConstants(QTextStream* stream, const QString& className,
                                              const QMap<QString, QVariant>& map);
};

#endif // PHPCODEHELPERS_H
