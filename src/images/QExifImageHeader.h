#ifndef QEXIFIMAGEHEADER_H
#define QEXIFIMAGEHEADER_H

#include "larkutils_export.h"

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QPair>
#include <QScopedPointer>
#include <QString>
#include <QVector>

class QIODevice;

typedef QPair<quint32, quint32> QExifUnsignedRational;
typedef QPair<qint32, qint32> QExifSignedRational;

class QExifValuePrivate;

/// One typed EXIF tag value (TIFF field types). Implicitly shared and never changed once built.
class LARKUTILS_EXPORT QExifValue
{
public:
    /// The TIFF field types, by their codes.
    enum Type {
        Byte = 1,
        Ascii = 2,
        Short = 3,
        Long = 4,
        Rational = 5,
        Undefined = 7,
        SignedLong = 9,
        SignedRational = 10
    };

    /// The null value: type Byte, count 0.
    QExifValue();
    ///@{
    /// A value of the argument's elements: Byte, Ascii (count = length + 1), Short, Long,
    /// SignedLong, Rational, SignedRational or Undefined (a QByteArray).
    QExifValue(const QVector<quint8>& value);
    QExifValue(const QString& value);
    QExifValue(quint16 value);
    QExifValue(const QVector<quint16>& value);
    QExifValue(quint32 value);
    QExifValue(const QVector<quint32>& value);
    QExifValue(qint32 value);
    QExifValue(const QVector<qint32>& value);
    QExifValue(const QExifUnsignedRational& value);
    QExifValue(const QVector<QExifUnsignedRational>& value);
    QExifValue(const QVector<QExifSignedRational>& value);
    QExifValue(const QByteArray& value);
    ///@}
    ///@{
    /// Copies share the same immutable data.
    QExifValue(const QExifValue& other);
    QExifValue& operator=(const QExifValue& other);
    ~QExifValue();
    ///@}

    /// True for the shared null value only.
    bool isNull() const;
    /// TIFF type code (Type).
    int type() const;
    /// Elements; characters + 1 for Ascii, bytes for Undefined.
    int count() const;

    /// The element of a Byte or Short value of count 1, else 0.
    quint16 toShort() const;
    /// The element of a Byte, Short, Long or SignedLong value of count 1, else 0.
    quint32 toLong() const;
    /// The Latin-1 bytes of an Ascii value or the bytes of an Undefined value, else empty.
    QByteArray toByteArray() const;
    /// The Ascii text, else an empty string.
    QString toString() const;
    ///@{
    /// The elements when the type matches, else an empty vector.
    QVector<quint8> toByteVector() const;
    QVector<quint16> toShortVector() const;
    QVector<quint32> toLongVector() const;
    QVector<qint32> toSignedLongVector() const;
    QVector<QExifUnsignedRational> toRationalVector() const;
    QVector<QExifSignedRational> toSignedRationalVector() const;
    ///@}

    ///@{
    /// Same type, count and elements.
    bool operator==(const QExifValue& other) const;
    bool operator!=(const QExifValue& other) const { return !(*this == other); }
    ///@}

private:
    QExplicitlySharedDataPointer<QExifValuePrivate> d;
};

class QExifImageHeaderPrivate;

/// The EXIF block of a JPEG file: reads it into typed values and writes it back.
class LARKUTILS_EXPORT QExifImageHeader
{
public:
    /// The byte order of TIFF data ("II" or "MM").
    enum ByteOrder { LittleEndian, BigEndian };

    /// Tag numbers with a role in reading and writing.
    enum Tag : quint16 {
        Compression = 0x0103,
        Orientation = 0x0112,
        XResolution = 0x011A,
        YResolution = 0x011B,
        ResolutionUnit = 0x0128,
        JPEGInterchangeFormat = 0x0201,
        JPEGInterchangeFormatLength = 0x0202,
        ExifIfdPointer = 0x8769,
        GpsInfoIfdPointer = 0x8825,
        InteroperabilityIfdPointer = 0xA005
    };

    /// Largest APP1 payload a JPEG segment length can carry.
    static const int MAX_APP1_PAYLOAD = 65533;

    /// An empty, little-endian header.
    QExifImageHeader();
    /// Reads the EXIF block of a JPEG file; stays empty when the file cannot be opened.
    explicit QExifImageHeader(const QString& fileName);
    /// Reads the EXIF block from the device's current position.
    explicit QExifImageHeader(QIODevice* device);
    ~QExifImageHeader();

    /// One header owns its record: no copies.
    QExifImageHeader(const QExifImageHeader&) = delete;
    QExifImageHeader& operator=(const QExifImageHeader&) = delete;

    /// Empties the three directories and the thumbnail.
    void clear();

    ///@{
    /// Byte order of the TIFF data: the one read, or the one writeTiff uses.
    ByteOrder byteOrder() const;
    void setByteOrder(ByteOrder order);
    ///@}

    /// Reads the EXIF block of a JPEG file; false when it cannot be opened or holds none.
    bool readFromJpeg(const QString& fileName);
    /// Reads the EXIF block of a JPEG device; false (header empty) when it holds none.
    bool readFromJpeg(QIODevice* device);
    /// Replaces or inserts the EXIF segment of a JPEG file: the new file is renamed over the old
    /// one, which stays unchanged on any failure (false); a missing file is not created.
    bool writeIntoJpeg(const QString& fileName) const;
    /// Replaces or inserts the EXIF segment of a JPEG device; false (nothing written) when the
    /// device is sequential, not a JPEG, of an unknown first segment kind or the block too large.
    bool writeIntoJpeg(QIODevice* device) const;

    /// The TIFF data of the first APP1 segment when it is an EXIF one, else empty.
    QByteArray extractExifData(QIODevice* device) const;
    /// Reads a TIFF structure from the device's position; false for a bad header.
    bool readTiff(QIODevice* device);
    /// Writes the TIFF structure; returns the number of bytes written (-1 on a device error).
    qint64 writeTiff(QIODevice* device) const;

    ///@{
    /// Tags of the main image directory (IFD0), the EXIF directory and the GPS directory.
    QList<quint16> imageTags() const;
    QList<quint16> extendedTags() const;
    QList<quint16> gpsTags() const;
    ///@}

    /// The value of a tag of IFD0, or the null value.
    QExifValue value(quint16 tag) const;
    /// Adds or replaces a tag of IFD0.
    void setValue(quint16 tag, const QExifValue& value);
    /// The value of a tag of the EXIF directory, or the null value.
    QExifValue extendedValue(quint16 tag) const;
    /// Adds or replaces a tag of the EXIF directory.
    void setExtendedValue(quint16 tag, const QExifValue& value);
    /// The value of a tag of the GPS directory, or the null value.
    QExifValue gpsValue(quint16 tag) const;
    /// Adds or replaces a tag of the GPS directory.
    void setGpsValue(quint16 tag, const QExifValue& value);

    /// The thumbnail's JPEG bytes (empty when there is none).
    QByteArray thumbnailData() const;
    /// Sets the thumbnail's JPEG bytes; empty bytes write no thumbnail directory.
    void setThumbnailData(const QByteArray& data);
    /// XResolution, YResolution, ResolutionUnit or Orientation of the thumbnail, else null.
    QExifValue thumbnailValue(quint16 tag) const;
    /// Sets one of those four; other tags are refused with a critical message.
    void setThumbnailValue(quint16 tag, const QExifValue& value);

private:
    QScopedPointer<QExifImageHeaderPrivate> d;
};

#endif // QEXIFIMAGEHEADER_H
