#ifndef CODEWRITERPRIVATE_H
#define CODEWRITERPRIVATE_H

// The frame shared by the PHP and JavaScript writers (not installed): arrays, maps and the value
// mapping are the same in both languages; a dialect supplies what differs (quoting, numbers,
// and which array and map writers nested values go to).

#include "LarkLog.h"

#include <QMap>
#include <QStringList>
#include <QTextStream>
#include <QVariant>

// The writers' guard against a null stream: logs the misuse (in the calling function's name) and returns.
#define LARK_CHECK_STREAM(stream)                     \
    if (!(stream)) {                                  \
        LARK_CRITICAL << "bad usage!! null stream";   \
        return;                                       \
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

// One value by the value mapping. Dialect has static quoted(QString), writeDouble(stream, double),
// writeLongLong(stream, qint64), writeStringList, writeList and writeMap(stream, value).
template <typename Dialect>
void writeVariant(QTextStream& stream, const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::QByteArray:
        stream << QString::fromUtf8(value.toByteArray()); // a raw expression
        break;
    case QMetaType::QString:
        stream << Dialect::quoted(value.toString());
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
        stream << Dialect::quoted(value.toString());
        break;
    }
}

} // namespace CodeWriter

#endif // CODEWRITERPRIVATE_H
