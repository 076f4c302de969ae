#include "ImageQuality.h"
#include "ExifFixtures.h"
#include "ExifPeer.h"
#include "ChildProcess.h"
#include "LogCapture.h"

#include <ExifUtils.h>
#include <ImageUtils.h>

#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>
#include <FailureFixtures.h>
#include <TestFiles.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace ExifFixtures;

Q_DECLARE_METATYPE(ImageUtils::OptionsImageCopy)

namespace {

// Segment markers of a JPEG file up to the start of the image data.
QList<int> jpegMarkers(const QByteArray& jpeg)
{
    QList<int> markers;
    int pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg.at(pos)) == 0xFF) {
        const int marker = (uchar(jpeg.at(pos)) << 8) | uchar(jpeg.at(pos + 1));
        markers << marker;
        if (marker == 0xFFDA)
            break;
        pos += 2 + ((uchar(jpeg.at(pos + 2)) << 8) | uchar(jpeg.at(pos + 3)));
    }
    return markers;
}

// First entry of the first quantization table: libjpeg's 16 scaled by the quality (80 -> 6,
// 85 -> 5, 75 -> 8, 20 -> 40).
int firstQuantizer(const QByteArray& jpeg)
{
    const int at = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return at < 0 ? -1 : uchar(jpeg.at(at + 5));
}

QImage noise(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = 7;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, state >> 8);
        }
    return image;
}

// The JPEG with the frame header (SOFn) declaring another size; the data stays that of the original.
QByteArray withDeclaredSize(QByteArray jpeg, const QSize& size)
{
    int pos = 2;
    while (pos + 9 <= jpeg.size() && uchar(jpeg.at(pos)) == 0xFF) {
        const int marker = uchar(jpeg.at(pos + 1));
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            jpeg[pos + 5] = char(size.height() >> 8);
            jpeg[pos + 6] = char(size.height() & 0xFF);
            jpeg[pos + 7] = char(size.width() >> 8);
            jpeg[pos + 8] = char(size.width() & 0xFF);
            return jpeg;
        }
        pos += 2 + ((uchar(jpeg.at(pos + 2)) << 8) | uchar(jpeg.at(pos + 3)));
    }
    return QByteArray();
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk;
    const quint32 length = quint32(data.size());
    for (int shift : {24, 16, 8, 0})
        chunk.append(char((length >> shift) & 0xFF));
    const QByteArray body = QByteArray(type, 4) + data;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size())));
    chunk += body;
    for (int shift : {24, 16, 8, 0})
        chunk.append(char((crc >> shift) & 0xFF));
    return chunk;
}

// A complete, valid black one-bit PNG of any size: its rows are compressed as they are made, so
// that neither making nor writing it needs the image in memory.
QByteArray oneBitPng(const QSize& size)
{
    QByteArray header;
    for (int side : {size.width(), size.height()})
        for (int shift : {24, 16, 8, 0})
            header.append(char((side >> shift) & 0xFF));
    header += QByteArray("\x01\x00\x00\x00\x00", 5);  // depth 1, grey, deflate, no filter, no interlace

    const QByteArray row(1 + (size.width() + 7) / 8, '\0');  // filter byte "none", then black pixels
    QByteArray compressed;
    z_stream stream{};
    deflateInit(&stream, 9);
    char out[65536];
    for (int y = 0; y <= size.height(); ++y) {
        const bool last = y == size.height();
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
        stream.avail_in = last ? 0 : uInt(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(out, int(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed)
           + pngChunk("IEND", QByteArray());
}

// A smooth picture with fine grain, like a photo.
QImage photoLike(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = 3;
    for (int y = 0; y < size.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 29) - 4;
            line[x] = qRgb(qBound(0, 40 + 180 * x / size.width() + grain, 255),
                           qBound(0, 200 - 150 * y / size.height() + grain, 255),
                           qBound(0, 60 + (x + y) % 97 + grain, 255));
        }
    }
    return image;
}

bool close(const QColor& a, const QColor& b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
           && qAbs(a.blue() - b.blue()) <= tolerance;
}

}

class tst_ImageUtils : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void copyDecision_data();
    void copyDecision();
    void copyBytewiseFormats();
    void copyWritesSourceFormat();
    void copyQuality_data();
    void copyQuality();
    void copyExifRotation_data();
    void copyExifRotation();
    void copyFailures();
    void copyFailedWriteKeepsDestination_data();
    void copyFailedWriteKeepsDestination();
    void writeProgressiveImage();
    void copyScaledJpegMatchesFullDecode_data();
    void copyScaledJpegMatchesFullDecode();
    void fifoSourcesAreRefused();
    void copyBoundsDecodedSize_data();
    void copyBoundsDecodedSize();

    void applyOpacity_data();
    void applyOpacity();
    void createTransparentPixmap();
    void colorize();
    void fusionImage();
    void hasTransparentPixel();
    void toGray();
    void resizeImageToSquare();
    void sizesAndNames();
    void setLabelPixmap();

private:
    QString path(const QString& name) const { return mDir.filePath(name); }

    QTemporaryDir mDir;
    QString mJpeg400x200;  // with an EXIF block, Orientation 1
    QString mPng400x200;
};

void tst_ImageUtils::initTestCase()
{
    QVERIFY(mDir.isValid());
    mJpeg400x200 = path("src400x200.jpg");
    QVERIFY(writeFile(mJpeg400x200, jpegWithExif(cameraTiff(false, 1, false, false).build(), ReplaceJfif,
                                                 QSize(400, 200))));
    mPng400x200 = path("src400x200.png");
    QVERIFY(pattern(QSize(400, 200)).save(mPng400x200));
}

void tst_ImageUtils::copyDecision_data()
{
    using O = ImageUtils;
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<QSize>("maxSize");
    QTest::addColumn<ImageUtils::OptionsImageCopy>("options");
    QTest::addColumn<bool>("identical");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("progressive");

    const ImageUtils::OptionsImageCopy none;
    QTest::newRow("fits: copied") << true << QSize(400, 400) << none << true << QSize(400, 200) << false;
    QTest::newRow("fits, ignore ratio: re-encoded unscaled")
        << false << QSize(400, 400) << none << false << QSize(400, 200) << false;
    QTest::newRow("too large: keep ratio") << true << QSize(100, 100) << none << false << QSize(100, 50) << false;
    QTest::newRow("too large: ignore ratio") << false << QSize(100, 100) << none << false << QSize(100, 100) << false;
    QTest::newRow("too large: by expanding") << false << QSize(100, 100)
                                             << ImageUtils::OptionsImageCopy(O::OptionKeepRatioByExpanding)
                                             << false << QSize(200, 100) << false;
    QTest::newRow("retina: doubled target") << true << QSize(150, 150) << ImageUtils::OptionsImageCopy(O::OptionRetina)
                                            << false << QSize(300, 150) << false;
    QTest::newRow("retina: between once and twice, scaled up")
        << true << QSize(300, 100) << ImageUtils::OptionsImageCopy(O::OptionRetina) << false << QSize(400, 200) << false;
    QTest::newRow("no resize: copied") << true << QSize(10, 10) << ImageUtils::OptionsImageCopy(O::OptionNoResize)
                                       << true << QSize(400, 200) << false;
    QTest::newRow("no resize + progressive: copied")
        << false << QSize(10, 10) << (O::OptionNoResize | O::OptionProgressive) << true << QSize(400, 200) << false;
    QTest::newRow("progressive: re-encoded") << true << QSize(400, 400)
                                             << ImageUtils::OptionsImageCopy(O::OptionProgressive)
                                             << false << QSize(400, 200) << true;
    QTest::newRow("progressive only if re-encoded: copied")
        << true << QSize(400, 400) << (O::OptionProgressive | O::OptionProgressiveOnlyIfReencoded) << true
        << QSize(400, 200) << false;
    QTest::newRow("progressive only if re-encoded: scaled")
        << true << QSize(200, 200) << (O::OptionProgressive | O::OptionProgressiveOnlyIfReencoded) << false
        << QSize(200, 100) << true;
    QTest::newRow("width only") << true << QSize(100, 0) << none << false << QSize(100, 50) << false;
    QTest::newRow("height only") << true << QSize(0, 50) << none << false << QSize(100, 50) << false;
    QTest::newRow("width only, fits") << true << QSize(800, 0) << none << true << QSize(400, 200) << false;
}

void tst_ImageUtils::copyDecision()
{
    QFETCH(bool, keepRatio);
    QFETCH(QSize, maxSize);
    QFETCH(ImageUtils::OptionsImageCopy, options);
    QFETCH(bool, identical);
    QFETCH(QSize, size);
    QFETCH(bool, progressive);

    const QString destination = path("decision/sub/out.jpg");
    QFile::remove(destination);
    LogCapture logs;
    QVERIFY2(ImageUtils::copyImageFile(mJpeg400x200, destination, keepRatio, maxSize, options, -1),
             qPrintable(logs.dump()));
    const QByteArray out = readFile(destination);
    QCOMPARE(out == readFile(mJpeg400x200), identical);
    QCOMPARE(QImage::fromData(out).size(), size);
    QCOMPARE(jpegMarkers(out).contains(0xFFC2), progressive);
    QCOMPARE(jpegMarkers(out).contains(0xFFC0), !progressive);
    if (progressive && !ExifPeer::exiftool().isEmpty())
        QCOMPARE(ExifPeer::tags(destination).value("File:EncodingProcess").toInt(), 2);
}

void tst_ImageUtils::copyBytewiseFormats()
{
    const QString gif = path("anim.gif");
    QByteArray gifBytes("GIF89a\x02\x00\x02\x00\x80\x00\x00\xff\x00\x00\x00\x00\xff,\x00\x00\x00\x00\x02\x00\x02\x00\x00\x02\x02\x84Q\x00;", 35);
    QVERIFY(writeFile(gif, gifBytes));
    QCOMPARE(QImageReader(gif).format(), QByteArray("gif"));
    const QString svg = path("logo.svg");
    const QByteArray svgBytes("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
                              "<rect width=\"400\" height=\"300\" fill=\"red\"/></svg>");
    QVERIFY(writeFile(svg, svgBytes));
    for (const QString& source : {gif, svg}) {
        if (QImageReader(source).format().isEmpty())
            continue;  // no SVG plugin
        const QString destination = path("bytewise/" + QFileInfo(source).fileName());
        QVERIFY(ImageUtils::copyImageFile(source, destination, false, QSize(1, 1),
                                          ImageUtils::OptionApplyExifRotation | ImageUtils::OptionProgressive, 10));
        QCOMPARE(readFile(destination), readFile(source));
    }
}

void tst_ImageUtils::copyWritesSourceFormat()
{
    // The destination suffix does not choose the format; file:// is dropped from the source.
    const QString destination = path("format/picture.jpg");
    QVERIFY(ImageUtils::copyImageFile("file://" + mPng400x200, destination, false, QSize(100, 100)));
    QVERIFY(readFile(destination).startsWith("\x89PNG"));
    QCOMPARE(QImage(destination).size(), QSize(100, 100));
}

void tst_ImageUtils::copyQuality_data()
{
    QTest::addColumn<ImageUtils::OptionsImageCopy>("options");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("quantizer");
    const ImageUtils::OptionsImageCopy none;
    const ImageUtils::OptionsImageCopy progressive(ImageUtils::OptionProgressive);
    QTest::newRow("-1 gives 80") << none << -1 << 6;
    QTest::newRow("20") << none << 20 << 40;
    QTest::newRow("high quality wins") << ImageUtils::OptionsImageCopy(ImageUtils::OptionHighQuality) << 20 << 5;
    QTest::newRow("progressive -1 gives 80") << progressive << -1 << 6;
    QTest::newRow("progressive 20") << progressive << 20 << 40;
    QTest::newRow("progressive high quality")
        << (ImageUtils::OptionProgressive | ImageUtils::OptionHighQuality) << 20 << 5;
}

void tst_ImageUtils::copyQuality()
{
    QFETCH(ImageUtils::OptionsImageCopy, options);
    QFETCH(int, quality);
    QFETCH(int, quantizer);
    const QString destination = path("quality.jpg");
    QVERIFY(ImageUtils::copyImageFile(mJpeg400x200, destination, false, QSize(200, 200), options, quality));
    QCOMPARE(firstQuantizer(readFile(destination)), quantizer);
}

void tst_ImageUtils::copyExifRotation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("apply");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("topLeft");
    QTest::addColumn<QColor>("topRight");
    // The source has red top-left and green bottom-right quadrants, blue elsewhere.
    QTest::newRow("6: 90 clockwise") << 6 << true << QSize(50, 100) << QColor(20, 40, 200) << QColor(Qt::red);
    QTest::newRow("3: 180") << 3 << true << QSize(100, 50) << QColor(Qt::green) << QColor(20, 40, 200);
    QTest::newRow("8: 90 anticlockwise") << 8 << true << QSize(50, 100) << QColor(20, 40, 200) << QColor(Qt::green);
    QTest::newRow("6 without the option") << 6 << false << QSize(100, 50) << QColor(Qt::red) << QColor(20, 40, 200);
}

void tst_ImageUtils::copyExifRotation()
{
    QFETCH(int, orientation);
    QFETCH(bool, apply);
    QFETCH(QSize, size);
    QFETCH(QColor, topLeft);
    QFETCH(QColor, topRight);
    const QString source = path("rotated.jpg");
    QVERIFY(writeFile(source, jpegWithExif(cameraTiff(true, quint16(orientation), false, false).build(), ReplaceJfif,
                                           QSize(200, 100))));
    const QString destination = path("rotated-out.jpg");
    // The limit applies to the sides before the turn.
    const ImageUtils::OptionsImageCopy options =
        apply ? ImageUtils::OptionsImageCopy(ImageUtils::OptionApplyExifRotation) : ImageUtils::OptionsImageCopy();
    QVERIFY(ImageUtils::copyImageFile(source, destination, true, QSize(100, 100), options));
    const QImage out(destination);
    QCOMPARE(out.size(), size);
    QVERIFY(close(out.pixelColor(5, 5), topLeft));
    QVERIFY(close(out.pixelColor(out.width() - 6, 5), topRight));
}

void tst_ImageUtils::copyFailures()
{
    LogCapture logs;
    QVERIFY(!ImageUtils::copyImageFile(path("missing.png"), path("f/out.png"), true, QSize(10, 10)));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile", "importImageFile format null"));

    QVERIFY(writeFile(path("text.png"), "not an image at all"));
    QVERIFY(!ImageUtils::copyImageFile(path("text.png"), path("f/out.png"), true, QSize(10, 10)));

    logs.clear();
    QVERIFY(!ImageUtils::copyImageFile(mPng400x200, path("f/out.png"), true, QSize(0, 0)));
    QVERIFY(logs.has(Logwell::LogCritical, "ImageUtils::copyImageFile",
                     QStringList{"copyImageFile maxSizeImage invalid !!  = ", "QSize(-1, -1)"}));
    QVERIFY(!ImageUtils::copyImageFile(mPng400x200, path("f/out.png"), true, QSize(-5, 10)));
    QCOMPARE(logs.count(Logwell::LogCritical), 2);

    // A PNG whose header reads but whose pixel data is broken.
    QByteArray png = readFile(mPng400x200);
    const int idat = png.indexOf("IDAT");
    for (int i = idat + 8; i < idat + 60; ++i)
        png[i] = char(0x55);
    QVERIFY(writeFile(path("broken.png"), png));
    logs.clear();
    QVERIFY(!ImageUtils::copyImageFile(path("broken.png"), path("f/out.png"), false, QSize(100, 100)));
    QVERIFY2(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile",
                      QStringList{"importImageFile can't load ", path("broken.png")}),
             qPrintable(logs.dump()));

    // A folder where the destination should be.
    QVERIFY(QDir().mkpath(path("f/folder.png")));
    logs.clear();
    QVERIFY(!ImageUtils::copyImageFile(mPng400x200, path("f/folder.png"), false, QSize(100, 100)));
    QVERIFY(logs.has(Logwell::LogCritical, "ImageUtils::copyImageFile",
                     QStringList{"copyImageFile : can't remove", path("f/folder.png")}));

    // A destination whose parent is a regular file.
    logs.clear();
    QVERIFY(!ImageUtils::copyImageFile(mPng400x200, path("text.png/out.png"), false, QSize(100, 100)));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile",
                     QStringList{"importImageFile can't save ", path("text.png/out.png"), "png",
                                 "QSize(100, 100)", "maxSizeImage=", "QSize(100, 100)"}));
    logs.clear();
    QVERIFY(!ImageUtils::copyImageFile(mPng400x200, path("text.png/out.png"), true, QSize(500, 500)));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile", "FileUtils::forceCopy"));
}

void tst_ImageUtils::copyFailedWriteKeepsDestination_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<int>("shortBy");  // limit = full size - shortBy
    QTest::newRow("early") << false << -1;
    QTest::newRow("last bytes") << false << 10;
    QTest::newRow("progressive, early") << true << -1;
    QTest::newRow("progressive, last bytes") << true << 10;
}

void tst_ImageUtils::copyFailedWriteKeepsDestination()
{
    QFETCH(bool, progressive);
    QFETCH(int, shortBy);
    const QString source = path("noise.jpg");
    QVERIFY(noise(QSize(300, 300)).save(source, "jpeg", 95));
    const ImageUtils::OptionsImageCopy options =
        progressive ? ImageUtils::OptionsImageCopy(ImageUtils::OptionProgressive) : ImageUtils::OptionsImageCopy();
    const QString reference = path("limit/reference.jpg");
    QVERIFY(ImageUtils::copyImageFile(source, reference, false, QSize(250, 250), options, 90));
    const qint64 full = QFileInfo(reference).size();
    QVERIFY(full > 20000);  // more than one write buffer

    const QString destination = path("limit/destination.jpg");
    QVERIFY(writeFile(destination, "the old content"));
    LogCapture logs;
    bool copied = true;
    {
        FileTest::FileSizeLimit limit(rlim_t(shortBy < 0 ? 100 : full - shortBy));
        if (!limit.ok())
            QSKIP("cannot limit the file size");
        copied = ImageUtils::copyImageFile(source, destination, false, QSize(250, 250), options, 90);
    }
    QVERIFY(!copied);
    QCOMPARE(readFile(destination), QByteArray("the old content"));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile", "importImageFile can't save "));
    if (progressive) {
        const auto warnings = logs.messages(Logwell::LogWarning);
        QVERIFY(warnings.size() >= 2);
        QVERIFY(warnings.at(warnings.size() - 2).text.startsWith("can't save writeProgressiveImage "));
    }
    QCOMPARE(QDir(path("limit")).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no leftovers
}

void tst_ImageUtils::writeProgressiveImage()
{
    const QString out = path("progressive.jpg");
    QVERIFY(ImageUtils::writeProgressiveImage(pattern(QSize(64, 32)), out, "jpeg", 20));
    const QByteArray bytes = readFile(out);
    QVERIFY(jpegMarkers(bytes).contains(0xFFC2));
    QVERIFY(!jpegMarkers(bytes).contains(0xFFC0));
    QCOMPARE(firstQuantizer(bytes), 40);
    QCOMPARE(QImage(out).size(), QSize(64, 32));

    LogCapture logs;
    QVERIFY(writeFile(path("plain.txt"), "x"));
    QVERIFY(!ImageUtils::writeProgressiveImage(pattern(QSize(8, 8)), path("plain.txt/x.jpg"), "jpeg", 80));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::writeProgressiveImage",
                     QStringList{"can't save writeProgressiveImage ", path("plain.txt/x.jpg"), " errorString=",
                                 " size=", "QSize(8, 8)"}));
}

// ---------------------------------------------------------------------------------------------

void tst_ImageUtils::copyScaledJpegMatchesFullDecode_data()
{
    using O = ImageUtils::OptionImageCopy;
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("maxSize");
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<ImageUtils::OptionsImageCopy>("options");
    const ImageUtils::OptionsImageCopy none;
    QTest::newRow("4000x3000 into 1600x1200") << QSize(4000, 3000) << QSize(1600, 1200) << true << none;
    QTest::newRow("4000x3000 into 400x300") << QSize(4000, 3000) << QSize(400, 300) << true << none;
    QTest::newRow("odd 3999x2999 into 800x600") << QSize(3999, 2999) << QSize(800, 600) << true << none;
    QTest::newRow("2400x1600 into 500x500, ratio ignored") << QSize(2400, 1600) << QSize(500, 500) << false << none;
    QTest::newRow("2400x1600 into 500x500, by expanding")
        << QSize(2400, 1600) << QSize(500, 500) << true << ImageUtils::OptionsImageCopy(O::OptionKeepRatioByExpanding);
    QTest::newRow("2400x1600 into retina 300x300")
        << QSize(2400, 1600) << QSize(300, 300) << true << ImageUtils::OptionsImageCopy(O::OptionRetina);
    QTest::newRow("2400x1600 into 1200x0") << QSize(2400, 1600) << QSize(1200, 0) << true << none;
}

// A JPEG scaled down comes out at the size and with the pixels of a full decode scaled down
// (whatever the decoder does to get there), within the JPEG encoding's own loss.
void tst_ImageUtils::copyScaledJpegMatchesFullDecode()
{
    QFETCH(QSize, source);
    QFETCH(QSize, maxSize);
    QFETCH(bool, keepRatio);
    QFETCH(ImageUtils::OptionsImageCopy, options);
    const QString input = path("scaled/source.jpg");
    const QString output = path("scaled/out.jpg");
    QVERIFY(QDir().mkpath(path("scaled")));
    QVERIFY(photoLike(source).save(input, "jpeg", 92));

    // A zero height leaves the height unbounded.
    QSize target = maxSize.height() == 0 ? source.scaled(QSize(maxSize.width(), 999999999), Qt::KeepAspectRatio)
                                         : maxSize;
    if (options.testFlag(ImageUtils::OptionRetina))
        target *= 2;
    const Qt::AspectRatioMode mode = options.testFlag(ImageUtils::OptionKeepRatioByExpanding)
                                         ? Qt::KeepAspectRatioByExpanding
                                         : keepRatio ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio;
    // A full decode scaled down, encoded the same way.
    QImage expected;
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(QImage(input).scaled(target, mode, Qt::SmoothTransformation).save(&buffer, "jpeg", 95));
        QVERIFY(expected.loadFromData(bytes));
    }

    QVERIFY(ImageUtils::copyImageFile(input, output, keepRatio, maxSize, options, 95));
    const QImage result(output);
    QCOMPARE(result.size(), expected.size());
    const double quality = psnr(expected, result);
    QVERIFY2(quality >= 40, qPrintable(QString("PSNR %1 dB").arg(quality)));
}

// A FIFO named like a photo: refused at once, where opening it would wait for a writer.
void tst_ImageUtils::fifoSourcesAreRefused()
{
    const QString fifo = path("fifo/photo.jpg");
    QVERIFY(QDir().mkpath(path("fifo")));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    LogCapture logs;
    auto calls = std::async(std::launch::async, [&fifo]() {
        return QVector<int>{ImageUtils::copyImageFile(fifo, fifo + ".out.jpg", false, QSize(10, 10)),
                            ExifUtils::imageExifRotation(fifo), ExifUtils::clearRotation(fifo)};
    });
    QElapsedTimer timer;
    timer.start();
    while (calls.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready && timer.elapsed() < 20000) {
        if (timer.elapsed() > 10000) {
            // Blocked in open(): a reader-writer open releases it, so that the thread can end.
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    }
    QVERIFY2(timer.elapsed() < 10000, "a call waited on the FIFO");
    QCOMPARE(calls.get(), (QVector<int>{0, 0, 0}));
    QVERIFY(logs.has(Logwell::LogWarning, "ImageUtils::copyImageFile", "importImageFile format null"));
    QVERIFY(!QFileInfo::exists(fifo + ".out.jpg"));
}

void tst_ImageUtils::copyBoundsDecodedSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("declared");
    QTest::addColumn<bool>("copies");
    const QByteArray jpeg = plainJpeg(QSize(16, 16));
    QTest::newRow("JPEG declaring 65500x32000") << "bomb.jpg" << withDeclaredSize(jpeg, QSize(65500, 32000))
                                                << QSize(65500, 32000) << false;
    QTest::newRow("JPEG declaring 16385x16385, just above 2^28 pixels")
        << "above.jpg" << withDeclaredSize(jpeg, QSize(16385, 16385)) << QSize(16385, 16385) << false;
    QTest::newRow("one-bit PNG of 60000x60000") << "bomb.png" << oneBitPng(QSize(60000, 60000))
                                                << QSize(60000, 60000) << false;
    // A real 50-megapixel photo, made by the test (Qt encodes it).
    QImage photo(8660, 5780, QImage::Format_RGB32);
    {
        QPainter painter(&photo);
        painter.drawImage(photo.rect(), pattern(QSize(866, 578)));
    }
    QByteArray photoBytes;
    {
        QBuffer buffer(&photoBytes);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "jpeg", 80);
    }
    QTest::newRow("50-megapixel photo") << "photo50mp.jpg" << photoBytes << photo.size() << true;
}

// In a child with 2 GiB of address space and a time bound: a tiny file declaring a huge image is
// refused before decoding (with its size in the warning); a real large photo still copies.
void tst_ImageUtils::copyBoundsDecodedSize()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(QSize, declared);
    QFETCH(bool, copies);
    QVERIFY(!data.isEmpty());
    const QString source = path("bounds/" + name);
    const QString destination = path("bounds/out-" + name);
    QVERIFY(writeFile(source, data, true));
    QCOMPARE(QImageReader(source).size(), declared);

    const ChildProcess::Result child = ChildProcess::runProgram(
        LARK_IMAGES_CHILD, {"copy", source, destination, "1600", "1200", "2048"}, {}, 60000);
    if (!child.finished)
        QFAIL("copyImageFile did not end within 60 s");
    const QString out = QString::fromLocal8Bit(child.standardOutput);
    QVERIFY2(child.exitCode >= 0, child.output.constData());  // not killed by a signal
    if (copies) {
        QVERIFY2(child.exitCode == 0, qPrintable(out));
        QCOMPARE(QImageReader(destination).size(), declared.scaled(1600, 1200, Qt::KeepAspectRatio));
    } else {
        QVERIFY2(child.exitCode == 1, qPrintable(out));
        QVERIFY2(out.contains("copyImageFile image too large to decode: ")
                     && out.contains(QString("QSize(%1, %2)").arg(declared.width()).arg(declared.height())),
                 qPrintable(out));
        QVERIFY(!QFileInfo::exists(destination));
    }
}

void tst_ImageUtils::applyOpacity_data()
{
    QTest::addColumn<double>("opacity");
    QTest::addColumn<int>("alpha");  // -1: image untouched
    QTest::newRow("1.5") << 1.5 << -1;
    QTest::newRow("1.0") << 1.0 << -1;
    QTest::newRow("0.5") << 0.5 << 128;
    QTest::newRow("-0.3") << -0.3 << 0;
    QTest::newRow("0.2") << 0.2 << 51;
}

void tst_ImageUtils::applyOpacity()
{
    QFETCH(double, opacity);
    QFETCH(int, alpha);
    const QImage original = pattern(QSize(10, 6));
    QImage image = original;
    QVERIFY(ImageUtils::applyOpacity(image, opacity));
    if (alpha < 0) {
        QCOMPARE(image, original);
        QCOMPARE(image.format(), original.format());
    } else {
        for (const QPoint& p : {QPoint(0, 0), QPoint(9, 5), QPoint(4, 3)})
            QCOMPARE(qAlpha(image.pixel(p)), alpha);
        if (alpha > 0)
            QVERIFY(close(image.pixelColor(0, 0), Qt::red, 3));
    }
    QPixmap pixmap = QPixmap::fromImage(original);
    QVERIFY(ImageUtils::applyOpacity(pixmap, opacity));
    QCOMPARE(qAlpha(pixmap.toImage().pixel(1, 1)), alpha < 0 ? 255 : alpha);
    QImage null;
    QVERIFY(ImageUtils::applyOpacity(null, opacity));
}

void tst_ImageUtils::createTransparentPixmap()
{
    QVERIFY(ImageUtils::createTransparentPixmap(QImage(), Qt::red, 0).isNull());
    QVERIFY(ImageUtils::createTransparentPixmap(QImage(), Qt::red, 101).isNull());
    const QImage opaque = ImageUtils::createTransparentPixmap(QImage(), Qt::red, 100);
    QCOMPARE(opaque.size(), QSize(20, 20));
    QCOMPARE(opaque.pixelColor(19, 19), QColor(Qt::red));
    const QImage half = ImageUtils::createTransparentPixmap(QImage(), Qt::red, 50);
    QCOMPARE(qAlpha(half.pixel(0, 0)), 128);
    QCOMPARE(qAlpha(half.pixel(19, 19)), 128);
    // A translucent source over an opaque background; an invalid background is transparent.
    QImage source(4, 2, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    source.setPixelColor(0, 0, Qt::blue);
    const QImage over = ImageUtils::createTransparentPixmap(source, Qt::white, 100);
    QCOMPARE(over.size(), QSize(4, 2));
    QCOMPARE(over.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(over.pixelColor(3, 1), QColor(Qt::white));
    const QImage clear = ImageUtils::createTransparentPixmap(source, QColor(), 100);
    QCOMPARE(qAlpha(clear.pixel(3, 1)), 0);
}

void tst_ImageUtils::colorize()
{
    QImage image(4, 1, QImage::Format_ARGB32);
    image.setPixelColor(0, 0, QColor(10, 20, 30, 255));
    image.setPixelColor(1, 0, QColor(200, 20, 30, 0));
    image.setPixelColor(2, 0, QColor(200, 200, 30, 128));
    image.setPixelColor(3, 0, QColor(0, 0, 0, 255));
    QPixmap pixmap = QPixmap::fromImage(image);
    const QPixmap tinted = ImageUtils::colorized(pixmap, QColor(0, 255, 0));
    QCOMPARE(pixmap.toImage().pixelColor(0, 0), QColor(10, 20, 30));  // the copy is tinted, not the original
    QImage t = tinted.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(t.pixelColor(0, 0), QColor(0, 255, 0));
    QCOMPARE(t.pixelColor(1, 0).alpha(), 0);
    QCOMPARE(t.pixelColor(2, 0).alpha(), 128);
    QVERIFY(close(t.pixelColor(2, 0), QColor(0, 255, 0), 3));

    ImageUtils::colorize(pixmap, QColor(255, 0, 0, 128));
    t = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(qAbs(t.pixelColor(0, 0).alpha() - 128) <= 1);
    QVERIFY(close(t.pixelColor(0, 0), QColor(255, 0, 0), 3));
    QVERIFY(qAbs(t.pixelColor(2, 0).alpha() - 64) <= 1);
    QPixmap null;
    ImageUtils::colorize(null, Qt::red);
    QVERIFY(null.isNull());
}

void tst_ImageUtils::fusionImage()
{
    const QString prefix = path("fusion-");
    QImage base(8, 8, QImage::Format_ARGB32);
    base.fill(Qt::blue);
    QImage overlay(4, 4, QImage::Format_ARGB32);
    overlay.fill(Qt::red);
    QVERIFY(base.save(prefix + "base.png"));
    QVERIFY(overlay.save(prefix + "top.png"));
    QVERIFY(ImageUtils::fusionImage(prefix, "base.png", "top.png", Qt::green, "out.png"));
    const QImage out(prefix + "out.png");
    QCOMPARE(out.size(), QSize(8, 8));
    QCOMPARE(out.pixelColor(1, 1), QColor(Qt::red));
    QCOMPARE(out.pixelColor(6, 6), QColor(Qt::blue));
    QVERIFY(readFile(prefix + "out.png").startsWith("\x89PNG"));

    LogCapture logs;
    QVERIFY(!ImageUtils::fusionImage(prefix, "base.png", "missing.png", Qt::green, "out2.png"));
    QVERIFY(!ImageUtils::fusionImage(prefix, "missing.png", "top.png", Qt::green, "out2.png"));
    QVERIFY(!QFile::exists(prefix + "out2.png"));
    QVERIFY(!ImageUtils::fusionImage(prefix, "base.png", "top.png", Qt::green, "base.png/out.png"));
    QCOMPARE(logs.count(Logwell::LogWarning), 3);
}

void tst_ImageUtils::hasTransparentPixel()
{
    QImage image(3, 3, QImage::Format_ARGB32);
    image.fill(QColor(0, 0, 0, 1));
    QVERIFY(!ImageUtils::hasTransparentPixel(image));
    image.setPixelColor(2, 2, QColor(255, 255, 255, 0));
    QVERIFY(ImageUtils::hasTransparentPixel(image));
    QVERIFY(!ImageUtils::hasTransparentPixel(pattern(QSize(3, 3))));
    QVERIFY(!ImageUtils::hasTransparentPixel(QImage()));
}

void tst_ImageUtils::toGray()
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixelColor(0, 0, QColor(100, 200, 50, 77));
    image.setPixelColor(1, 0, QColor(255, 255, 255, 255));
    const QImage gray = ImageUtils::toGray(image);
    const int g = (11 * 100 + 16 * 200 + 5 * 50) >> 5;
    QCOMPARE(gray.pixelColor(0, 0), QColor(g, g, g, 77));
    QCOMPARE(gray.pixelColor(1, 0), QColor(255, 255, 255));
    QCOMPARE(image.pixelColor(0, 0), QColor(100, 200, 50, 77));

    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    const QImage grayIndexed = ImageUtils::toGray(indexed);
    QCOMPARE(grayIndexed.pixelColor(0, 0), QColor((11 * 255) >> 5, (11 * 255) >> 5, (11 * 255) >> 5));
    QCOMPARE(grayIndexed.pixelColor(1, 0), QColor((5 * 255) >> 5, (5 * 255) >> 5, (5 * 255) >> 5));

    const QPixmap grayPixmap = ImageUtils::toGray(QPixmap::fromImage(pattern(QSize(4, 4))));
    QCOMPARE(grayPixmap.toImage().pixelColor(0, 0), QColor((11 * 255) >> 5, (11 * 255) >> 5, (11 * 255) >> 5));
}

void tst_ImageUtils::resizeImageToSquare()
{
    QImage wide(300, 200, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QPainter(&wide).fillRect(50, 0, 200, 200, Qt::red);
    QVERIFY(ImageUtils::resizeImageToSquare(wide, QSize(100, 100)));
    QCOMPARE(wide.size(), QSize(100, 100));
    QCOMPARE(wide.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(wide.pixelColor(99, 99), QColor(Qt::red));

    QImage square(150, 150, QImage::Format_RGB32);
    QVERIFY(!ImageUtils::resizeImageToSquare(square, QSize(200, 200)));
    QVERIFY(!ImageUtils::resizeImageToSquare(square, QSize()));
    QVERIFY(ImageUtils::resizeImageToSquare(square, QSize(100, 50)));
    QCOMPARE(square.size(), QSize(50, 50));
    QImage tall(20, 60, QImage::Format_RGB32);
    QVERIFY(ImageUtils::resizeImageToSquare(tall, QSize()));
    QCOMPARE(tall.size(), QSize(20, 20));
    QImage null;
    QVERIFY(!ImageUtils::resizeImageToSquare(null, QSize(10, 10)));

    QImage source(30, 10, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    QPainter(&source).fillRect(10, 0, 10, 10, Qt::green);
    QPixmap pixmap = QPixmap::fromImage(source);
    QVERIFY(ImageUtils::resizeImageToSquare(pixmap, true));
    QCOMPARE(pixmap.size(), QSize(10, 10));
    const QImage cut = pixmap.toImage();
    QCOMPARE(cut.pixelColor(0, 0), QColor(Qt::green));
    QCOMPARE(cut.pixelColor(9, 9), QColor(Qt::green));
    QPixmap squarePixmap(8, 8);
    QVERIFY(!ImageUtils::resizeImageToSquare(squarePixmap, false));
}

void tst_ImageUtils::sizesAndNames()
{
    QCOMPARE(ImageUtils::resizeImageToWidthKeepingRatio(100, QSize(300, 201)), QSize(100, 67));
    QCOMPARE(ImageUtils::resizeImageToWidthKeepingRatio(1, QSize(2, 1)), QSize(1, 1));  // 0.5 rounds up
    QCOMPARE(ImageUtils::resizeImageToHeightKeepingRatio(50, QSize(300, 200)), QSize(75, 50));
    LogCapture logs;
    QCOMPARE(ImageUtils::resizeImageToWidthKeepingRatio(100, QSize(0, 10)), QSize());
    QCOMPARE(ImageUtils::resizeImageToHeightKeepingRatio(100, QSize(10, 0)), QSize());
    QCOMPARE(logs.count(Logwell::LogCritical), 2);

    QCOMPARE(ImageUtils::retinaRect(QPixmap(101, 50)), QRect(0, 0, 51, 25));
    QCOMPARE(ImageUtils::imageSize(mJpeg400x200), QSize(400, 200));
    QCOMPARE(ImageUtils::imageSize(path("missing.png")), QSize(-1, -1));

    QVERIFY(ImageUtils::filenameHasWebImageExtension("a.b.JPG"));
    QVERIFY(ImageUtils::filenameHasWebImageExtension("x.Svg"));
    QVERIFY(!ImageUtils::filenameHasWebImageExtension("x.tiff"));
    QVERIFY(!ImageUtils::filenameHasWebImageExtension("jpg"));
    QVERIFY(ImageUtils::imageNameIsVectoriel("logo.SVG"));
    QVERIFY(!ImageUtils::imageNameIsVectoriel("logo.svgz"));
    QCOMPARE(ImageUtils::imageExtensionsAccordingImageFormat({"JPG", "PNG"}), QStringList{"png"});
    QCOMPARE(ImageUtils::imageExtensionsAccordingImageFormat({"JPEG"}), (QStringList{"jpeg", "jpg"}));
    QCOMPARE(ImageUtils::imageExtensionsAccordingImageFormat({"svg", "png", "gif", "jpeg"}),
             (QStringList{"jpeg", "jpg", "gif", "png", "svg"}));
    QCOMPARE(ImageUtils::defaultJpegCompression(), 80);
}

void tst_ImageUtils::setLabelPixmap()
{
    QLabel label;
    ImageUtils::setLabelPixmap(&label, 50, QPixmap::fromImage(pattern(QSize(200, 100))));
    QCOMPARE(label.size(), QSize(50, 25));
    QCOMPARE(label.minimumSize(), QSize(50, 25));
    QCOMPARE(label.maximumSize(), QSize(50, 25));
    QVERIFY(label.hasScaledContents());
    QCOMPARE(label.pixmap(Qt::ReturnByValue).size(), QSize(100, 50));
    LogCapture logs;
    ImageUtils::setLabelPixmap(nullptr, 50, QPixmap());
    QVERIFY(logs.has(Logwell::LogCritical, "ImageUtils::setLabelPixmap"));
}

QTEST_MAIN(tst_ImageUtils)
#include "tst_imageutils.moc"
