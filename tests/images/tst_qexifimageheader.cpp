#include "ExifFixtures.h"
#include "ExifPeer.h"
#include "LogCapture.h"

#include <QExifImageHeader.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ExifFixtures;

Q_DECLARE_METATYPE(QExifValue)

namespace {

// A buffer that claims to be sequential.
class SequentialBuffer : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool isSequential() const override { return true; }
};

// A buffer whose writes fail once the given number of bytes has been written.
class FailingBuffer : public QBuffer
{
public:
    FailingBuffer(QByteArray* data, qint64 limit) : QBuffer(data), mLimit(limit) {}

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        if (mWritten + len > mLimit)
            return -1;
        mWritten += len;
        return QBuffer::writeData(data, len);
    }

private:
    qint64 mLimit;
    qint64 mWritten = 0;
};

QByteArray tiffOf(const QExifImageHeader& header)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const qint64 written = header.writeTiff(&buffer);
    if (written != bytes.size())
        return QByteArray("size mismatch");
    return bytes;
}

bool readTiffBytes(QExifImageHeader& header, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return header.readTiff(&buffer);
}

bool readJpegBytes(QExifImageHeader& header, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return header.readFromJpeg(&buffer);
}

quint16 le16(const QByteArray& b, int at) { return quint16(uchar(b.at(at)) | (uchar(b.at(at + 1)) << 8)); }
quint32 le32(const QByteArray& b, int at) { return le16(b, at) | (quint32(le16(b, at + 2)) << 16); }
quint16 be16(const QByteArray& b, int at) { return quint16((uchar(b.at(at)) << 8) | uchar(b.at(at + 1))); }
quint32 be32(const QByteArray& b, int at) { return (quint32(be16(b, at)) << 16) | be16(b, at + 2); }

// Bytes held by a header's values, to show that a read never keeps more than its data.
qint64 heldBytes(const QExifImageHeader& header)
{
    auto sizeOf = [](const QExifValue& v) -> qint64 {
        switch (v.type()) {
        case QExifValue::Short: return 2 * v.count();
        case QExifValue::Long: case QExifValue::SignedLong: return 4 * v.count();
        case QExifValue::Rational: case QExifValue::SignedRational: return 8 * v.count();
        default: return v.count();
        }
    };
    qint64 total = header.thumbnailData().size();
    for (quint16 tag : header.imageTags())
        total += sizeOf(header.value(tag));
    for (quint16 tag : header.extendedTags())
        total += sizeOf(header.extendedValue(tag));
    for (quint16 tag : header.gpsTags())
        total += sizeOf(header.gpsValue(tag));
    return total;
}

// Silences Qt's warning channel while hostile data is read.
class QuietQtWarnings
{
public:
    QuietQtWarnings() { mPrevious = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}); }
    ~QuietQtWarnings() { qInstallMessageHandler(mPrevious); }

private:
    QtMessageHandler mPrevious;
};

}

class tst_QExifImageHeader : public QObject
{
    Q_OBJECT

private slots:
    void valueTypes_data();
    void valueTypes();
    void valueConversions();
    void nullValue();

    void readEveryType_data();
    void readEveryType();
    void readCamera_data();
    void readCamera();
    void readJpegFailures_data();
    void readJpegFailures();
    void readKeepsHeaderOnUnopenableFile();
    void readAcceptsLayoutWithoutNextOffsets();
    void invalidTypeWarnsAndWritesAsEmptyByte();
    void asciiForms_data();
    void asciiForms();
    void asciiWrittenUpToFirstNul();

    void writeTiffExactLayout();
    void writeTiffBigEndianLayout();
    void writeTiffGpsAndThumbnail();
    void writeTiffAlignsValues();
    void roundTrip_data();
    void roundTrip();

    void writeIntoJpegCases_data();
    void writeIntoJpegCases();
    void writeIntoJpegPadsShorterPayload();
    void writeIntoJpegRefusesOversizedPayload();
    void writeIntoJpegDeviceFailures();
    void writeIntoJpegFile();

    void hostileTiff_data();
    void hostileTiff();
    void truncatedTiffAtEveryLength();
    void hostileJpegSegments_data();
    void hostileJpegSegments();
    void replayCorpusAndMutations();

    void exiftoolReadsTheSame_data();
    void exiftoolReadsTheSame();
    void exiftoolAcceptsRewrite_data();
    void exiftoolAcceptsRewrite();
    void exiftoolReadsAsciiForms_data();
    void exiftoolReadsAsciiForms();
};

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::valueTypes_data()
{
    QTest::addColumn<QExifValue>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");

    QTest::newRow("bytes") << QExifValue(QVector<quint8>{1, 2, 3}) << int(QExifValue::Byte) << 3;
    QTest::newRow("ascii") << QExifValue(QString("ab")) << int(QExifValue::Ascii) << 3;
    QTest::newRow("empty ascii") << QExifValue(QString()) << int(QExifValue::Ascii) << 1;
    QTest::newRow("short") << QExifValue(quint16(7)) << int(QExifValue::Short) << 1;
    QTest::newRow("shorts") << QExifValue(QVector<quint16>{1, 2}) << int(QExifValue::Short) << 2;
    QTest::newRow("long") << QExifValue(quint32(7)) << int(QExifValue::Long) << 1;
    QTest::newRow("longs") << QExifValue(QVector<quint32>{1, 2, 3}) << int(QExifValue::Long) << 3;
    QTest::newRow("signed long") << QExifValue(qint32(-7)) << int(QExifValue::SignedLong) << 1;
    QTest::newRow("signed longs") << QExifValue(QVector<qint32>{-1, 2}) << int(QExifValue::SignedLong) << 2;
    QTest::newRow("rational") << QExifValue(QExifUnsignedRational(1, 3)) << int(QExifValue::Rational) << 1;
    QTest::newRow("rationals") << QExifValue(QVector<QExifUnsignedRational>{{1, 2}, {3, 4}})
                               << int(QExifValue::Rational) << 2;
    QTest::newRow("signed rationals") << QExifValue(QVector<QExifSignedRational>{{-1, 2}})
                                      << int(QExifValue::SignedRational) << 1;
    QTest::newRow("undefined") << QExifValue(QByteArray("0230")) << int(QExifValue::Undefined) << 4;
}

void tst_QExifImageHeader::valueTypes()
{
    QFETCH(QExifValue, value);
    QFETCH(int, type);
    QFETCH(int, count);
    QCOMPARE(value.type(), type);
    QCOMPARE(value.count(), count);
    QVERIFY(!value.isNull());
    const QExifValue copy = value;
    QVERIFY(copy == value);
}

void tst_QExifImageHeader::valueConversions()
{
    QCOMPARE(QExifValue(QVector<quint8>{9}).toShort(), quint16(9));
    QCOMPARE(QExifValue(quint16(6)).toShort(), quint16(6));
    QCOMPARE(QExifValue(quint32(6)).toShort(), quint16(0));
    QCOMPARE(QExifValue(qint32(0)).toShort(), quint16(0));
    QCOMPARE(QExifValue(QVector<quint16>{6, 6}).toShort(), quint16(0));
    QCOMPARE(QExifValue(quint32(70000)).toLong(), quint32(70000));
    QCOMPARE(QExifValue(qint32(-1)).toLong(), quint32(0xFFFFFFFF));
    QCOMPARE(QExifValue(quint16(5)).toLong(), quint32(5));
    QCOMPARE(QExifValue(QExifUnsignedRational(1, 2)).toLong(), quint32(0));
    QCOMPARE(QExifValue(QString::fromLatin1("Caf\xe9")).toByteArray(), QByteArray("Caf\xe9"));
    QCOMPARE(QExifValue(QByteArray("raw")).toByteArray(), QByteArray("raw"));
    QCOMPARE(QExifValue(quint16(1)).toByteArray(), QByteArray());
    QCOMPARE(QExifValue(quint16(1)).toLongVector(), QVector<quint32>());
    QCOMPARE(QExifValue(QVector<qint32>{-3}).toSignedLongVector(), QVector<qint32>{-3});
    QCOMPARE(QExifValue(QVector<QExifSignedRational>{{-1, 3}}).toSignedRationalVector().value(0),
             QExifSignedRational(-1, 3));
    QVERIFY(QExifValue(quint16(1)) != QExifValue(quint32(1)));
}

void tst_QExifImageHeader::nullValue()
{
    const QExifValue null;
    QVERIFY(null.isNull());
    QCOMPARE(null.type(), int(QExifValue::Byte));
    QCOMPARE(null.count(), 0);
    QVERIFY(!QExifValue(QVector<quint8>()).isNull());
    QExifImageHeader header;
    QCOMPARE(header.byteOrder(), QExifImageHeader::LittleEndian);
    QVERIFY(header.value(QExifImageHeader::Orientation).isNull());
    QCOMPARE(header.value(QExifImageHeader::Orientation).toShort(), quint16(0));
}

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::readEveryType_data()
{
    QTest::addColumn<bool>("big");
    QTest::newRow("II") << false;
    QTest::newRow("MM") << true;
}

void tst_QExifImageHeader::readEveryType()
{
    QFETCH(bool, big);
    Tiff t(big);
    t.ifd0 << t.bytes(0x1001, "\x01\x02") << t.bytes(0x1002, "\x01\x02\x03\x04\x05")
           << t.ascii(0x1003, "ab") << t.ascii(0x1004, "long text") << t.shorts(0x1005, {1, 65535})
           << t.shorts(0x1006, {1, 2, 3}) << t.longs(0x1007, {0xDEADBEEF})
           << t.longs(0x1008, {1, 2}) << t.longs(0x1009, {}) << t.longs(0x100A, {quint32(-5)}, 9)
           << t.longs(0x100B, {quint32(-1), 7}, 9) << t.rationals(0x100C, {{1, 3}})
           << t.rationals(0x100D, {{quint32(-1), 2}, {3, quint32(-4)}}, 10)
           << t.undefined(0x100E, "0230") << t.undefined(0x100F, QByteArray("\0\1\2\3\4\5", 6))
           << t.ascii(0x1010, "") << Entry{0x1011, 2, 0, QByteArray()};
    QExifImageHeader header;
    QVERIFY(readTiffBytes(header, t.build()));
    QCOMPARE(header.byteOrder(), big ? QExifImageHeader::BigEndian : QExifImageHeader::LittleEndian);
    QCOMPARE(header.value(0x1001).toByteVector(), (QVector<quint8>{1, 2}));
    QCOMPARE(header.value(0x1002).toByteVector(), (QVector<quint8>{1, 2, 3, 4, 5}));
    QCOMPARE(header.value(0x1003).toString(), QString("ab"));
    QCOMPARE(header.value(0x1003).count(), 3);
    QCOMPARE(header.value(0x1004).toString(), QString("long text"));
    QCOMPARE(header.value(0x1005).toShortVector(), (QVector<quint16>{1, 65535}));
    QCOMPARE(header.value(0x1006).toShortVector(), (QVector<quint16>{1, 2, 3}));
    QCOMPARE(header.value(0x1007).toLong(), 0xDEADBEEFu);
    QCOMPARE(header.value(0x1008).toLongVector(), (QVector<quint32>{1, 2}));
    QCOMPARE(header.value(0x1009).type(), int(QExifValue::Long));
    QCOMPARE(header.value(0x1009).count(), 0);
    QCOMPARE(header.value(0x100A).toSignedLongVector(), QVector<qint32>{-5});
    QCOMPARE(header.value(0x100B).toSignedLongVector(), (QVector<qint32>{-1, 7}));
    QCOMPARE(header.value(0x100C).toRationalVector(), QVector<QExifUnsignedRational>{qMakePair(1u, 3u)});
    QCOMPARE(header.value(0x100D).toSignedRationalVector(),
             (QVector<QExifSignedRational>{qMakePair(-1, 2), qMakePair(3, -4)}));
    QCOMPARE(header.value(0x100E).toByteArray(), QByteArray("0230"));
    QCOMPARE(header.value(0x100F).toByteArray(), QByteArray("\0\1\2\3\4\5", 6));
    QCOMPARE(header.value(0x1010).toString(), QString());
    QCOMPARE(header.value(0x1011).type(), int(QExifValue::Ascii));
    QCOMPARE(header.value(0x1011).toString(), QString());
}

void tst_QExifImageHeader::readCamera_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<int>("placement");
    QTest::newRow("II, EXIF first") << false << int(ReplaceJfif);
    QTest::newRow("MM, EXIF first") << true << int(ReplaceJfif);
    QTest::newRow("II, after JFIF") << false << int(AfterJfif);
}

void tst_QExifImageHeader::readCamera()
{
    QFETCH(bool, big);
    QFETCH(int, placement);
    const Tiff t = cameraTiff(big, 6, true, true);
    QExifImageHeader header;
    QVERIFY(readJpegBytes(header, jpegWithExif(t.build(), Placement(placement))));
    QCOMPARE(header.value(QExifImageHeader::Orientation).toShort(), quint16(6));
    QCOMPARE(header.value(0x010F).toString(), QString("LarkCam"));
    QVERIFY(!header.imageTags().contains(QExifImageHeader::ExifIfdPointer));
    QVERIFY(!header.imageTags().contains(QExifImageHeader::GpsInfoIfdPointer));
    QCOMPARE(header.extendedValue(0x829A).toRationalVector().value(0), QExifUnsignedRational(1, 250));
    QCOMPARE(header.extendedValue(0x9000).toByteArray(), QByteArray("0230"));
    QVERIFY(!header.extendedTags().contains(QExifImageHeader::InteroperabilityIfdPointer));
    QCOMPARE(header.extendedTags().size(), t.exif.size());
    QCOMPARE(header.gpsValue(0x0002).toRationalVector().size(), 3);
    QCOMPARE(header.gpsValue(0x0001).toString(), QString("N"));
    QCOMPARE(header.thumbnailData(), t.thumbnail);
    QCOMPARE(header.thumbnailValue(QExifImageHeader::XResolution).toRationalVector().value(0),
             QExifUnsignedRational(72, 1));
    QCOMPARE(header.thumbnailValue(QExifImageHeader::ResolutionUnit).toShort(), quint16(2));
    QVERIFY(header.thumbnailValue(QExifImageHeader::Orientation).isNull());
}

void tst_QExifImageHeader::readJpegFailures_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray tiff = cameraTiff(false, 1, false, false).build();
    const QByteArray jpeg = plainJpeg();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("no EXIF") << jpeg;
    QTest::newRow("APP1 of another kind first")
        << jpeg.left(2) + segment(0xFFE1, "http://ns.adobe.com/xap/1.0/") + exifSegment(tiff) + jpeg.mid(2);
    QTest::newRow("bad byte order") << jpegWithExif("XX" + tiff.mid(2));
    QTest::newRow("not 42") << jpegWithExif(tiff.left(2) + QByteArray("\x2b\x00", 2) + tiff.mid(4));
}

void tst_QExifImageHeader::readJpegFailures()
{
    QFETCH(QByteArray, data);
    QExifImageHeader header;
    header.setValue(QExifImageHeader::Orientation, QExifValue(quint16(3)));
    QVERIFY(!readJpegBytes(header, data));
    QVERIFY(header.imageTags().isEmpty());
    QVERIFY(header.value(QExifImageHeader::Orientation).isNull());
}

void tst_QExifImageHeader::readKeepsHeaderOnUnopenableFile()
{
    QExifImageHeader header;
    header.setValue(QExifImageHeader::Orientation, QExifValue(quint16(3)));
    QVERIFY(!header.readFromJpeg(QStringLiteral("/nonexistent/x.jpg")));
    QCOMPARE(header.value(QExifImageHeader::Orientation).toShort(), quint16(3));
    QExifImageHeader fromMissing(QStringLiteral("/nonexistent/x.jpg"));
    QVERIFY(fromMissing.imageTags().isEmpty());
}

void tst_QExifImageHeader::readAcceptsLayoutWithoutNextOffsets()
{
    // Sub-directories without a next offset: their first value follows the entries directly.
    QByteArray tiff("II\x2a\x00\x08\x00\x00\x00", 8);
    auto u16 = [](quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    auto u32 = [&](quint32 v) { return u16(quint16(v)) + u16(quint16(v >> 16)); };
    // IFD0: Orientation, ExifIfdPointer -> 38, next 0
    tiff += u16(2) + u16(0x0112) + u16(3) + u32(1) + u16(8) + u16(0) + u16(0x8769) + u16(4) + u32(1) + u32(38) + u32(0);
    QCOMPARE(tiff.size(), 38);
    // EXIF: ExposureTime at 38 + 2 + 12 = 52
    tiff += u16(1) + u16(0x829A) + u16(5) + u32(1) + u32(52) + u32(1) + u32(60);
    QExifImageHeader header;
    QVERIFY(readTiffBytes(header, tiff));
    QCOMPARE(header.value(QExifImageHeader::Orientation).toShort(), quint16(8));
    QCOMPARE(header.extendedValue(0x829A).toRationalVector().value(0), QExifUnsignedRational(1, 60));
}

void tst_QExifImageHeader::invalidTypeWarnsAndWritesAsEmptyByte()
{
    Tiff t(false);
    t.ifd0 << t.shorts(0x0112, {1}) << Entry{0x0200, 11, 1, t.u32(0x3F800000)};
    QExifImageHeader header;
    QTest::ignoreMessage(QtWarningMsg, "Invalid Ifd Type 11");
    QVERIFY(readTiffBytes(header, t.build()));
    QVERIFY(header.imageTags().contains(0x0200));
    QVERIFY(header.value(0x0200).isNull());
    const QByteArray out = tiffOf(header);
    // Second entry of IFD0 (ascending tags: 0x0112, 0x0200).
    QCOMPARE(le16(out, 10 + 12), quint16(0x0200));
    QCOMPARE(le16(out, 10 + 12 + 2), quint16(QExifValue::Byte));
    QCOMPARE(le32(out, 10 + 12 + 4), 0u);
    QCOMPARE(le32(out, 10 + 12 + 8), 0u);
}

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::asciiForms_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<uint>("count");
    QTest::addColumn<QByteArray>("text");
    for (bool big : {false, true}) {
        for (const AsciiForm& form : ExifFixtures::asciiForms())
            QTest::addRow("%s, %s", big ? "MM" : "II", form.name) << big << form.raw << uint(form.count) << form.text;
    }
}

void tst_QExifImageHeader::asciiForms()
{
    QFETCH(bool, big);
    QFETCH(QByteArray, raw);
    QFETCH(uint, count);
    QFETCH(QByteArray, text);
    Tiff t(big);
    t.ifd0 << Entry{0x010E, QExifValue::Ascii, count, raw};
    QExifImageHeader header;
    QVERIFY(readTiffBytes(header, t.build()));
    const QExifValue value = header.value(0x010E);
    QCOMPARE(value.type(), int(QExifValue::Ascii));
    QCOMPARE(value.toByteArray(), text);
    QCOMPARE(value.count(), text.size() + 1);

    // Written back: the text and exactly one NUL, inline up to 4 bytes (zero-filled), else at its offset.
    const QByteArray written = tiffOf(header);
    auto u16 = big ? be16 : le16;
    auto u32 = big ? be32 : le32;
    QCOMPARE(u16(written, 10), quint16(0x010E));
    QCOMPARE(u16(written, 12), quint16(QExifValue::Ascii));
    const quint32 writtenCount = u32(written, 14);
    QCOMPARE(writtenCount, quint32(text.size() + 1));
    if (writtenCount <= 4)
        QCOMPARE(written.mid(18, 4), text + QByteArray(4 - text.size(), '\0'));
    else
        QCOMPARE(written.mid(int(u32(written, 18)), int(writtenCount)), text + '\0');

    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, written));
    QCOMPARE(back.value(0x010E), value);
    QCOMPARE(tiffOf(back), written);
}

void tst_QExifImageHeader::asciiWrittenUpToFirstNul()
{
    QExifImageHeader header;
    header.setValue(0x010E, QExifValue(QString::fromLatin1("ab\0cd", 5)));
    header.setValue(0x0131, QExifValue(QString::fromLatin1("Firmware\0\0 1.2", 14)));
    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, tiffOf(header)));
    QCOMPARE(back.value(0x010E).toString(), QString("ab"));
    QCOMPARE(back.value(0x010E).count(), 3);
    QCOMPARE(back.value(0x0131).toString(), QString("Firmware"));
    const QByteArray written = tiffOf(header);
    QCOMPARE(le32(written, 14), 3u);
    QCOMPARE(le32(written, 26), 9u);
}

void tst_QExifImageHeader::writeTiffExactLayout()
{
    QExifImageHeader header;
    header.setValue(0x0112, QExifValue(quint16(6)));
    header.setValue(0x010E, QExifValue(QString("Hello")));
    header.setValue(0x010F, QExifValue(QString("Ca")));
    header.setExtendedValue(0x829A, QExifValue(QExifUnsignedRational(1, 100)));
    header.setExtendedValue(0x9000, QExifValue(QByteArray("0230")));
    header.setExtendedValue(0x9286, QExifValue(QByteArray("abcde")));

    auto u16 = [](quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    auto u32 = [&](quint32 v) { return u16(quint16(v)) + u16(quint16(v >> 16)); };
    auto entry = [&](quint16 tag, quint16 type, quint32 count, const QByteArray& field) {
        return u16(tag) + u16(type) + u32(count) + field;
    };
    QByteArray expected("II", 2);
    expected += u16(42) + u32(8);
    expected += u16(4);                                              // n + 1 entries
    expected += entry(0x010E, 2, 6, u32(62));                        // "Hello\0" out of line
    expected += entry(0x010F, 2, 3, QByteArray("Ca\0\0", 4));         // inline with its NUL
    expected += entry(0x0112, 3, 1, u16(6) + u16(0));
    expected += entry(0x8769, 4, 1, u32(68));                        // E
    expected += u32(0);                                              // no thumbnail
    expected += QByteArray("Hello\0", 6);                            // 62..68
    expected += u16(3);                                              // EXIF directory at 68
    expected += entry(0x829A, 5, 1, u32(110));
    expected += entry(0x9000, 7, 4, "0230");
    expected += entry(0x9286, 7, 5, u32(118));
    expected += u32(0);                                              // next directory
    expected += u32(1) + u32(100);                                   // 110..118
    expected += QByteArray("abcde\0", 6);                            // odd length padded
    QCOMPARE(tiffOf(header), expected);
    // Writing leaves the header as it was, and gives the same bytes again.
    QCOMPARE(header.imageTags().size(), 3);
    QCOMPARE(tiffOf(header), expected);
}

void tst_QExifImageHeader::writeTiffBigEndianLayout()
{
    QExifImageHeader header;
    header.setByteOrder(QExifImageHeader::BigEndian);
    header.setValue(0x0112, QExifValue(quint16(3)));
    header.setValue(0x0100, QExifValue(quint32(0x01020304)));
    const QByteArray out = tiffOf(header);
    QVERIFY(out.startsWith("MM"));
    QCOMPARE(be16(out, 2), quint16(42));
    QCOMPARE(be32(out, 4), 8u);
    QCOMPARE(be16(out, 8), quint16(3));
    QCOMPARE(be16(out, 10), quint16(0x0100));
    QCOMPARE(be32(out, 18), 0x01020304u);
    QCOMPARE(be16(out, 22), quint16(0x0112));
    QCOMPARE(be16(out, 30), quint16(3));   // short in the first half of the field
    QCOMPARE(be16(out, 32), quint16(0));
    QCOMPARE(be16(out, 34), quint16(0x8769));
    QCOMPARE(be32(out, 42), quint32(50));  // E right after IFD0 (no out-of-line values)
    QCOMPARE(be16(out, 50), quint16(0));   // empty EXIF directory
    QCOMPARE(out.size(), 56);
}

void tst_QExifImageHeader::writeTiffGpsAndThumbnail()
{
    QExifImageHeader header;
    header.setValue(0x0112, QExifValue(quint16(1)));
    header.setExtendedValue(0x829A, QExifValue(QExifUnsignedRational(1, 100)));
    header.setGpsValue(0x0001, QExifValue(QString("N")));
    header.setGpsValue(0x0002, QExifValue(QVector<QExifUnsignedRational>{{48, 1}, {51, 1}, {24, 1}}));
    const QByteArray thumbnail = plainJpeg(QSize(8, 8));
    header.setThumbnailData(thumbnail);
    header.setThumbnailValue(QExifImageHeader::Orientation, QExifValue(quint16(6)));

    const QByteArray out = tiffOf(header);
    QCOMPARE(le16(out, 8), quint16(3));                  // n + 2
    QCOMPARE(le16(out, 22), quint16(0x8769));
    QCOMPARE(le16(out, 34), quint16(0x8825));            // GPS pointer after the EXIF pointer
    const quint32 e = le32(out, 30), g = le32(out, 42), t = le32(out, 46);
    QCOMPARE(e, 50u);                                    // 38 + 12·n
    QCOMPARE(g, e + 2 + 12 + 4 + 8);
    QCOMPARE(le16(out, int(g)), quint16(2));
    QCOMPARE(t, g + 2 + 24 + 4 + 24);
    QCOMPARE(le16(out, int(t)), quint16(7));
    const QVector<quint16> order{0x0103, 0x011A, 0x011B, 0x0128, 0x0112, 0x0201, 0x0202};
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(le16(out, int(t) + 2 + 12 * i), order.at(i));
    QCOMPARE(le16(out, int(t) + 2 + 8), quint16(6));     // Compression 6
    QCOMPARE(le16(out, int(t) + 2 + 48 + 8), quint16(6)); // Orientation as set
    QCOMPARE(le16(out, int(t) + 2 + 36 + 8), quint16(2)); // ResolutionUnit default
    const quint32 thumbOffset = le32(out, int(t) + 2 + 60 + 8);
    QCOMPARE(thumbOffset, t + 90 + 16);
    QCOMPARE(le32(out, int(t) + 2 + 72 + 8), quint32(thumbnail.size()));
    QCOMPARE(le32(out, int(t) + 90), 72u);               // XResolution default 72/1
    QCOMPARE(out.mid(int(thumbOffset)), thumbnail);

    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, out));
    QCOMPARE(back.thumbnailData(), thumbnail);
    QCOMPARE(back.thumbnailValue(QExifImageHeader::Orientation).toShort(), quint16(6));
    QCOMPARE(back.gpsValue(0x0002), header.gpsValue(0x0002));
    QCOMPARE(tiffOf(back), out);
}

void tst_QExifImageHeader::writeTiffAlignsValues()
{
    QExifImageHeader header;
    header.setValue(0x010E, QExifValue(QString("odd")));          // count 4: inline
    header.setValue(0x010F, QExifValue(QString("four")));         // count 5: out of line, odd
    header.setValue(0x0110, QExifValue(QVector<quint8>{1, 2, 3, 4, 5, 6, 7}));
    header.setValue(0x0111, QExifValue(QVector<quint16>{1, 2, 3}));
    header.setExtendedValue(0x9286, QExifValue(QByteArray("abc\0defgh", 9)));
    header.setExtendedValue(0x829A, QExifValue(QExifUnsignedRational(1, 8)));
    header.setGpsValue(0x001B, QExifValue(QByteArray("ASCII\0\0\0x", 9)));
    header.setThumbnailData(QByteArray(5, 'j'));
    const QByteArray out = tiffOf(header);

    // Walk every directory: each out-of-line value starts at an even offset inside the data.
    QList<quint32> directories{8};
    QVector<quint32> offsets;
    for (int i = 0; i < directories.size(); ++i) {
        const quint32 dir = directories.at(i);
        QCOMPARE(dir % 2, 0u);
        const int n = le16(out, int(dir));
        for (int k = 0; k < n; ++k) {
            const int at = int(dir) + 2 + 12 * k;
            const quint16 tag = le16(out, at), type = le16(out, at + 2);
            const quint32 count = le32(out, at + 4), field = le32(out, at + 8);
            const quint32 unit = (type == 3) ? 2 : (type == 4 || type == 9) ? 4 : (type == 5 || type == 10) ? 8 : 1;
            if (tag == 0x8769 || tag == 0x8825)
                directories << field;
            else if (unit * count > 4)
                offsets << field;
        }
        const quint32 next = le32(out, int(dir) + 2 + 12 * n);
        if (i == 0 && next)
            directories << next;
        else if (i > 0)
            QCOMPARE(next, 0u);
    }
    QCOMPARE(directories.size(), 4);
    QVERIFY(!offsets.isEmpty());
    for (quint32 offset : offsets) {
        QCOMPARE(offset % 2, 0u);
        QVERIFY(offset < quint32(out.size()));
    }
    QVERIFY(out.endsWith("jjjjj"));
    // The thumbnail directory's defaults: 72/1 dpi, inches, upright.
    QExifImageHeader back0;
    QVERIFY(readTiffBytes(back0, out));
    QCOMPARE(back0.thumbnailValue(QExifImageHeader::XResolution), QExifValue(QExifUnsignedRational(72, 1)));
    QCOMPARE(back0.thumbnailValue(QExifImageHeader::ResolutionUnit), QExifValue(quint16(2)));
    QCOMPARE(back0.thumbnailValue(QExifImageHeader::Orientation), QExifValue(quint16(1)));
    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, out));
    QCOMPARE(back.value(0x010F).toString(), QString("four"));
    QCOMPARE(back.extendedValue(0x9286).toByteArray(), QByteArray("abc\0defgh", 9));
    QCOMPARE(back.gpsValue(0x001B).toByteArray(), QByteArray("ASCII\0\0\0x", 9));
    QCOMPARE(back.thumbnailData(), QByteArray(5, 'j'));
}

void tst_QExifImageHeader::roundTrip_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<bool>("gps");
    QTest::addColumn<bool>("thumbnail");
    QTest::newRow("II plain") << false << false << false;
    QTest::newRow("MM plain") << true << false << false;
    QTest::newRow("II GPS thumbnail") << false << true << true;
    QTest::newRow("MM GPS thumbnail") << true << true << true;
}

void tst_QExifImageHeader::roundTrip()
{
    QFETCH(bool, big);
    QFETCH(bool, gps);
    QFETCH(bool, thumbnail);
    QExifImageHeader header;
    QVERIFY(readTiffBytes(header, cameraTiff(big, 8, gps, thumbnail, 300).build()));
    const QByteArray first = tiffOf(header);
    QVERIFY(first.startsWith(big ? "MM" : "II"));
    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, first));
    QCOMPARE(back.imageTags(), header.imageTags());
    QCOMPARE(back.extendedTags(), header.extendedTags());
    QCOMPARE(back.gpsTags(), header.gpsTags());
    for (quint16 tag : header.imageTags())
        QCOMPARE(back.value(tag), header.value(tag));
    for (quint16 tag : header.extendedTags())
        QCOMPARE(back.extendedValue(tag), header.extendedValue(tag));
    for (quint16 tag : header.gpsTags())
        QCOMPARE(back.gpsValue(tag), header.gpsValue(tag));
    QCOMPARE(back.thumbnailData(), header.thumbnailData());
    QCOMPARE(back.extendedValue(0x9000).toByteArray(), QByteArray("0230"));
    QCOMPARE(tiffOf(back), first);
}

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::writeIntoJpegCases_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("keepHead");  // bytes kept in front of the new segment
    QTest::addColumn<int>("restFrom");  // where the unchanged rest of the input starts

    const QByteArray jpeg = plainJpeg();
    const int app0 = firstSegmentSize(jpeg);
    const QByteArray tiff = cameraTiff(false, 6, false, false).build();
    const QByteArray exif = exifSegment(tiff);
    const QByteArray xmp = segment(0xFFE1, "http://ns.adobe.com/xap/1.0/\0<x/>");

    QTest::newRow("EXIF first") << jpeg.left(2) + exif + jpeg.mid(2 + app0) << true << 2 << 2 + exif.size();
    QTest::newRow("JFIF then EXIF") << jpeg.left(2 + app0) + exif + jpeg.mid(2 + app0) << true
                                    << 2 + app0 << 2 + app0 + exif.size();
    QTest::newRow("JFIF then tables") << jpeg << true << 2 + app0 << 2 + app0;
    QTest::newRow("tables first") << jpeg.left(2) + jpeg.mid(2 + app0) << true << 2 << 2;
    QTest::newRow("APP0 not JFIF") << jpeg.left(2) + segment(0xFFE0, "JFXX\0\x10") + jpeg.mid(2 + app0)
                                   << false << 0 << 0;
    QTest::newRow("APP1 not EXIF") << jpeg.left(2) + xmp + jpeg.mid(2 + app0) << false << 0 << 0;
    QTest::newRow("JFIF then XMP") << jpeg.left(2 + app0) + xmp + jpeg.mid(2 + app0) << false << 0 << 0;
    QTest::newRow("JFIF then a length below 2")
        << jpeg.left(2 + app0) + QByteArray("\xFF\xDB\x00\x01", 4) + jpeg.mid(2 + app0) << false << 0 << 0;
    QTest::newRow("not a JPEG") << QByteArray("GIF89a and more bytes") << false << 0 << 0;
    QTest::newRow("SOI only") << QByteArray("\xFF\xD8", 2) << false << 0 << 0;
}

void tst_QExifImageHeader::writeIntoJpegCases()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, ok);
    QFETCH(int, keepHead);
    QFETCH(int, restFrom);

    QExifImageHeader header;
    header.setValue(QExifImageHeader::Orientation, QExifValue(qint32(0)));
    header.setExtendedValue(0x9000, QExifValue(QByteArray("0230")));
    QByteArray data = input;
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    QCOMPARE(header.writeIntoJpeg(&buffer), ok);
    if (!ok) {
        QCOMPARE(data, input);
        return;
    }
    const QByteArray expectedSegment = exifSegment(tiffOf(header));
    QByteArray expected = input.left(keepHead) + expectedSegment + input.mid(restFrom);
    // A replaced, longer old payload is kept at its size with zero bytes.
    if (restFrom > keepHead && expected.size() < input.size()) {
        const int missing = input.size() - expected.size();
        QByteArray padded = exifSegment(tiffOf(header) + QByteArray(missing, '\0'));
        expected = input.left(keepHead) + padded + input.mid(restFrom);
    }
    QCOMPARE(data, expected);
    QExifImageHeader back;
    QVERIFY(readJpegBytes(back, data));
    QCOMPARE(back.value(QExifImageHeader::Orientation).type(), int(QExifValue::SignedLong));
    QVERIFY(!QImage::fromData(data).isNull());
}

void tst_QExifImageHeader::writeIntoJpegPadsShorterPayload()
{
    const QByteArray jpeg = plainJpeg();
    const int app0 = firstSegmentSize(jpeg);
    // Old payload of 1000 bytes; new one of 6 + 44 + 850 = 900 bytes.
    QExifImageHeader old;
    old.setExtendedValue(0x9286, QExifValue(QByteArray(950, 'o')));
    QExifImageHeader header;
    header.setExtendedValue(0x9286, QExifValue(QByteArray(850, 'n')));
    const QByteArray oldTiff = tiffOf(old);
    QCOMPARE(oldTiff.size() + 6, 1000);
    QCOMPARE(tiffOf(header).size() + 6, 900);

    QByteArray data = jpeg.left(2) + exifSegment(oldTiff) + jpeg.mid(2 + app0);
    const int size = data.size();
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    QVERIFY(header.writeIntoJpeg(&buffer));
    QCOMPARE(data.size(), size);
    QCOMPARE(be16(data, 4), quint16(1002));
    const QByteArray payload = data.mid(6, 1000);
    QVERIFY(payload.startsWith(QByteArray("Exif\0\0", 6) + tiffOf(header)));
    QCOMPARE(payload.right(100), QByteArray(100, '\0'));
    QCOMPARE(afterExif(data), jpeg.mid(2 + app0));
}

void tst_QExifImageHeader::writeIntoJpegRefusesOversizedPayload()
{
    const QByteArray input = plainJpeg();
    QExifImageHeader header;
    // Payload = 6 + 44 + the maker note: 65534 bytes is one too many.
    header.setExtendedValue(0x927C, QExifValue(QByteArray(65484, 'm')));
    QByteArray data = input;
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    LogCapture logs;
    QVERIFY(!header.writeIntoJpeg(&buffer));
    QCOMPARE(data, input);
    QVERIFY(logs.has(Logwell::LogWarning, "QExifImageHeader::writeIntoJpeg", "too large"));

    // The largest payload that fits is written.
    header.setExtendedValue(0x927C, QExifValue(QByteArray(65482, 'm')));
    QVERIFY(header.writeIntoJpeg(&buffer));
    QCOMPARE(be16(data, 2 + firstSegmentSize(input) + 2), quint16(65534));
    QExifImageHeader back;
    QVERIFY(readJpegBytes(back, data));
    QCOMPARE(back.extendedValue(0x927C).count(), 65482);
}

void tst_QExifImageHeader::writeIntoJpegDeviceFailures()
{
    const QByteArray input = plainJpeg();
    QExifImageHeader header;
    header.setValue(QExifImageHeader::Orientation, QExifValue(quint16(1)));

    QByteArray data = input;
    SequentialBuffer sequential(&data);
    QVERIFY(sequential.open(QIODevice::ReadWrite));
    QVERIFY(!header.writeIntoJpeg(&sequential));
    QCOMPARE(data, input);

    QBuffer readOnly(&data);
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QVERIFY(!header.writeIntoJpeg(&readOnly));

    for (qint64 limit : {qint64(0), qint64(10), qint64(input.size())}) {
        QByteArray failing = input;
        FailingBuffer device(&failing, limit);
        QVERIFY(device.open(QIODevice::ReadWrite));
        QVERIFY2(!header.writeIntoJpeg(&device), qPrintable(QString::number(limit)));
    }

    LogCapture logs;
    QVERIFY(!header.writeIntoJpeg(static_cast<QIODevice*>(nullptr)));
    QVERIFY(!header.readFromJpeg(static_cast<QIODevice*>(nullptr)));
    QCOMPARE(logs.count(Logwell::LogCritical), 2);
}

void tst_QExifImageHeader::writeIntoJpegFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpegWithExif(cameraTiff(true, 3, true, true).build()));
    file.close();

    QExifImageHeader header(path);
    QCOMPARE(header.value(QExifImageHeader::Orientation).toShort(), quint16(3));
    header.setValue(QExifImageHeader::Orientation, QExifValue(quint16(1)));
    QVERIFY(header.writeIntoJpeg(path));
    QExifImageHeader back(path);
    QCOMPARE(back.byteOrder(), QExifImageHeader::BigEndian);
    QCOMPARE(back.value(QExifImageHeader::Orientation).toShort(), quint16(1));
    QVERIFY(!QImage(path).isNull());
    QVERIFY(!header.writeIntoJpeg(dir.filePath("missing/x.jpg")));
    QVERIFY(!header.writeIntoJpeg(dir.path()));
    QVERIFY(!header.writeIntoJpeg(dir.filePath("missing.jpg")));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing.jpg")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
}

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::hostileTiff_data()
{
    QTest::addColumn<QByteArray>("tiff");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("imageTags");

    Tiff t(false);
    auto header = [&](quint32 ifd0) { return QByteArray("II") + t.u16(42) + t.u32(ifd0); };
    auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 field) {
        return t.u16(tag) + t.u16(type) + t.u32(count) + t.u32(field);
    };

    QTest::newRow("three bytes") << QByteArray("II*") << false << 0;
    QTest::newRow("header only") << header(8) << true << 0;
    QTest::newRow("IFD0 past the end") << header(0xFFFFFFF0) << true << 0;
    QTest::newRow("65535 entries, one there")
        << header(8) + t.u16(65535) + entry(0x0112, 3, 1, 6) << true << 1;
    QTest::newRow("byte count 4G") << header(8) + t.u16(1) + entry(0x0100, 1, 0xFFFFFFFF, 8) + t.u32(0)
                                   << true << 0;
    QTest::newRow("ascii count 4G") << header(8) + t.u16(1) + entry(0x0100, 2, 0xFFFFFFFF, 8) + t.u32(0)
                                    << true << 0;
    QTest::newRow("short count wraps 32 bits")
        << header(8) + t.u16(1) + entry(0x0100, 3, 0x80000001, 8) + t.u32(0) << true << 0;
    QTest::newRow("rational count wraps 32 bits")
        << header(8) + t.u16(1) + entry(0x0100, 5, 0x20000001, 8) + t.u32(0) << true << 0;
    QTest::newRow("long offset past the end")
        << header(8) + t.u16(1) + entry(0x0100, 4, 2, 0xFFFFFFFC) + t.u32(0) << true << 0;
    QTest::newRow("undefined value runs past the end")
        << header(8) + t.u16(1) + entry(0x0100, 7, 30, 20) + t.u32(0) + QByteArray(20, 'x') << true << 0;
    QTest::newRow("exif directory is IFD0")
        << header(8) + t.u16(2) + entry(0x0112, 3, 1, 6) + entry(0x8769, 4, 1, 8) + t.u32(8) << true << 1;
    QTest::newRow("IFD1 is IFD0")
        << header(8) + t.u16(1) + entry(0x0112, 3, 1, 6) + t.u32(8) << true << 1;
    QTest::newRow("thumbnail larger than the data")
        << header(8) + t.u16(1) + entry(0x0112, 3, 1, 6) + t.u32(26) + t.u16(2)
               + entry(0x0201, 4, 1, 8) + entry(0x0202, 4, 1, 0xFFFFFFF0) + t.u32(0)
        << true << 1;

    // Many entries sharing one large value: a read keeps no more bytes than the data holds
    // (56026 bytes: two of the 20000-byte values).
    QByteArray shared = header(8) + t.u16(3000);
    const quint32 valueAt = 8 + 2 + 3000 * 12 + 4;
    for (int i = 0; i < 3000; ++i)
        shared += entry(quint16(0x1000 + i), 7, 20000, valueAt);
    shared += t.u32(0) + QByteArray(20000, 'v');
    QTest::newRow("3000 entries share 20000 bytes") << shared << true << 2;
}

void tst_QExifImageHeader::hostileTiff()
{
    QFETCH(QByteArray, tiff);
    QFETCH(bool, ok);
    QFETCH(int, imageTags);
    QExifImageHeader header;
    QCOMPARE(readTiffBytes(header, tiff), ok);
    QCOMPARE(header.imageTags().size(), imageTags);
    QVERIFY(header.thumbnailData().isEmpty());
    QVERIFY(heldBytes(header) <= tiff.size());
    // Whatever was read can be written and read again.
    QExifImageHeader back;
    QVERIFY(readTiffBytes(back, tiffOf(header)));
    QCOMPARE(back.imageTags(), header.imageTags());
}

void tst_QExifImageHeader::truncatedTiffAtEveryLength()
{
    const QByteArray full = cameraTiff(true, 6, true, true, 100).build();
    QExifImageHeader complete;
    QVERIFY(readTiffBytes(complete, full));
    for (int length = 0; length < full.size(); ++length) {
        QExifImageHeader header;
        const bool ok = readTiffBytes(header, full.left(length));
        QCOMPARE(ok, length >= 8);
        // A value read from a truncated block is either the complete value or absent.
        for (quint16 tag : header.imageTags())
            QCOMPARE(header.value(tag), complete.value(tag));
        for (quint16 tag : header.extendedTags())
            QCOMPARE(header.extendedValue(tag), complete.extendedValue(tag));
        for (quint16 tag : header.gpsTags())
            QCOMPARE(header.gpsValue(tag), complete.gpsValue(tag));
        QVERIFY(header.thumbnailData().isEmpty() || header.thumbnailData() == complete.thumbnailData());
    }
}

void tst_QExifImageHeader::hostileJpegSegments_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    const QByteArray soi("\xFF\xD8", 2);
    QTest::newRow("segment length 0") << soi + QByteArray("\xFF\xE0\x00\x00", 4) + QByteArray(100, '\xFF');
    QTest::newRow("segment length 1") << soi + QByteArray("\xFF\xDB\x00\x01\xFF\xDB\x00\x01", 8);
    QTest::newRow("segment past the end") << soi + QByteArray("\xFF\xDB\xFF\xFF", 4);
    QTest::newRow("APP1 length 7") << soi + QByteArray("\xFF\xE1\x00\x07" "Exif\0", 9);
    QTest::newRow("APP1 length past the end") << soi + QByteArray("\xFF\xE1\xFF\xFF" "Exif\0\0II*\0", 14);
    QTest::newRow("SOS before EXIF") << soi + QByteArray("\xFF\xDA\x00\x02", 4)
                                               + exifSegment(cameraTiff(false, 6, false, false).build());
    QTest::newRow("odd byte at the end") << soi + QByteArray("\xFF", 1);
}

void tst_QExifImageHeader::hostileJpegSegments()
{
    QFETCH(QByteArray, jpeg);
    QExifImageHeader header;
    QVERIFY(!readJpegBytes(header, jpeg));
    QVERIFY(header.imageTags().isEmpty());
    QByteArray data = jpeg;
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    header.writeIntoJpeg(&buffer);  // no crash, whatever the result
}

#ifndef LARK_FUZZ_CORPUS
#define LARK_FUZZ_CORPUS ""
#endif

void tst_QExifImageHeader::replayCorpusAndMutations()
{
    QuietQtWarnings quiet;
    LogCapture logs;
    // What was read and written back must read again with the same tags.
    int mismatches = 0;
    auto exercise = [&mismatches](const QByteArray& input) {
        QExifImageHeader header;
        if (!readJpegBytes(header, input))
            return;
        QByteArray copy = input;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadWrite);
        if (!header.writeIntoJpeg(&buffer))
            return;
        QExifImageHeader again;
        if (!readJpegBytes(again, copy) || again.imageTags() != header.imageTags()
            || again.extendedTags() != header.extendedTags() || again.gpsTags() != header.gpsTags()
            || again.thumbnailData() != header.thumbnailData())
            ++mismatches;
    };

    QList<QByteArray> seeds;
    const QDir corpus(QStringLiteral(LARK_FUZZ_CORPUS));
    for (const QFileInfo& info : corpus.entryInfoList(QDir::Files)) {
        QFile f(info.filePath());
        if (f.open(QIODevice::ReadOnly))
            seeds << f.readAll();
    }
    QVERIFY2(!seeds.isEmpty(), LARK_FUZZ_CORPUS);
    for (const QByteArray& seed : seeds)
        exercise(seed);

    // Deterministic mutations of a camera-like file (fixed seed, plain LCG).
    const QByteArray base = jpegWithExif(cameraTiff(false, 6, true, true, 200).build(), ReplaceJfif, QSize(8, 8));
    const int exifEnd = 2 + firstSegmentSize(base);
    quint32 state = 12345;
    auto next = [&state]() { state = state * 1664525u + 1013904223u; return state >> 8; };
    for (int i = 0; i < 4000; ++i) {
        QByteArray m = base;
        const int edits = 1 + int(next() % 8);
        for (int e = 0; e < edits; ++e) {
            const int at = int(next() % quint32(qMin(exifEnd, m.size())));
            switch (next() % 5) {
            case 0: m[at] = char(next()); break;
            case 1: m[at] = char(m.at(at) ^ (1 << (next() % 8))); break;
            case 2: m[at] = char(0xFF); break;
            case 3: m[at] = char(0); break;
            case 4: m = m.left(at + 1 + int(next() % 64)) + base.mid(exifEnd); break;
            }
        }
        if (i % 500 == 0)
            m.truncate(int(next() % quint32(exifEnd)));
        exercise(m);
    }
    QCOMPARE(mismatches, 0);
}

// ---------------------------------------------------------------------------------------------

void tst_QExifImageHeader::exiftoolReadsTheSame_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("gps");
    QTest::addColumn<bool>("thumbnail");
    QTest::addColumn<int>("makerNote");
    QTest::newRow("II 3") << false << 3 << false << false << 0;
    QTest::newRow("MM 6 GPS") << true << 6 << true << false << 0;
    QTest::newRow("II 8 thumbnail") << false << 8 << false << true << 0;
    QTest::newRow("MM 6 everything, 40 kB maker note") << true << 6 << true << true << 40000;
}

void tst_QExifImageHeader::exiftoolReadsTheSame()
{
    if (ExifPeer::exiftool().isEmpty())
        QSKIP("exiftool is not installed");
    QFETCH(bool, big);
    QFETCH(int, orientation);
    QFETCH(bool, gps);
    QFETCH(bool, thumbnail);
    QFETCH(int, makerNote);
    QTemporaryDir dir;
    const QString path = dir.filePath("camera.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpegWithExif(cameraTiff(big, quint16(orientation), gps, thumbnail, makerNote).build()));
    file.close();

    const QJsonObject peer = ExifPeer::tags(path);
    QVERIFY(!peer.isEmpty());
    QExifImageHeader header(path);
    QCOMPARE(peer.value("IFD0:Orientation").toInt(), int(header.value(0x0112).toShort()));
    QCOMPARE(peer.value("IFD0:Make").toString(), header.value(0x010F).toString());
    QCOMPARE(peer.value("IFD0:ModifyDate").toString(), header.value(0x0132).toString());
    QCOMPARE(peer.value("ExifIFD:ISO").toInt(), int(header.extendedValue(0x8827).toShort()));
    const auto exposure = header.extendedValue(0x829A).toRationalVector().value(0);
    QCOMPARE(peer.value("ExifIFD:ExposureTime").toDouble(), double(exposure.first) / exposure.second);
    QCOMPARE(peer.value("ExifIFD:ExifVersion").toString(), QString::fromLatin1(header.extendedValue(0x9000).toByteArray()));
    QCOMPARE(peer.value("ExifIFD:ExifImageWidth").toInt(), int(header.extendedValue(0xA002).toLong()));
    if (gps) {
        const auto lat = header.gpsValue(0x0002).toRationalVector();
        QCOMPARE(lat.size(), 3);
        const double degrees = double(lat[0].first) / lat[0].second + double(lat[1].first) / lat[1].second / 60
                               + double(lat[2].first) / lat[2].second / 3600;
        QVERIFY(qAbs(peer.value("GPS:GPSLatitude").toDouble() - degrees) < 1e-6);
        QCOMPARE(peer.value("GPS:GPSLatitudeRef").toString(), header.gpsValue(0x0001).toString());
    } else {
        QVERIFY(header.gpsTags().isEmpty());
    }
    if (thumbnail)
        QCOMPARE(peer.value("IFD1:ThumbnailLength").toInt(), header.thumbnailData().size());
    if (makerNote)
        QCOMPARE(header.extendedValue(0x927C).count(), makerNote);
}

void tst_QExifImageHeader::exiftoolAcceptsRewrite_data()
{
    exiftoolReadsTheSame_data();
}

void tst_QExifImageHeader::exiftoolAcceptsRewrite()
{
    if (ExifPeer::exiftool().isEmpty())
        QSKIP("exiftool is not installed");
    QFETCH(bool, big);
    QFETCH(int, orientation);
    QFETCH(bool, gps);
    QFETCH(bool, thumbnail);
    QFETCH(int, makerNote);
    QTemporaryDir dir;
    const QString original = dir.filePath("original.jpg");
    const QString rewritten = dir.filePath("rewritten.jpg");
    QFile file(original);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpegWithExif(cameraTiff(big, quint16(orientation), gps, thumbnail, makerNote).build()));
    file.close();
    QVERIFY(QFile::copy(original, rewritten));

    QExifImageHeader header(rewritten);
    QVERIFY(header.writeIntoJpeg(rewritten));

    const QStringList before = ExifPeer::validationIssues(original);
    const QStringList after = ExifPeer::validationIssues(rewritten);
    for (const QString& issue : after) {
        if (issue.contains("out of sequence") || issue.contains("out of order"))
            continue;  // the thumbnail directory's fixed order, pointers after image entries
        QVERIFY2(before.contains(issue), qPrintable(issue + " | before: " + before.join("; ")));
    }

    const QJsonObject a = ExifPeer::tags(original);
    const QJsonObject b = ExifPeer::tags(rewritten);
    for (auto it = a.begin(); it != a.end(); ++it) {
        if (!it.key().startsWith("IFD0:") && !it.key().startsWith("ExifIFD:"))
            continue;
        QVERIFY2(b.value(it.key()) == it.value(), qPrintable(it.key()));
    }
    if (gps)
        QCOMPARE(b.value("GPS:GPSLatitude"), a.value("GPS:GPSLatitude"));
    if (thumbnail)
        QCOMPARE(b.value("IFD1:ThumbnailImage"), a.value("IFD1:ThumbnailImage"));

    QFile f1(original), f2(rewritten);
    QVERIFY(f1.open(QIODevice::ReadOnly) && f2.open(QIODevice::ReadOnly));
    QCOMPARE(afterExif(f2.readAll()), afterExif(f1.readAll()));
}

void tst_QExifImageHeader::exiftoolReadsAsciiForms_data()
{
    QTest::addColumn<bool>("big");
    QTest::newRow("II") << false;
    QTest::newRow("MM") << true;
}

// Every form of Ascii value, in the three directories: we read what exiftool reads, and after a
// rewrite exiftool reads every text as it did before.
void tst_QExifImageHeader::exiftoolReadsAsciiForms()
{
    if (ExifPeer::exiftool().isEmpty())
        QSKIP("exiftool is not installed");
    QFETCH(bool, big);
    struct Slot
    {
        int directory;  // 0 IFD0, 1 EXIF, 2 GPS
        quint16 tag;
        const char* key;
    };
    const Slot places[] = {
        {0, 0x010D, "IFD0:DocumentName"}, {0, 0x010E, "IFD0:ImageDescription"}, {0, 0x010F, "IFD0:Make"},
        {0, 0x0110, "IFD0:Model"}, {0, 0x011D, "IFD0:PageName"}, {0, 0x0131, "IFD0:Software"},
        {0, 0x0132, "IFD0:ModifyDate"}, {0, 0x013B, "IFD0:Artist"}, {0, 0x013C, "IFD0:HostComputer"},
        {1, 0xA433, "ExifIFD:LensMake"}, {1, 0x9003, "ExifIFD:DateTimeOriginal"}, {1, 0x9004, "ExifIFD:CreateDate"},
        {1, 0xA420, "ExifIFD:ImageUniqueID"}, {1, 0xA430, "ExifIFD:OwnerName"}, {2, 0x0001, "GPS:GPSLatitudeRef"},
        {2, 0x0012, "GPS:GPSMapDatum"},
    };
    const QList<AsciiForm> forms = ExifFixtures::asciiForms();
    QCOMPARE(int(sizeof places / sizeof places[0]), forms.size());
    Tiff t(big);
    t.exif << t.undefined(0x9000, "0230");
    for (int i = 0; i < forms.size(); ++i) {
        const Entry entry{places[i].tag, QExifValue::Ascii, forms[i].count, forms[i].raw};
        (places[i].directory == 0 ? t.ifd0 : places[i].directory == 1 ? t.exif : t.gps) << entry;
    }
    QTemporaryDir dir;
    const QString original = dir.filePath("original.jpg");
    const QString rewritten = dir.filePath("rewritten.jpg");
    QFile file(original);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpegWithExif(t.build()));
    file.close();
    QVERIFY(QFile::copy(original, rewritten));

    QExifImageHeader header(original);
    QVERIFY(header.writeIntoJpeg(rewritten));
    const QJsonObject before = ExifPeer::tags(original);
    const QJsonObject after = ExifPeer::tags(rewritten);
    QVERIFY(!before.isEmpty() && !after.isEmpty());
    for (int i = 0; i < forms.size(); ++i) {
        const QExifValue ours = places[i].directory == 0   ? header.value(places[i].tag)
                                : places[i].directory == 1 ? header.extendedValue(places[i].tag)
                                                          : header.gpsValue(places[i].tag);
        const QString peer = before.value(places[i].key).toVariant().toString();
        QVERIFY2(ours.toString() == peer, qPrintable(QString("%1 (%2): ours \"%3\", exiftool \"%4\"")
                                                        .arg(places[i].key, forms[i].name, ours.toString(), peer)));
        QVERIFY2(after.value(places[i].key) == before.value(places[i].key), qPrintable(places[i].key));
    }
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (it.key().startsWith("IFD0:") || it.key().startsWith("ExifIFD:") || it.key().startsWith("GPS:"))
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

QTEST_GUILESS_MAIN(tst_QExifImageHeader)
#include "tst_qexifimageheader.moc"
