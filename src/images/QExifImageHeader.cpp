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

namespace {

typedef QMap<quint16, QExifValue> ValueMap;

// ---------------------------------------------------------------------------------------------
// JPEG segments

const quint16 MARKER_APP0 = 0xFFE0;
const quint16 MARKER_APP1 = 0xFFE1;
const quint16 MARKER_SOS = 0xFFDA;
const quint16 MARKER_EOI = 0xFFD9;

// A segment's marker and length (big-endian; the length counts its own two bytes).
QByteArray jpegSegmentHead(quint16 marker, int length)
{
    QByteArray bytes;
    bytes.append(char(marker >> 8)).append(char(marker & 0xFF));
    bytes.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    return bytes;
}

QByteArray jpegSegment(quint16 marker, const QByteArray& payload)
{
    return jpegSegmentHead(marker, payload.size() + 2) + payload;
}

// Walks the segments at the head of a JPEG stream, from its start-of-image marker on: one marker
// and its length at a time, then the payload read or skipped. A length below 2 ends the walk, and
// no payload is read beyond its length, so a hostile length costs at most 64 KiB.
class JpegSegmentReader
{
public:
    explicit JpegSegmentReader(QIODevice* device) : mDevice(device) {}

    bool readStartOfImage() { return mDevice->read(2) == QByteArray("\xFF\xD8", 2); }

    // The next segment's marker and length; false at the end of the data or for a length below 2.
    bool next()
    {
        uchar b[4];
        if (mDevice->read(reinterpret_cast<char*>(b), 4) != 4)
            return false;
        mMarker = quint16((b[0] << 8) | b[1]);
        mLength = quint16((b[2] << 8) | b[3]);
        return mLength >= 2;
    }

    quint16 marker() const { return mMarker; }
    // The marker and length as they stand in the data.
    QByteArray head() const { return jpegSegmentHead(mMarker, mLength); }
    int payloadSize() const { return mLength - 2; }

    // False when the data ends first; payload then holds the bytes that were there.
    bool readPayload(QByteArray* payload)
    {
        *payload = mDevice->read(payloadSize());
        return payload->size() == payloadSize();
    }
    bool skipPayload() { return payloadSize() == 0 || mDevice->skip(payloadSize()) == payloadSize(); }

private:
    QIODevice* mDevice;
    quint16 mMarker = 0;
    quint16 mLength = 0;
};

// ---------------------------------------------------------------------------------------------
// TIFF directories, reading

// One 12-byte directory entry as read.
struct ExifIfdEntry
{
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    char field[4] = {0, 0, 0, 0};  // the 4-byte field in file order
    quint32 offset = 0;            // the same field as one number in the header's byte order
};

// Bounded view of the TIFF data: every read is checked against its size, and the out-of-line
// values taken together may not hold more bytes than the data itself (overlapping values of a
// hostile file would otherwise multiply the memory used).
class TiffReader
{
public:
    TiffReader(const QByteArray& bytes, bool big) : data(bytes), bigEndian(big), budget(bytes.size()) {}

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

QList<ExifIfdEntry> readIfdEntries(TiffReader& reader)
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

QExifValue readIfdValue(TiffReader& reader, const ExifIfdEntry& entry)
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

ValueMap readIfdValues(TiffReader& reader, const QList<ExifIfdEntry>& entries)
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

ValueMap readSubIfd(TiffReader& reader, quint32 offset)
{
    reader.pos = offset;
    return readIfdValues(reader, readIfdEntries(reader));
}

// The thumbnail directory (IFD1) at offset: the thumbnail's bytes and four of its values, taken
// only when its offset and length lie within the data. Its other tags are not kept.
void readThumbnailIfd(TiffReader& reader, quint32 offset, QExifImageHeaderPrivate& header)
{
    const ValueMap thumbnail = readSubIfd(reader, offset);
    const QExifValue start = thumbnail.value(QExifImageHeader::JPEGInterchangeFormat);
    const QExifValue length = thumbnail.value(QExifImageHeader::JPEGInterchangeFormatLength);
    if (start.type() != QExifValue::Long || start.count() != 1 || length.type() != QExifValue::Long
        || length.count() != 1 || !reader.fits(start.toLong(), length.toLong()) || !reader.spend(length.toLong()))
        return;
    header.thumbnailData = reader.data.mid(int(start.toLong()), int(length.toLong()));
    header.thumbnailXResolution = thumbnail.value(QExifImageHeader::XResolution);
    header.thumbnailYResolution = thumbnail.value(QExifImageHeader::YResolution);
    header.thumbnailResolutionUnit = thumbnail.value(QExifImageHeader::ResolutionUnit);
    header.thumbnailOrientation = thumbnail.value(QExifImageHeader::Orientation);
}

}

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
    JpegSegmentReader segments(device);
    if (!segments.readStartOfImage())
        return QByteArray();
    while (segments.next()) {
        if (segments.marker() == MARKER_APP1) {
            // "Exif", two zero bytes, the TIFF data; a segment cut short gives what there is.
            QByteArray payload;
            segments.readPayload(&payload);
            if (payload.size() < 6 || !payload.startsWith("Exif"))
                return QByteArray();
            return payload.mid(6);
        }
        // The image data starts at SOS; no EXIF segment may follow it.
        if (segments.marker() == MARKER_SOS || segments.marker() == MARKER_EOI || !segments.skipPayload())
            return QByteArray();
    }
    return QByteArray();
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

    TiffReader reader(data, bigEndian);
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
    if (ifd1Offset != 0 && ifd1Offset != ifd0Offset)
        readThumbnailIfd(reader, ifd1Offset, *d);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

// Entries of one directory as written, in order.
typedef QList<QPair<quint16, QExifValue>> IfdEntries;

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

// Bytes of a value that does not fit the 4-byte field; 0 when it fits.
quint32 outOfLineSize(const QExifValue& value)
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
quint32 entrySize(const QExifValue& value)
{
    return 12 + padded(outOfLineSize(value));
}

// Count, entries, next-directory offset and out-of-line values of one directory.
quint32 ifdSize(const IfdEntries& entries)
{
    quint32 size = 2 + 4;
    for (const auto& entry : entries)
        size += entrySize(entry.second);
    return size;
}

// The out-of-line values of the entries, one after the other.
quint32 valuesSize(const IfdEntries& entries)
{
    quint32 size = 0;
    for (const auto& entry : entries)
        size += padded(outOfLineSize(entry.second));
    return size;
}

void writeIfdEntry(QDataStream& stream, quint16 tag, const QExifValue& value, quint32& offset)
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

// Gives each value that does not fit inline the next offset from offset on.
void writeIfdEntries(QDataStream& stream, const IfdEntries& entries, quint32& offset)
{
    for (const auto& entry : entries)
        writeIfdEntry(stream, entry.first, entry.second, offset);
}

void writeIfdValue(QDataStream& stream, const QExifValue& value)
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

void writeIfdValues(QDataStream& stream, const IfdEntries& entries)
{
    for (const auto& entry : entries)
        writeIfdValue(stream, entry.second);
}

// The entries of a map in ascending tag order, less the skipped tags.
IfdEntries ifdEntries(const ValueMap& map, std::initializer_list<quint16> skipped = {})
{
    IfdEntries entries;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (std::find(skipped.begin(), skipped.end(), it.key()) == skipped.end())
            entries.append(qMakePair(it.key(), it.value()));
    }
    return entries;
}

// One directory at offset start: its count, its entries, the next directory's offset (0: none),
// then its out-of-line values.
void writeIfd(QDataStream& stream, const IfdEntries& entries, quint32 start, quint32 next = 0)
{
    quint32 valueOffset = start + 2 + 12 * quint32(entries.size()) + 4;
    stream << quint16(entries.size());
    writeIfdEntries(stream, entries, valueOffset);
    stream << next;
    writeIfdValues(stream, entries);
}

// The thumbnail directory (IFD1) at offset, its entries in their fixed order, then the bytes of
// the thumbnail itself.
void writeThumbnailIfd(QDataStream& stream, const QExifImageHeaderPrivate& header, quint32 offset)
{
    auto orDefault = [](const QExifValue& value, const QExifValue& fallback) {
        return value.isNull() ? fallback : value;
    };
    const QExifValue dpi(QExifUnsignedRational(72, 1));
    IfdEntries values;
    values << qMakePair(quint16(QExifImageHeader::XResolution), orDefault(header.thumbnailXResolution, dpi))
           << qMakePair(quint16(QExifImageHeader::YResolution), orDefault(header.thumbnailYResolution, dpi))
           << qMakePair(quint16(QExifImageHeader::ResolutionUnit),
                        orDefault(header.thumbnailResolutionUnit, QExifValue(quint16(2))))
           // Absent means upright (1); 0 is not an orientation and readers reject it.
           << qMakePair(quint16(QExifImageHeader::Orientation),
                        orDefault(header.thumbnailOrientation, QExifValue(quint16(1))));
    const int count = 7;
    const quint32 dataOffset = offset + 2 + 12 * count + 4 + valuesSize(values);
    IfdEntries entries;
    entries << qMakePair(quint16(QExifImageHeader::Compression), QExifValue(quint16(6))) << values
            << qMakePair(quint16(QExifImageHeader::JPEGInterchangeFormat), QExifValue(dataOffset))
            << qMakePair(quint16(QExifImageHeader::JPEGInterchangeFormatLength),
                         QExifValue(quint32(header.thumbnailData.size())));
    Q_ASSERT(entries.size() == count);
    writeIfd(stream, entries, offset);
    stream.writeRawData(header.thumbnailData.constData(), header.thumbnailData.size());
}

}

qint64 QExifImageHeader::writeTiff(QIODevice* device) const
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return -1;
    }
    // The directory pointers are the writer's own; values stored under their tags are not written.
    const IfdEntries image = ifdEntries(d->imageIfdValues, {ExifIfdPointer, GpsInfoIfdPointer});
    const IfdEntries exif = ifdEntries(d->exifIfdValues, {InteroperabilityIfdPointer});
    const IfdEntries gps = ifdEntries(d->gpsIfdValues);
    const bool hasGps = !gps.isEmpty();
    const bool hasThumbnail = !d->thumbnailData.isEmpty();
    // A directory count is 16 bits.
    if (image.size() > 65533 || exif.size() > 65535 || gps.size() > 65535) {
        LARK_CRITICAL << "too many entries for a TIFF directory";
        return -1;
    }

    // IFD0 right after the 8-byte header, then the EXIF, GPS and thumbnail directories.
    const quint32 pointers = hasGps ? 2 : 1;
    const quint32 exifOffset = 8 + ifdSize(image) + 12 * pointers;
    const quint32 gpsOffset = exifOffset + ifdSize(exif);
    const quint32 thumbnailOffset = gpsOffset + (hasGps ? ifdSize(gps) : 0);
    IfdEntries ifd0 = image;
    ifd0 << qMakePair(quint16(ExifIfdPointer), QExifValue(exifOffset));
    if (hasGps)
        ifd0 << qMakePair(quint16(GpsInfoIfdPointer), QExifValue(gpsOffset));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return -1;
    QDataStream stream(&buffer);
    stream.setByteOrder(d->byteOrder == BigEndian ? QDataStream::BigEndian : QDataStream::LittleEndian);

    stream.writeRawData(d->byteOrder == BigEndian ? "MM" : "II", 2);
    stream << quint16(42) << quint32(8);
    writeIfd(stream, ifd0, 8, hasThumbnail ? thumbnailOffset : 0);
    writeIfd(stream, exif, exifOffset);
    if (hasGps)
        writeIfd(stream, gps, gpsOffset);
    if (hasThumbnail)
        writeThumbnailIfd(stream, *d, thumbnailOffset);
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

    if (!device->seek(0))
        return false;
    JpegSegmentReader segments(device);
    if (!segments.readStartOfImage() || !segments.next())
        return false;
    QByteArray head("\xFF\xD8", 2);
    // A JFIF segment stays first.
    if (segments.marker() == MARKER_APP0) {
        QByteArray jfif;
        if (!segments.readPayload(&jfif) || !jfif.startsWith("JFIF"))
            return false;
        head += jpegSegment(MARKER_APP0, jfif);
        if (!segments.next())
            return false;
    }
    if (segments.marker() == MARKER_APP1) {
        QByteArray old;
        if (!segments.readPayload(&old) || !old.startsWith("Exif"))
            return false;
        // At the old payload's size at least, so that the file never becomes shorter when
        // rewritten in place.
        if (payload.size() < old.size())
            payload.append(QByteArray(old.size() - payload.size(), '\0'));
        head += jpegSegment(MARKER_APP1, payload);
    } else {
        // Inserted in front of any other segment, which follows as it was.
        head += jpegSegment(MARKER_APP1, payload) + segments.head();
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
