#ifndef EXIFFIXTURES_H
#define EXIFFIXTURES_H

// Test images made byte by byte: TIFF/EXIF blocks laid out by hand and JPEG files written by Qt
// with such a block inserted as an APP1 segment.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>
#include <QPair>
#include <QVector>

namespace ExifFixtures {

struct Entry
{
    quint16 tag;
    quint16 type;
    quint32 count;
    QByteArray value;  // raw value bytes, already in the file's byte order
};

// A TIFF structure with IFD0, EXIF, GPS, interoperability and thumbnail directories, laid out as
// cameras do: ascending tags, next-directory offsets, values at even offsets.
class Tiff
{
public:
    explicit Tiff(bool bigEndian = false) : big(bigEndian) {}

    QByteArray u16(quint16 v) const
    {
        QByteArray b(2, '\0');
        b[big ? 0 : 1] = char(v >> 8);
        b[big ? 1 : 0] = char(v & 0xFF);
        return b;
    }
    QByteArray u32(quint32 v) const
    {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[big ? 3 - i : i] = char((v >> (8 * i)) & 0xFF);
        return b;
    }

    Entry bytes(quint16 tag, const QByteArray& v) const { return {tag, 1, quint32(v.size()), v}; }
    Entry ascii(quint16 tag, const QByteArray& text) const
    {
        return {tag, 2, quint32(text.size() + 1), text + '\0'};
    }
    Entry shorts(quint16 tag, const QVector<quint16>& v) const
    {
        QByteArray b;
        for (quint16 x : v)
            b += u16(x);
        return {tag, 3, quint32(v.size()), b};
    }
    Entry longs(quint16 tag, const QVector<quint32>& v, quint16 type = 4) const
    {
        QByteArray b;
        for (quint32 x : v)
            b += u32(x);
        return {tag, type, quint32(v.size()), b};
    }
    Entry rationals(quint16 tag, const QVector<QPair<quint32, quint32>>& v, quint16 type = 5) const
    {
        QByteArray b;
        for (const auto& x : v)
            b += u32(x.first) + u32(x.second);
        return {tag, type, quint32(v.size()), b};
    }
    Entry undefined(quint16 tag, const QByteArray& v) const { return {tag, 7, quint32(v.size()), v}; }

    static quint32 padded(quint32 n) { return n + (n & 1); }
    static quint32 dirSize(const QList<Entry>& entries)
    {
        quint32 size = 2 + 12 * quint32(entries.size()) + 4;
        for (const Entry& e : entries)
            if (e.value.size() > 4)
                size += padded(quint32(e.value.size()));
        return size;
    }
    static void sortByTag(QList<Entry>& entries)
    {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    }

    QByteArray directory(const QList<Entry>& entries, quint32 start, quint32 next) const
    {
        QByteArray dir = u16(quint16(entries.size()));
        QByteArray values;
        quint32 valueOffset = start + 2 + 12 * quint32(entries.size()) + 4;
        for (const Entry& e : entries) {
            dir += u16(e.tag) + u16(e.type) + u32(e.count);
            if (e.value.size() <= 4) {
                dir += e.value + QByteArray(4 - e.value.size(), '\0');
            } else {
                dir += u32(valueOffset + quint32(values.size()));
                values += e.value;
                if (e.value.size() & 1)
                    values += '\0';
            }
        }
        return dir + u32(next) + values;
    }

    QByteArray build() const
    {
        QList<Entry> d0 = ifd0, dExif = exif, dGps = gps, dInterop = interop, d1 = ifd1;
        // Pointer values are inline, so directory sizes are known before the pointers are set.
        if (!dInterop.isEmpty())
            dExif.append(longs(0xA005, {0}));
        if (!dExif.isEmpty())
            d0.append(longs(0x8769, {0}));
        if (!dGps.isEmpty())
            d0.append(longs(0x8825, {0}));
        if (!thumbnail.isEmpty()) {
            d1.append(longs(0x0201, {0}));
            d1.append(longs(0x0202, {quint32(thumbnail.size())}));
        }
        for (QList<Entry>* l : {&d0, &dExif, &dGps, &d1, &dInterop})
            sortByTag(*l);

        const quint32 o0 = 8;
        const quint32 oExif = o0 + dirSize(d0);
        const quint32 oInterop = oExif + (dExif.isEmpty() ? 0 : dirSize(dExif));
        const quint32 oGps = oInterop + (dInterop.isEmpty() ? 0 : dirSize(dInterop));
        const quint32 o1 = oGps + (dGps.isEmpty() ? 0 : dirSize(dGps));
        const quint32 oThumb = o1 + (d1.isEmpty() ? 0 : dirSize(d1));
        auto setPointer = [this](QList<Entry>& l, quint16 tag, quint32 value) {
            for (Entry& e : l)
                if (e.tag == tag)
                    e.value = u32(value);
        };
        setPointer(d0, 0x8769, oExif);
        setPointer(d0, 0x8825, oGps);
        setPointer(dExif, 0xA005, oInterop);
        setPointer(d1, 0x0201, oThumb);

        QByteArray out = QByteArray(big ? "MM" : "II") + u16(42) + u32(8);
        out += directory(d0, o0, d1.isEmpty() ? 0 : o1);
        if (!dExif.isEmpty())
            out += directory(dExif, oExif, 0);
        if (!dInterop.isEmpty())
            out += directory(dInterop, oInterop, 0);
        if (!dGps.isEmpty())
            out += directory(dGps, oGps, 0);
        if (!d1.isEmpty())
            out += directory(d1, o1, 0);
        return out + thumbnail;
    }

    bool big;
    QList<Entry> ifd0, exif, gps, interop, ifd1;
    QByteArray thumbnail;
};

// Ascii values as cameras and phones write them: with one NUL, none, several, or a count of 0.
struct AsciiForm
{
    const char* name;
    QByteArray raw;    // the value's bytes as stored
    quint32 count;     // the count of the entry
    QByteArray text;   // what a reader gives
};

inline QList<AsciiForm> asciiForms()
{
    return {
        {"count 0", QByteArray(), 0, ""},
        {"inline 1, no NUL", "N", 1, "N"},
        {"inline 1, NUL only", QByteArray(1, '\0'), 1, ""},
        {"inline 2, one NUL", QByteArray("E\0", 2), 2, "E"},
        {"inline 2, no NUL", "ab", 2, "ab"},
        {"inline 3, no NUL (HTC)", "HTC", 3, "HTC"},
        {"inline 3, one NUL", QByteArray("R9\0", 3), 3, "R9"},
        {"inline 4, no NUL", "abcd", 4, "abcd"},
        {"inline 4, several NULs", QByteArray("0\0\0\0", 4), 4, "0"},
        {"inline 4, NUL inside", QByteArray("a\0bc", 4), 4, "a"},
        {"offset, one NUL", QByteArray("Firmware 1.2\0", 13), 13, "Firmware 1.2"},
        {"offset, no NUL (RAPH800)", "RAPH800", 7, "RAPH800"},
        {"offset, date of 19", "2014:04:26 19:09:10", 19, "2014:04:26 19:09:10"},
        {"offset, several NULs", QByteArray("Canon\0\0\0", 8), 8, "Canon"},
        {"offset, text after a NUL", QByteArray("Lark\0junk\0", 10), 10, "Lark"},
        {"offset, NULs only", QByteArray(6, '\0'), 6, ""},
    };
}

inline QImage pattern(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(20, 40, 200));
    // Distinct corners, so that a turn is visible in the pixels.
    painter.fillRect(0, 0, size.width() / 2, size.height() / 2, Qt::red);
    painter.fillRect(size.width() / 2, size.height() / 2, size.width() - size.width() / 2,
                     size.height() - size.height() / 2, Qt::green);
    return image;
}

inline QByteArray plainJpeg(const QSize& size = QSize(32, 16), int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(pattern(size));
    return bytes;
}

inline QByteArray segment(quint16 marker, const QByteArray& payload)
{
    const int length = payload.size() + 2;
    QByteArray b;
    b.append(char(marker >> 8)).append(char(marker & 0xFF));
    b.append(char(length >> 8)).append(char(length & 0xFF));
    return b + payload;
}

inline QByteArray exifSegment(const QByteArray& tiff)
{
    return segment(0xFFE1, QByteArray("Exif\0\0", 6) + tiff);
}

// Length of the first segment after SOI (marker and length included).
inline int firstSegmentSize(const QByteArray& jpeg)
{
    return 2 + ((uchar(jpeg.at(4)) << 8) | uchar(jpeg.at(5)));
}

enum Placement { ReplaceJfif, AfterJfif };

// A Qt JPEG (SOI, APP0 JFIF, ...) with an EXIF segment: in place of the JFIF segment (camera
// style) or after it.
inline QByteArray jpegWithExif(const QByteArray& tiff, Placement placement = ReplaceJfif,
                               const QSize& size = QSize(32, 16))
{
    const QByteArray jpeg = plainJpeg(size);
    const int app0End = 2 + firstSegmentSize(jpeg);
    if (placement == ReplaceJfif)
        return jpeg.left(2) + exifSegment(tiff) + jpeg.mid(app0End);
    return jpeg.left(app0End) + exifSegment(tiff) + jpeg.mid(app0End);
}

// Everything after the first EXIF APP1 segment (the tables and the compressed data).
inline QByteArray afterExif(const QByteArray& jpeg)
{
    int pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const int marker = (uchar(jpeg.at(pos)) << 8) | uchar(jpeg.at(pos + 1));
        const int length = (uchar(jpeg.at(pos + 2)) << 8) | uchar(jpeg.at(pos + 3));
        pos += 2 + length;
        if (marker == 0xFFE1)
            return jpeg.mid(pos);
    }
    return QByteArray();
}

// A camera-like block: Make, Model, Orientation, resolutions, date, EXIF values, optional GPS,
// thumbnail and a maker note of the given size.
inline Tiff cameraTiff(bool big, quint16 orientation, bool withGps, bool withThumbnail,
                       int makerNoteSize = 0)
{
    Tiff t(big);
    t.ifd0 << t.ascii(0x010F, "LarkCam") << t.ascii(0x0110, "LC-100 Pro")
           << t.shorts(0x0112, {orientation}) << t.rationals(0x011A, {{300, 1}})
           << t.rationals(0x011B, {{300, 1}}) << t.shorts(0x0128, {2})
           << t.ascii(0x0131, "Firmware 1.2") << t.ascii(0x0132, "2024:05:06 07:08:09")
           << t.shorts(0x0213, {1});
    t.exif << t.rationals(0x829A, {{1, 250}}) << t.rationals(0x829D, {{28, 10}})
           << t.shorts(0x8827, {200}) << t.undefined(0x9000, "0230")
           << t.ascii(0x9003, "2024:05:06 07:08:09") << t.ascii(0x9004, "2024:05:06 07:08:09")
           << t.undefined(0x9101, QByteArray("\x01\x02\x03\x00", 4))
           << t.rationals(0x9204, {{0, 3}}, 10) << t.shorts(0x9207, {5})
           << t.rationals(0x920A, {{50, 1}}) << t.undefined(0xA000, "0100")
           << t.shorts(0xA001, {1}) << t.longs(0xA002, {32}) << t.longs(0xA003, {16});
    if (makerNoteSize > 0) {
        QByteArray note(makerNoteSize, '\0');
        for (int i = 0; i < makerNoteSize; ++i)
            note[i] = char((i * 7 + 3) & 0xFF);
        t.exif << t.undefined(0x927C, note);
    }
    t.interop << t.ascii(0x0001, "R98") << t.undefined(0x0002, "0100");
    if (withGps) {
        t.gps << t.bytes(0x0000, QByteArray("\x02\x03\x00\x00", 4)) << t.ascii(0x0001, "N")
              << t.rationals(0x0002, {{48, 1}, {51, 1}, {2400, 100}}) << t.ascii(0x0003, "E")
              << t.rationals(0x0004, {{2, 1}, {21, 1}, {300, 100}}) << t.bytes(0x0005, QByteArray(1, '\0'))
              << t.rationals(0x0006, {{35, 1}});
    }
    if (withThumbnail) {
        t.ifd1 << t.shorts(0x0103, {6}) << t.rationals(0x011A, {{72, 1}})
               << t.rationals(0x011B, {{72, 1}}) << t.shorts(0x0128, {2});
        t.thumbnail = plainJpeg(QSize(16, 8), 50);
    }
    return t;
}

} // namespace ExifFixtures

#endif // EXIFFIXTURES_H
