#include "QExifImageHeader.h"

#include "LarkLog.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Values

class QExifValuePrivate : public QSharedData
{
public:
    QExifValuePrivate(quint16 t, qint32 c) : type(t), count(c) {}
    virtual ~QExifValuePrivate() = default;

    quint16 type;
    qint32 count;
};

namespace {

template <typename T, int TYPE>
class QExifTypedValuePrivate : public QExifValuePrivate
{
public:
    QExifTypedValuePrivate(const T& v, qint32 c) : QExifValuePrivate(TYPE, c), value(v) {}
    T value;
};

}

typedef QExifTypedValuePrivate<QVector<quint8>, QExifValue::Byte> QExifByteValuePrivate;
typedef QExifTypedValuePrivate<QString, QExifValue::Ascii> QExifAsciiValuePrivate;
typedef QExifTypedValuePrivate<QVector<quint16>, QExifValue::Short> QExifShortValuePrivate;
typedef QExifTypedValuePrivate<QVector<quint32>, QExifValue::Long> QExifLongValuePrivate;
typedef QExifTypedValuePrivate<QVector<QExifUnsignedRational>, QExifValue::Rational> QExifRationalValuePrivate;
typedef QExifTypedValuePrivate<QByteArray, QExifValue::Undefined> QExifUndefinedValuePrivate;
typedef QExifTypedValuePrivate<QVector<qint32>, QExifValue::SignedLong> QExifSignedLongValuePrivate;
typedef QExifTypedValuePrivate<QVector<QExifSignedRational>, QExifValue::SignedRational> QExifSignedRationalValuePrivate;

namespace {

struct NullValueHolder
{
    QExplicitlySharedDataPointer<QExifValuePrivate> d{new QExifByteValuePrivate(QVector<quint8>(), 0)};
};
Q_GLOBAL_STATIC(NullValueHolder, sNullValue)

template <typename P>
const P* as(const QExplicitlySharedDataPointer<QExifValuePrivate>& d, int type)
{
    return d->type == type ? static_cast<const P*>(d.constData()) : nullptr;
}

}

QExifValue::QExifValue() : d(sNullValue()->d) {}
QExifValue::QExifValue(const QVector<quint8>& value) : d(new QExifByteValuePrivate(value, value.size())) {}
QExifValue::QExifValue(const QString& value) : d(new QExifAsciiValuePrivate(value, value.size() + 1)) {}
QExifValue::QExifValue(quint16 value) : d(new QExifShortValuePrivate(QVector<quint16>{value}, 1)) {}
QExifValue::QExifValue(const QVector<quint16>& value) : d(new QExifShortValuePrivate(value, value.size())) {}
QExifValue::QExifValue(quint32 value) : d(new QExifLongValuePrivate(QVector<quint32>{value}, 1)) {}
QExifValue::QExifValue(const QVector<quint32>& value) : d(new QExifLongValuePrivate(value, value.size())) {}
QExifValue::QExifValue(qint32 value) : d(new QExifSignedLongValuePrivate(QVector<qint32>{value}, 1)) {}
QExifValue::QExifValue(const QVector<qint32>& value) : d(new QExifSignedLongValuePrivate(value, value.size())) {}
QExifValue::QExifValue(const QExifUnsignedRational& value)
    : d(new QExifRationalValuePrivate(QVector<QExifUnsignedRational>{value}, 1)) {}
QExifValue::QExifValue(const QVector<QExifUnsignedRational>& value)
    : d(new QExifRationalValuePrivate(value, value.size())) {}
QExifValue::QExifValue(const QVector<QExifSignedRational>& value)
    : d(new QExifSignedRationalValuePrivate(value, value.size())) {}
QExifValue::QExifValue(const QByteArray& value) : d(new QExifUndefinedValuePrivate(value, value.size())) {}
QExifValue::QExifValue(const QExifValue& other) = default;
QExifValue& QExifValue::operator=(const QExifValue& other) = default;
QExifValue::~QExifValue() = default;

bool QExifValue::isNull() const
{
    return d == sNullValue()->d;
}

int QExifValue::type() const
{
    return d->type;
}

int QExifValue::count() const
{
    return d->count;
}

quint16 QExifValue::toShort() const
{
    if (d->count != 1)
        return 0;
    if (const auto* p = as<QExifByteValuePrivate>(d, Byte))
        return p->value.value(0);
    if (const auto* p = as<QExifShortValuePrivate>(d, Short))
        return p->value.value(0);
    return 0;
}

quint32 QExifValue::toLong() const
{
    if (d->count != 1)
        return 0;
    if (const auto* p = as<QExifByteValuePrivate>(d, Byte))
        return p->value.value(0);
    if (const auto* p = as<QExifShortValuePrivate>(d, Short))
        return p->value.value(0);
    if (const auto* p = as<QExifLongValuePrivate>(d, Long))
        return p->value.value(0);
    if (const auto* p = as<QExifSignedLongValuePrivate>(d, SignedLong))
        return quint32(p->value.value(0));
    return 0;
}

QByteArray QExifValue::toByteArray() const
{
    if (const auto* p = as<QExifAsciiValuePrivate>(d, Ascii))
        return p->value.toLatin1();
    if (const auto* p = as<QExifUndefinedValuePrivate>(d, Undefined))
        return p->value;
    return QByteArray();
}

QString QExifValue::toString() const
{
    if (const auto* p = as<QExifAsciiValuePrivate>(d, Ascii))
        return p->value;
    return QString();
}

QVector<quint8> QExifValue::toByteVector() const
{
    const auto* p = as<QExifByteValuePrivate>(d, Byte);
    return p ? p->value : QVector<quint8>();
}

QVector<quint16> QExifValue::toShortVector() const
{
    const auto* p = as<QExifShortValuePrivate>(d, Short);
    return p ? p->value : QVector<quint16>();
}

QVector<quint32> QExifValue::toLongVector() const
{
    const auto* p = as<QExifLongValuePrivate>(d, Long);
    return p ? p->value : QVector<quint32>();
}

QVector<qint32> QExifValue::toSignedLongVector() const
{
    const auto* p = as<QExifSignedLongValuePrivate>(d, SignedLong);
    return p ? p->value : QVector<qint32>();
}

QVector<QExifUnsignedRational> QExifValue::toRationalVector() const
{
    const auto* p = as<QExifRationalValuePrivate>(d, Rational);
    return p ? p->value : QVector<QExifUnsignedRational>();
}

QVector<QExifSignedRational> QExifValue::toSignedRationalVector() const
{
    const auto* p = as<QExifSignedRationalValuePrivate>(d, SignedRational);
    return p ? p->value : QVector<QExifSignedRational>();
}

bool QExifValue::operator==(const QExifValue& other) const
{
    if (d == other.d)
        return true;
    if (type() != other.type() || count() != other.count())
        return false;
    switch (type()) {
    case Byte: return toByteVector() == other.toByteVector();
    case Ascii: return toString() == other.toString();
    case Short: return toShortVector() == other.toShortVector();
    case Long: return toLongVector() == other.toLongVector();
    case Rational: return toRationalVector() == other.toRationalVector();
    case Undefined: return toByteArray() == other.toByteArray();
    case SignedLong: return toSignedLongVector() == other.toSignedLongVector();
    case SignedRational: return toSignedRationalVector() == other.toSignedRationalVector();
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Header

struct ExifIfdEntry
{
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    char field[4] = {0, 0, 0, 0};  // the 4-byte field in file order
    quint32 offset = 0;            // the same field as one number in the header's byte order
};

class QExifImageHeaderPrivate
{
public:
    QExifImageHeader::ByteOrder byteOrder = QExifImageHeader::LittleEndian;
    QMap<quint16, QExifValue> imageIfdValues;
    QMap<quint16, QExifValue> exifIfdValues;
    QMap<quint16, QExifValue> gpsIfdValues;
    QByteArray thumbnailData;
    QExifValue thumbnailXResolution;
    QExifValue thumbnailYResolution;
    QExifValue thumbnailResolutionUnit;
    QExifValue thumbnailOrientation;
};

// Bounded view of the TIFF data: every read is checked against its size, and the out-of-line
// values taken together may not hold more bytes than the data itself (overlapping values of a
// hostile file would otherwise multiply the memory used).
class QExifImageHeader::Reader
{
public:
    Reader(const QByteArray& bytes, bool big) : data(bytes), bigEndian(big), budget(bytes.size()) {}

    bool fits(quint64 offset, quint64 length) const
    {
        const quint64 size = quint64(data.size());
        return offset <= size && length <= size - offset;
    }
    // Takes length bytes of the budget; false when the data cannot hold that many more.
    bool spend(quint64 length)
    {
        if (length > budget)
            return false;
        budget -= length;
        return true;
    }
    const uchar* at(quint32 offset) const { return reinterpret_cast<const uchar*>(data.constData()) + offset; }
    quint16 u16(const uchar* p) const
    {
        return bigEndian ? quint16((p[0] << 8) | p[1]) : quint16((p[1] << 8) | p[0]);
    }
    quint32 u32(const uchar* p) const
    {
        return bigEndian ? (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3]
                         : (quint32(p[3]) << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
    }
    quint16 u16(quint32 offset) const { return u16(at(offset)); }
    quint32 u32(quint32 offset) const { return u32(at(offset)); }

    QByteArray data;
    bool bigEndian;
    quint64 budget;
    quint32 pos = 0;
};

QExifImageHeader::QExifImageHeader() : d(new QExifImageHeaderPrivate) {}

QExifImageHeader::QExifImageHeader(const QString& fileName) : d(new QExifImageHeaderPrivate)
{
    readFromJpeg(fileName);
}

QExifImageHeader::QExifImageHeader(QIODevice* device) : d(new QExifImageHeaderPrivate)
{
    readFromJpeg(device);
}

QExifImageHeader::~QExifImageHeader() = default;

void QExifImageHeader::clear()
{
    d->imageIfdValues.clear();
    d->exifIfdValues.clear();
    d->gpsIfdValues.clear();
    d->thumbnailData.clear();
    d->thumbnailXResolution = QExifValue();
    d->thumbnailYResolution = QExifValue();
    d->thumbnailResolutionUnit = QExifValue();
    d->thumbnailOrientation = QExifValue();
}

QExifImageHeader::ByteOrder QExifImageHeader::byteOrder() const
{
    return d->byteOrder;
}

void QExifImageHeader::setByteOrder(ByteOrder order)
{
    d->byteOrder = order;
}

QList<quint16> QExifImageHeader::imageTags() const { return d->imageIfdValues.keys(); }
QList<quint16> QExifImageHeader::extendedTags() const { return d->exifIfdValues.keys(); }
QList<quint16> QExifImageHeader::gpsTags() const { return d->gpsIfdValues.keys(); }

QExifValue QExifImageHeader::value(quint16 tag) const { return d->imageIfdValues.value(tag); }
void QExifImageHeader::setValue(quint16 tag, const QExifValue& value) { d->imageIfdValues[tag] = value; }
QExifValue QExifImageHeader::extendedValue(quint16 tag) const { return d->exifIfdValues.value(tag); }
void QExifImageHeader::setExtendedValue(quint16 tag, const QExifValue& value) { d->exifIfdValues[tag] = value; }
QExifValue QExifImageHeader::gpsValue(quint16 tag) const { return d->gpsIfdValues.value(tag); }
void QExifImageHeader::setGpsValue(quint16 tag, const QExifValue& value) { d->gpsIfdValues[tag] = value; }

QByteArray QExifImageHeader::thumbnailData() const { return d->thumbnailData; }
void QExifImageHeader::setThumbnailData(const QByteArray& data) { d->thumbnailData = data; }

QExifValue QExifImageHeader::thumbnailValue(quint16 tag) const
{
    switch (tag) {
    case XResolution: return d->thumbnailXResolution;
    case YResolution: return d->thumbnailYResolution;
    case ResolutionUnit: return d->thumbnailResolutionUnit;
    case Orientation: return d->thumbnailOrientation;
    }
    return QExifValue();
}

void QExifImageHeader::setThumbnailValue(quint16 tag, const QExifValue& value)
{
    switch (tag) {
    case XResolution: d->thumbnailXResolution = value; return;
    case YResolution: d->thumbnailYResolution = value; return;
    case ResolutionUnit: d->thumbnailResolutionUnit = value; return;
    case Orientation: d->thumbnailOrientation = value; return;
    }
    LARK_CRITICAL << "not a thumbnail tag" << int(tag);
}

// ---------------------------------------------------------------------------------------------
// Reading

bool QExifImageHeader::readFromJpeg(const QString& fileName)
{
    // Only files: opening a FIFO would wait for a writer, a device might never end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return readFromJpeg(&file);
}

bool QExifImageHeader::readFromJpeg(QIODevice* device)
{
    clear();
    if (!device) {
        LARK_CRITICAL << "null device";
        return false;
    }
    QByteArray exifData = extractExifData(device);
    if (exifData.isEmpty())
        return false;
    QBuffer buffer(&exifData);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    return readTiff(&buffer);
}

QByteArray QExifImageHeader::extractExifData(QIODevice* device) const
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return QByteArray();
    }
    if (device->read(2) != QByteArray("\xFF\xD8", 2))
        return QByteArray();

    auto readU16 = [device](quint16& value) {
        uchar b[2];
        if (device->read(reinterpret_cast<char*>(b), 2) != 2)
            return false;
        value = quint16((b[0] << 8) | b[1]);
        return true;
    };

    quint16 marker = 0;
    if (!readU16(marker))
        return QByteArray();
    while (marker != 0xFFE1) {
        // The image data starts at SOS; no EXIF segment may follow it.
        if (device->atEnd() || marker == 0xFFDA || marker == 0xFFD9)
            return QByteArray();
        quint16 length = 0;
        if (!readU16(length) || length < 2)
            return QByteArray();
        if (length > 2 && device->skip(length - 2) != length - 2)
            return QByteArray();
        if (!readU16(marker))
            return QByteArray();
    }

    quint16 length = 0;
    if (!readU16(length) || length < 8)
        return QByteArray();
    if (device->read(4) != "Exif")
        return QByteArray();
    if (device->skip(2) != 2)
        return QByteArray();
    return device->read(length - 8);
}

QList<ExifIfdEntry> QExifImageHeader::readIfdEntries(Reader& reader) const
{
    QList<ExifIfdEntry> entries;
    if (!reader.fits(reader.pos, 2))
        return entries;
    const quint32 count = reader.u16(reader.pos);
    reader.pos += 2;
    // A count larger than the data can hold reads only the entries that are there.
    const quint32 available = quint32((quint64(reader.data.size()) - reader.pos) / 12);
    const quint32 n = std::min(count, available);
    entries.reserve(int(n));
    for (quint32 i = 0; i < n; ++i) {
        const uchar* p = reader.at(reader.pos);
        ExifIfdEntry entry;
        entry.tag = reader.u16(p);
        entry.type = reader.u16(p + 2);
        entry.count = reader.u32(p + 4);
        std::copy(p + 8, p + 12, entry.field);
        entry.offset = reader.u32(p + 8);
        entries.append(entry);
        reader.pos += 12;
    }
    return entries;
}

QExifValue QExifImageHeader::readIfdValue(Reader& reader, const ExifIfdEntry& entry) const
{
    const quint32 count = entry.count;
    const uchar* inlineBytes = reinterpret_cast<const uchar*>(entry.field);
    // Out-of-line data must lie within the data and within the budget; else the entry is dropped.
    auto outOfLine = [&](quint64 size) -> const uchar* {
        if (!reader.fits(entry.offset, size) || !reader.spend(size))
            return nullptr;
        return reader.at(entry.offset);
    };

    switch (entry.type) {
    case QExifValue::Byte: {
        const uchar* p = count <= 4 ? inlineBytes : outOfLine(count);
        if (!p)
            return QExifValue();
        return QExifValue(QVector<quint8>(p, p + count));
    }
    case QExifValue::Ascii: {
        if (count == 0)
            return QExifValue(QString());
        const uchar* p = count <= 4 ? inlineBytes : outOfLine(count);
        if (!p)
            return QExifValue();
        // The text ends at the first NUL; cameras also write it without any, or with several.
        const uchar* end = std::find(p, p + count, uchar(0));
        return QExifValue(QString::fromLatin1(reinterpret_cast<const char*>(p), int(end - p)));
    }
    case QExifValue::Short: {
        const uchar* p = count <= 2 ? inlineBytes : outOfLine(quint64(count) * 2);
        if (!p)
            return QExifValue();
        QVector<quint16> values(static_cast<int>(count));
        for (quint32 i = 0; i < count; ++i)
            values[int(i)] = reader.u16(p + 2 * i);
        return QExifValue(values);
    }
    case QExifValue::Long:
    case QExifValue::SignedLong: {
        QVector<quint32> values;
        if (count == 1) {
            values.append(entry.offset);
        } else if (count > 1) {
            const uchar* p = outOfLine(quint64(count) * 4);
            if (!p)
                return QExifValue();
            values.resize(int(count));
            for (quint32 i = 0; i < count; ++i)
                values[int(i)] = reader.u32(p + 4 * i);
        }
        if (entry.type == QExifValue::Long)
            return QExifValue(values);
        return QExifValue(QVector<qint32>(values.cbegin(), values.cend()));
    }
    case QExifValue::Rational:
    case QExifValue::SignedRational: {
        QVector<QExifUnsignedRational> values;
        if (count > 0) {
            const uchar* p = outOfLine(quint64(count) * 8);
            if (!p)
                return QExifValue();
            values.resize(int(count));
            for (quint32 i = 0; i < count; ++i)
                values[int(i)] = qMakePair(reader.u32(p + 8 * i), reader.u32(p + 8 * i + 4));
        }
        if (entry.type == QExifValue::Rational)
            return QExifValue(values);
        QVector<QExifSignedRational> signedValues;
        signedValues.reserve(values.size());
        for (const auto& v : values)
            signedValues.append(qMakePair(qint32(v.first), qint32(v.second)));
        return QExifValue(signedValues);
    }
    case QExifValue::Undefined: {
        const uchar* p = count <= 4 ? inlineBytes : outOfLine(count);
        if (!p)
            return QExifValue();
        return QExifValue(QByteArray(reinterpret_cast<const char*>(p), int(count)));
    }
    default:
        qWarning() << "Invalid Ifd Type" << entry.type;
        return QExifValue();
    }
}

QExifImageHeader::ValueMap QExifImageHeader::readIfdValues(Reader& reader,
                                                           const QList<ExifIfdEntry>& entries) const
{
    ValueMap values;
    for (const ExifIfdEntry& entry : entries) {
        const QExifValue value = readIfdValue(reader, entry);
        const bool supported = entry.type >= 1 && entry.type <= 10 && entry.type != 6 && entry.type != 8;
        // A supported entry whose data lies outside the TIFF data is not kept at all.
        if (value.isNull() && supported)
            continue;
        values.insert(entry.tag, value);
    }
    return values;
}

QExifImageHeader::ValueMap QExifImageHeader::readSubIfd(Reader& reader, quint32 offset) const
{
    reader.pos = offset;
    return readIfdValues(reader, readIfdEntries(reader));
}

bool QExifImageHeader::readTiff(QIODevice* device)
{
    clear();
    if (!device) {
        LARK_CRITICAL << "null device";
        return false;
    }
    // Everything from the base on; offsets count from it.
    const QByteArray data = device->readAll();
    if (data.size() < 8)
        return false;
    bool bigEndian = false;
    if (data.startsWith("II"))
        bigEndian = false;
    else if (data.startsWith("MM"))
        bigEndian = true;
    else
        return false;
    d->byteOrder = bigEndian ? BigEndian : LittleEndian;

    Reader reader(data, bigEndian);
    if (reader.u16(2) != 42)
        return false;
    const quint32 ifd0Offset = reader.u32(4);

    reader.pos = ifd0Offset;
    const QList<ExifIfdEntry> entries = readIfdEntries(reader);
    quint32 ifd1Offset = 0;
    if (reader.fits(reader.pos, 4))
        ifd1Offset = reader.u32(reader.pos);
    d->imageIfdValues = readIfdValues(reader, entries);

    const QExifValue exifPointer = d->imageIfdValues.take(ExifIfdPointer);
    const QExifValue gpsPointer = d->imageIfdValues.take(GpsInfoIfdPointer);
    if (exifPointer.type() == QExifValue::Long && exifPointer.count() == 1)
        d->exifIfdValues = readSubIfd(reader, exifPointer.toLong());
    if (gpsPointer.type() == QExifValue::Long && gpsPointer.count() == 1)
        d->gpsIfdValues = readSubIfd(reader, gpsPointer.toLong());
    d->exifIfdValues.remove(InteroperabilityIfdPointer);

    // An IFD1 offset that points back at IFD0 is a loop, not a thumbnail directory.
    if (ifd1Offset != 0 && ifd1Offset != ifd0Offset) {
        const ValueMap thumbnail = readSubIfd(reader, ifd1Offset);
        const QExifValue offset = thumbnail.value(JPEGInterchangeFormat);
        const QExifValue length = thumbnail.value(JPEGInterchangeFormatLength);
        if (offset.type() == QExifValue::Long && offset.count() == 1
            && length.type() == QExifValue::Long && length.count() == 1
            && reader.fits(offset.toLong(), length.toLong()) && reader.spend(length.toLong())) {
            d->thumbnailData = data.mid(int(offset.toLong()), int(length.toLong()));
            d->thumbnailXResolution = thumbnail.value(XResolution);
            d->thumbnailYResolution = thumbnail.value(YResolution);
            d->thumbnailResolutionUnit = thumbnail.value(ResolutionUnit);
            d->thumbnailOrientation = thumbnail.value(Orientation);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

quint32 padded(quint32 size)
{
    return size + (size & 1);
}

// The bytes of a text as written: Latin-1 up to its first NUL (a NUL inside would end it early).
QByteArray asciiText(const QExifValue& value)
{
    QByteArray text = value.toByteArray();
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

// The count as written: a text counts its terminating NUL, written exactly once.
quint32 writtenCount(const QExifValue& value)
{
    if (value.type() == QExifValue::Ascii)
        return quint32(asciiText(value).size()) + 1;
    return quint32(std::max(0, value.count()));
}

}

// Bytes of a value that does not fit the 4-byte field; 0 when it fits.
quint32 QExifImageHeader::outOfLineSize(const QExifValue& value)
{
    const quint32 count = writtenCount(value);
    switch (value.type()) {
    case QExifValue::Byte:
    case QExifValue::Ascii:
    case QExifValue::Undefined:
        return count > 4 ? count : 0;
    case QExifValue::Short:
        return count > 2 ? 2 * count : 0;
    case QExifValue::Long:
    case QExifValue::SignedLong:
        return count > 1 ? 4 * count : 0;
    case QExifValue::Rational:
    case QExifValue::SignedRational:
        return 8 * count;
    }
    return 0;
}

// Every out-of-line value keeps an even length (one zero pad byte after an odd one).
quint32 QExifImageHeader::entrySize(const QExifValue& value)
{
    return 12 + padded(outOfLineSize(value));
}

// Count, entries, next-directory offset and out-of-line values of one directory.
quint32 QExifImageHeader::ifdSize(const QList<QPair<quint16, QExifValue>>& entries) const
{
    quint32 size = 2 + 4;
    for (const auto& entry : entries)
        size += entrySize(entry.second);
    return size;
}

void QExifImageHeader::writeIfdEntry(QDataStream& stream, quint16 tag, const QExifValue& value,
                                     quint32& offset) const
{
    stream << tag << quint16(value.type()) << writtenCount(value);
    const quint32 size = outOfLineSize(value);
    if (size > 0) {
        stream << offset;
        offset += padded(size);
        return;
    }
    switch (value.type()) {
    case QExifValue::Byte: {
        const QVector<quint8> bytes = value.toByteVector();
        for (int i = 0; i < 4; ++i)
            stream << quint8(i < bytes.size() ? bytes.at(i) : 0);
        break;
    }
    case QExifValue::Ascii:
    case QExifValue::Undefined: {
        const QByteArray bytes = value.type() == QExifValue::Ascii ? asciiText(value) : value.toByteArray();
        for (int i = 0; i < 4; ++i)
            stream << quint8(i < bytes.size() ? bytes.at(i) : 0);
        break;
    }
    case QExifValue::Short: {
        const QVector<quint16> numbers = value.toShortVector();
        for (int i = 0; i < 2; ++i)
            stream << quint16(i < numbers.size() ? numbers.at(i) : 0);
        break;
    }
    case QExifValue::Long:
        stream << value.toLongVector().value(0);
        break;
    case QExifValue::SignedLong:
        stream << value.toSignedLongVector().value(0);
        break;
    default:
        stream << quint32(0);
        break;
    }
}

void QExifImageHeader::writeIfdEntries(QDataStream& stream,
                                       const QList<QPair<quint16, QExifValue>>& entries,
                                       quint32& offset) const
{
    for (const auto& entry : entries)
        writeIfdEntry(stream, entry.first, entry.second, offset);
}

void QExifImageHeader::writeIfdValue(QDataStream& stream, const QExifValue& value) const
{
    const quint32 size = outOfLineSize(value);
    if (size == 0)
        return;
    switch (value.type()) {
    case QExifValue::Byte:
        for (quint8 b : value.toByteVector())
            stream << b;
        break;
    case QExifValue::Ascii: {
        const QByteArray text = asciiText(value);
        stream.writeRawData(text.constData(), text.size());
        stream << quint8(0);
        break;
    }
    case QExifValue::Undefined: {
        const QByteArray bytes = value.toByteArray();
        stream.writeRawData(bytes.constData(), bytes.size());
        break;
    }
    case QExifValue::Short:
        for (quint16 n : value.toShortVector())
            stream << n;
        break;
    case QExifValue::Long:
        for (quint32 n : value.toLongVector())
            stream << n;
        break;
    case QExifValue::SignedLong:
        for (qint32 n : value.toSignedLongVector())
            stream << n;
        break;
    case QExifValue::Rational:
        for (const auto& r : value.toRationalVector())
            stream << r.first << r.second;
        break;
    case QExifValue::SignedRational:
        for (const auto& r : value.toSignedRationalVector())
            stream << r.first << r.second;
        break;
    }
    if (size & 1)
        stream << quint8(0);
}

void QExifImageHeader::writeIfdValues(QDataStream& stream,
                                      const QList<QPair<quint16, QExifValue>>& entries) const
{
    for (const auto& entry : entries)
        writeIfdValue(stream, entry.second);
}

qint64 QExifImageHeader::writeTiff(QIODevice* device) const
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return -1;
    }
    typedef QList<QPair<quint16, QExifValue>> Entries;
    auto entriesOf = [](const ValueMap& map, std::initializer_list<quint16> skipped) {
        Entries entries;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (std::find(skipped.begin(), skipped.end(), it.key()) == skipped.end())
                entries.append(qMakePair(it.key(), it.value()));
        }
        return entries;
    };
    // The directory pointers are the writer's own; values stored under their tags are not written.
    const Entries image = entriesOf(d->imageIfdValues, {ExifIfdPointer, GpsInfoIfdPointer});
    const Entries exif = entriesOf(d->exifIfdValues, {InteroperabilityIfdPointer});
    const Entries gps = entriesOf(d->gpsIfdValues, {});
    const bool hasGps = !gps.isEmpty();
    const bool hasThumbnail = !d->thumbnailData.isEmpty();
    // A directory count is 16 bits.
    if (image.size() > 65533 || exif.size() > 65535 || gps.size() > 65535) {
        LARK_CRITICAL << "too many entries for a TIFF directory";
        return -1;
    }

    const quint32 ifd0Count = quint32(image.size()) + (hasGps ? 2 : 1);
    quint32 imageValues = 0;
    for (const auto& entry : image)
        imageValues += padded(outOfLineSize(entry.second));
    const quint32 firstImageValue = 8 + 2 + 12 * ifd0Count + 4;
    const quint32 exifOffset = firstImageValue + imageValues;
    const quint32 gpsOffset = exifOffset + ifdSize(exif);
    const quint32 thumbnailOffset = gpsOffset + (hasGps ? ifdSize(gps) : 0);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return -1;
    QDataStream stream(&buffer);
    stream.setByteOrder(d->byteOrder == BigEndian ? QDataStream::BigEndian : QDataStream::LittleEndian);

    stream.writeRawData(d->byteOrder == BigEndian ? "MM" : "II", 2);
    stream << quint16(42) << quint32(8);

    // IFD0
    quint32 offset = firstImageValue;
    stream << quint16(ifd0Count);
    writeIfdEntries(stream, image, offset);
    stream << quint16(ExifIfdPointer) << quint16(QExifValue::Long) << quint32(1) << exifOffset;
    if (hasGps)
        stream << quint16(GpsInfoIfdPointer) << quint16(QExifValue::Long) << quint32(1) << gpsOffset;
    stream << quint32(hasThumbnail ? thumbnailOffset : 0);
    writeIfdValues(stream, image);

    auto writeDirectory = [&](const Entries& entries, quint32 start) {
        quint32 valueOffset = start + 2 + 12 * quint32(entries.size()) + 4;
        stream << quint16(entries.size());
        writeIfdEntries(stream, entries, valueOffset);
        stream << quint32(0);
        writeIfdValues(stream, entries);
    };
    writeDirectory(exif, exifOffset);
    if (hasGps)
        writeDirectory(gps, gpsOffset);

    if (hasThumbnail) {
        auto orDefault = [](const QExifValue& value, const QExifValue& fallback) {
            return value.isNull() ? fallback : value;
        };
        const QExifValue dpi(QExifUnsignedRational(72, 1));
        Entries values;
        values << qMakePair(quint16(XResolution), orDefault(d->thumbnailXResolution, dpi))
               << qMakePair(quint16(YResolution), orDefault(d->thumbnailYResolution, dpi))
               << qMakePair(quint16(ResolutionUnit), orDefault(d->thumbnailResolutionUnit, QExifValue(quint16(2))))
               // Absent means upright (1); 0 is not an orientation and readers reject it.
               << qMakePair(quint16(Orientation), orDefault(d->thumbnailOrientation, QExifValue(quint16(1))));
        quint32 valueOffset = thumbnailOffset + 2 + 7 * 12 + 4;
        quint32 dataOffset = valueOffset;
        for (const auto& entry : values)
            dataOffset += padded(outOfLineSize(entry.second));
        Entries entries;
        entries << qMakePair(quint16(Compression), QExifValue(quint16(6))) << values
                << qMakePair(quint16(JPEGInterchangeFormat), QExifValue(quint32(dataOffset)))
                << qMakePair(quint16(JPEGInterchangeFormatLength),
                             QExifValue(quint32(d->thumbnailData.size())));
        stream << quint16(7);
        writeIfdEntries(stream, entries, valueOffset);
        stream << quint32(0);
        writeIfdValues(stream, entries);
        stream.writeRawData(d->thumbnailData.constData(), d->thumbnailData.size());
    }
    buffer.close();

    const qint64 written = device->write(bytes);
    return written == bytes.size() ? written : -1;
}

// The new file is written beside the old one and renamed over it, so that a failure (a full disk,
// an unreadable file) leaves the photo as it was; a file that is not there is never created.
bool QExifImageHeader::writeIntoJpeg(const QString& fileName) const
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        return false;
    // A link keeps pointing at the rewritten photo.
    const QString target = info.canonicalFilePath();
    QByteArray bytes;
    {
        QFile original(target);
        if (!original.open(QIODevice::ReadOnly))
            return false;
        bytes = original.readAll();
        if (original.error() != QFileDevice::NoError)
            return false;
    }
    {
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::ReadWrite) || !writeIntoJpeg(&buffer))
            return false;
    }

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        LARK_WARNING << "cannot write" << target << file.errorString();
        return false;
    }
    // QSaveFile::commit() does not report a failed flush of its buffer: flush and check first.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        LARK_WARNING << "cannot write" << target << file.errorString();
        file.cancelWriting();
        return false;
    }
    // Gone meanwhile: not brought back.
    if (!QFileInfo::exists(target)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        LARK_WARNING << "cannot replace" << target << file.errorString();
        return false;
    }
    return true;
}

bool QExifImageHeader::writeIntoJpeg(QIODevice* device) const
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return false;
    }
    if (device->isSequential() || !device->isReadable() || !device->isWritable())
        return false;

    QByteArray tiff;
    QBuffer buffer(&tiff);
    if (!buffer.open(QIODevice::WriteOnly) || writeTiff(&buffer) < 0)
        return false;
    buffer.close();
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    // A segment length is 16 bits and counts itself: larger blocks cannot be stored.
    if (payload.size() > MAX_APP1_PAYLOAD) {
        LARK_WARNING << "EXIF block too large for a JPEG segment:" << payload.size() << "bytes";
        return false;
    }

    if (!device->seek(0) || device->read(2) != QByteArray("\xFF\xD8", 2))
        return false;
    auto readSegmentHead = [device](quint16& marker, quint16& length) {
        uchar b[4];
        if (device->read(reinterpret_cast<char*>(b), 4) != 4)
            return false;
        marker = quint16((b[0] << 8) | b[1]);
        length = quint16((b[2] << 8) | b[3]);
        return true;
    };
    auto readPayload = [device](quint16 length, QByteArray& payload) {
        if (length < 2)
            return false;
        payload = device->read(length - 2);
        return payload.size() == length - 2;
    };
    auto segmentHead = [](quint16 marker, int length) {
        QByteArray bytes;
        bytes.append(char(marker >> 8)).append(char(marker & 0xFF));
        bytes.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
        return bytes;
    };
    auto segment = [&segmentHead](quint16 marker, const QByteArray& payload) {
        return segmentHead(marker, payload.size() + 2) + payload;
    };
    // The old payload's size, so that the file never becomes shorter when rewritten in place.
    auto replacing = [&payload](const QByteArray& old) {
        if (payload.size() < old.size())
            payload.append(QByteArray(old.size() - payload.size(), '\0'));
    };

    QByteArray head("\xFF\xD8", 2);
    quint16 marker = 0, length = 0;
    if (!readSegmentHead(marker, length))
        return false;
    if (marker == 0xFFE0) {
        QByteArray jfif;
        if (!readPayload(length, jfif) || !jfif.startsWith("JFIF"))
            return false;
        head += segment(0xFFE0, jfif);
        quint16 nextMarker = 0, nextLength = 0;
        if (!readSegmentHead(nextMarker, nextLength))
            return false;
        if (nextMarker == 0xFFE1) {
            QByteArray old;
            if (!readPayload(nextLength, old) || !old.startsWith("Exif"))
                return false;
            replacing(old);
            head += segment(0xFFE1, payload);
        } else {
            head += segment(0xFFE1, payload);
            head += segmentHead(nextMarker, nextLength);
        }
    } else if (marker == 0xFFE1) {
        QByteArray old;
        if (!readPayload(length, old) || !old.startsWith("Exif"))
            return false;
        replacing(old);
        head += segment(0xFFE1, payload);
    } else {
        head += segment(0xFFE1, payload);
        head += segmentHead(marker, length);
    }
    const QByteArray rest = device->readAll();

    if (!device->seek(0))
        return false;
    if (device->write(head) != head.size() || device->write(rest) != rest.size())
        return false;
    if (auto* file = qobject_cast<QFileDevice*>(device)) {
        if (!file->flush())
            return false;
    }
    return true;
}
