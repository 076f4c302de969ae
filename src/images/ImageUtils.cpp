#include "ImageUtils.h"

#include "ExifUtils.h"
#include "FileUtils.h"

#include "LarkLog.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QSaveFile>
#include <QTransform>

const QStringList ImageUtils::WEB_IMAGE_SUFFIXES = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                                    QStringLiteral("png"), QStringLiteral("gif"),
                                                    QStringLiteral("svg")};
const QString ImageUtils::VECTOR_SUFFIX = QStringLiteral("svg");

namespace {

// Stands for an unbounded side when only one side of a maximum size is given.
const int UNBOUNDED_SIDE = 999999999;

// The most pixels an image may declare to be decoded (a 50-megapixel photo is far below): a tiny
// file can declare any size, and decoding it would take gigabytes.
const qint64 MAX_DECODED_PIXELS = qint64(1) << 28;

// Writes beside the destination and replaces it only once every byte is on disk (the final
// flush included, which QImage::save does not check).
bool saveImage(const QImage& image, const QString& path, const QByteArray& format, int quality,
               bool progressive, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    // Qt's JPEG writer reads the quality; the compression is set as well for other writers.
    writer.setQuality(quality);
    if (progressive) {
        writer.setCompression(quality);
        writer.setProgressiveScanWrite(true);
    }
    if (!writer.write(image)) {
        *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The steps of copyImageFile

bool exceeds(const QSize& size, const QSize& limit)
{
    return size.width() > limit.width() || size.height() > limit.height();
}

// The maximum size a copy is held to: both sides zero give the invalid (-1, -1); one zero side
// leaves that side unbounded, and the other side bounds the header size of the source.
QSize settledMaximumSize(const QSize& maxSize, const QSize& headerSize)
{
    if (maxSize.width() == 0 && maxSize.height() == 0)
        return QSize(-1, -1);
    if (maxSize.width() != 0 && maxSize.height() != 0)
        return maxSize;
    const QSize box(maxSize.width() == 0 ? UNBOUNDED_SIDE : maxSize.width(),
                    maxSize.height() == 0 ? UNBOUNDED_SIDE : maxSize.height());
    return headerSize.isValid() && !headerSize.isEmpty() ? headerSize.scaled(box, Qt::KeepAspectRatio)
                                                         : QSize(-1, -1);
}

// Animations and vector images are copied as they are, whatever the options.
bool keepsItsBytes(const QString& format)
{
    return format == QLatin1String("gif") || format == QLatin1String("svg");
}

// Whether the copy is decoded and written again; otherwise its bytes are copied as they are.
bool needsReencoding(ImageUtils::OptionsImageCopy options, bool keepAspectRatio, const QSize& headerSize,
                     const QSize& maxSize, int angle)
{
    if (angle != 0)
        return true;
    if (options.testFlag(ImageUtils::OptionNoResize))
        return false;
    const bool progressive = options.testFlag(ImageUtils::OptionProgressive)
                             && !options.testFlag(ImageUtils::OptionProgressiveOnlyIfReencoded);
    return progressive || !keepAspectRatio || exceeds(headerSize, maxSize);
}

// How a decoded image is brought within the maximum size.
struct Scaling
{
    bool allowed;               // false with OptionNoResize: the image keeps its size
    QSize limit;                // the settled maximum size; only a larger image is scaled
    QSize target;               // the size scaled to: the limit, doubled for retina screens
    Qt::AspectRatioMode mode;

    QSize scaledSize(const QSize& size) const { return size.scaled(target, mode); }
};

Scaling scalingFor(ImageUtils::OptionsImageCopy options, bool keepAspectRatio, const QSize& maxSize)
{
    Scaling scaling;
    scaling.allowed = !options.testFlag(ImageUtils::OptionNoResize);
    scaling.limit = maxSize;
    scaling.target = options.testFlag(ImageUtils::OptionRetina)
                         ? QSize(qRound(maxSize.width() * 2.0), qRound(maxSize.height() * 2.0))
                         : maxSize;
    scaling.mode = options.testFlag(ImageUtils::OptionKeepRatioByExpanding) ? Qt::KeepAspectRatioByExpanding
                   : keepAspectRatio                                        ? Qt::KeepAspectRatio
                                                                            : Qt::IgnoreAspectRatio;
    return scaling;
}

// A JPEG to be scaled down by 2 or more is decoded at 1/2, 1/4 or 1/8 of its size (libjpeg's
// DCT scaling, for sides it divides exactly): a fraction of the time and memory, and within
// 40 dB PSNR of a full decode scaled down. The size to decode at, or an invalid size for a
// full decode.
QSize reducedDecodeSize(const QString& format, const QSize& headerSize, const Scaling& scaling)
{
    if (format != QLatin1String("jpeg") || !scaling.allowed || !headerSize.isValid()
        || !exceeds(headerSize, scaling.limit))
        return QSize();
    const QSize finalSize = scaling.scaledSize(headerSize);
    if (finalSize.isEmpty())
        return QSize();
    for (int d : {8, 4, 2}) {
        if (headerSize.width() % d == 0 && headerSize.height() % d == 0 && headerSize.width() / d >= finalSize.width()
            && headerSize.height() / d >= finalSize.height())
            return headerSize / d;
    }
    return QSize();
}

bool decodeImage(QImageReader& reader, const QSize& reducedSize, QImage* image)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 has its own bound (256 MiB by default): the pixel bound of the caller is the one that holds.
    reader.setAllocationLimit(int((MAX_DECODED_PIXELS * 8) >> 20));
#endif
    if (reducedSize.isValid())
        reader.setScaledSize(reducedSize);
    return reader.read(image);
}

// The decoded image scaled when it is larger than the limit. An image decoded at a reduced size
// takes the size a full decode would have been scaled to.
QImage scaledImage(const QImage& image, const Scaling& scaling, const QSize& headerSize, const QSize& reducedSize)
{
    if (reducedSize.isValid() && image.size() == reducedSize) {
        const QSize finalSize = scaling.scaledSize(headerSize);
        return image.size() == finalSize ? image
                                         : image.scaled(finalSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (scaling.allowed && exceeds(image.size(), scaling.limit))
        return image.scaled(scaling.target, scaling.mode, Qt::SmoothTransformation);
    return image;
}

// The image turned clockwise by angle degrees; 0 leaves it as it is.
QImage rotatedImage(const QImage& image, int angle)
{
    if (angle == 0)
        return image;
    QTransform transform;
    transform.rotate(angle, Qt::ZAxis);
    return image.transformed(transform, Qt::SmoothTransformation);
}

int copyQuality(ImageUtils::OptionsImageCopy options, int quality)
{
    if (options.testFlag(ImageUtils::OptionHighQuality))
        return ImageUtils::HIGH_QUALITY_JPEG_COMPRESSION;
    return quality >= 0 ? quality : ImageUtils::DEFAULT_JPEG_COMPRESSION;
}

// Writes the copy in the source's own format, never in one chosen from the destination's suffix.
bool saveCopy(const QImage& image, const QString& destination, const QString& format, int quality,
              bool progressive)
{
    const QByteArray formatBytes = format.toLatin1();
    if (progressive)
        return ImageUtils::writeProgressiveImage(image, destination, formatBytes, quality);
    QString error;
    return saveImage(image, destination, formatBytes, quality, false, &error);
}

}

ImageUtils::ImageUtils() : QObject(nullptr) {}

ImageUtils::~ImageUtils() = default;

int ImageUtils::defaultJpegCompression()
{
    return DEFAULT_JPEG_COMPRESSION;
}

bool ImageUtils::writeProgressiveImage(const QImage& image, const QString& path, const QByteArray& format,
                                       int compression)
{
    QString error;
    if (saveImage(image, path, format, compression, true, &error))
        return true;
    LARK_WARNING << "can't save writeProgressiveImage " << path << " errorString=" << error << " size="
                 << image.size();
    return false;
}

bool ImageUtils::copyImageFile(QString source, QString destination, bool keepAspectRatio, QSize maxSizeImage,
                               QFlags<OptionImageCopy> options, int quality)
{
    FileUtils::old::forceDirectoryCreationForAFile(destination);
    if (source.startsWith(QLatin1String("file://")))
        source = source.mid(7);

    // Only files: opening a FIFO would wait for a writer, a device might never end.
    const QFileInfo sourceInfo(source);
    if (sourceInfo.exists() && !sourceInfo.isFile()) {
        LARK_WARNING << "importImageFile format null" << source;
        return false;
    }
    QImageReader reader(source);
    reader.setAutoTransform(false);
    const QString format = QString::fromLatin1(reader.format()).toLower();
    const QSize headerSize = reader.size();
    if (format.isEmpty()) {
        LARK_WARNING << "importImageFile format null" << source;
        return false;
    }

    maxSizeImage = settledMaximumSize(maxSizeImage, headerSize);
    if (maxSizeImage.width() <= 0 || maxSizeImage.height() <= 0) {
        LARK_CRITICAL << "copyImageFile maxSizeImage invalid !!  = " << maxSizeImage;
        return false;
    }

    // Copy the bytes as they are, or decode.
    if (keepsItsBytes(format))
        return FileUtils::forceCopy(source, destination);
    const int angle = options.testFlag(OptionApplyExifRotation) ? ExifUtils::imageExifRotation(source) : 0;
    if (!needsReencoding(options, keepAspectRatio, headerSize, maxSizeImage, angle)) {
        const bool copied = FileUtils::forceCopy(source, destination);
        if (!copied)
            LARK_WARNING << "FileUtils::forceCopy" << source << destination;
        return copied;
    }

    if (headerSize.isValid() && qint64(headerSize.width()) * headerSize.height() > MAX_DECODED_PIXELS) {
        LARK_WARNING << "copyImageFile image too large to decode: " << headerSize << source;
        return false;
    }
    const Scaling scaling = scalingFor(options, keepAspectRatio, maxSizeImage);
    const QSize reducedSize = reducedDecodeSize(format, headerSize, scaling);
    QImage image;
    if (!decodeImage(reader, reducedSize, &image)) {
        LARK_WARNING << "importImageFile can't load " << source;
        return false;
    }
    if (image.size() == QSize(0, 0)) {
        LARK_WARNING << "copyImageFile img.size() = " << image.size();
        return false;
    }

    // Scale, then turn: the limits hold for the sides before the turn.
    image = scaledImage(image, scaling, headerSize, reducedSize);
    if (image.size() == QSize(0, 0)) {
        LARK_WARNING << "copyImageFile #2 img.size() = " << image.size() << scaling.target;
        return false;
    }
    image = rotatedImage(image, angle);
    if (image.size() == QSize(0, 0)) {
        LARK_WARNING << "copyImageFile #4 img.size() = " << image.size();
        return false;
    }

    // The new file replaces the old one only once written; a folder in its place cannot go.
    if (QFileInfo(destination).isDir()) {
        LARK_CRITICAL << "copyImageFile : can't remove" << destination;
        return false;
    }
    if (!saveCopy(image, destination, format, copyQuality(options, quality), options.testFlag(OptionProgressive))) {
        LARK_WARNING << "importImageFile can't save " << destination << format << image.size()
                     << "maxSizeImage=" << maxSizeImage;
        return false;
    }
    return true;
}

bool ImageUtils::applyOpacity(QImage& image, double opacity)
{
    if (opacity > 1.0 || opacity == 1.0)
        return true;
    if (opacity < 0.0)
        opacity = 0.0;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int a = qRound(opacity * 255);
    const int width = image.width() > 0 ? image.width() : PLACEHOLDER_SIDE;
    const int height = image.height() > 0 ? image.height() : PLACEHOLDER_SIDE;
    // An alpha channel of the uniform level a.
    QImage alpha(width, height, QImage::Format_Alpha8);
    alpha.fill(QColor(a, a, a, a));
    image.setAlphaChannel(alpha);
    return true;
}

bool ImageUtils::applyOpacity(QPixmap& pixmap, double opacity)
{
    pixmap.detach();
    QImage image = pixmap.toImage();
    applyOpacity(image, opacity);
    pixmap = QPixmap::fromImage(image);
    return true;
}

void ImageUtils::colorize(QPixmap& pixmap, const QColor& color)
{
    const qreal alpha = color.alphaF();
    QColor opaque = color;
    opaque.setAlphaF(1.0);
    if (pixmap.isNull())
        return;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(pixmap.rect(), opaque);
    if (alpha < 1.0) {
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(pixmap.rect(), color);
    }
}

QPixmap ImageUtils::colorized(const QPixmap& pixmap, const QColor& color)
{
    QPixmap copy = pixmap.copy();
    colorize(copy, color);
    return copy;
}

QImage ImageUtils::createTransparentPixmap(const QImage& image, const QColor& background, int opacity)
{
    const QColor color = background.isValid() ? background : QColor(0, 0, 0, 0);
    if (opacity < 1 || opacity > 100)
        return QImage();
    QImage result;
    if (image.isNull()) {
        result = QImage(PLACEHOLDER_SIDE, PLACEHOLDER_SIDE, QImage::Format_ARGB32_Premultiplied);
        result.fill(color);
    } else {
        result = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
        result.fill(color);
        QPainter painter(&result);
        painter.drawImage(QRect(QPoint(0, 0), image.size()), image);
    }
    applyOpacity(result, opacity / 100.0);
    return result;
}

bool ImageUtils::fusionImage(const QString& prefix, const QString& base, const QString& overlay,
                             const QColor& color, const QString& output)
{
    Q_UNUSED(color)
    QPixmap top;
    if (!top.load(prefix + overlay)) {
        LARK_WARNING << "can't load" << prefix + overlay;
        return false;
    }
    QPixmap bottom;
    if (!bottom.load(prefix + base)) {
        LARK_WARNING << "can't load" << prefix + base;
        return false;
    }
    {
        QPainter painter(&bottom);
        painter.drawPixmap(0, 0, top);
    }
    if (!bottom.save(prefix + output, "PNG", -1)) {
        LARK_WARNING << "can't save" << prefix + output;
        return false;
    }
    return true;
}

bool ImageUtils::hasTransparentPixel(const QImage& image)
{
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qAlpha(image.pixel(x, y)) == 0)
                return true;
        }
    }
    return false;
}

QImage ImageUtils::toGray(const QImage& image)
{
    // Indexed images take colour indexes, not colours: work on a 32-bit copy.
    QImage gray = (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
                   || image.format() == QImage::Format_Indexed8)
                      ? image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32)
                      : image.copy();
    for (int y = 0; y < gray.height(); ++y) {
        for (int x = 0; x < gray.width(); ++x) {
            const QRgb pixel = gray.pixel(x, y);
            const int g = (11 * qRed(pixel) + 16 * qGreen(pixel) + 5 * qBlue(pixel)) >> 5;
            gray.setPixel(x, y, qRgba(g, g, g, qAlpha(pixel)));
        }
    }
    return gray;
}

QPixmap ImageUtils::toGray(const QPixmap& pixmap)
{
    return QPixmap::fromImage(toGray(pixmap.toImage()));
}

bool ImageUtils::resizeImageToSquare(QImage& image, const QSize& maxSize)
{
    if (image.width() == image.height() && (maxSize.isEmpty() || image.width() <= maxSize.width()))
        return false;
    const int side = qMin(image.width(), image.height());
    const int target = qMin(maxSize.width(), maxSize.height());
    QRect square(0, 0, side, side);
    square.moveCenter(image.rect().center());
    QImage crop = image.copy(square);
    if (!maxSize.isEmpty() && (crop.width() > target || crop.height() > target))
        crop = crop.scaled(target, target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = crop;
    return true;
}

bool ImageUtils::resizeImageToSquare(QPixmap& pixmap, bool transparentBackground)
{
    if (pixmap.width() == pixmap.height())
        return false;
    const int side = qMin(pixmap.width(), pixmap.height());
    QPixmap square(side, side);
    // A defined start, so that translucent sources show no stale memory.
    square.fill(Qt::transparent);
    if (transparentBackground)
        applyOpacity(square, 0.0);
    {
        QPainter painter(&square);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        QRect target = pixmap.rect();
        target.moveCenter(square.rect().center());
        painter.drawPixmap(target, pixmap);
    }
    pixmap = square;
    return true;
}

QSize ImageUtils::resizeImageToWidthKeepingRatio(int width, const QSize& size)
{
    if (size.width() == 0) {
        LARK_CRITICAL << "size of width 0" << size;
        return QSize();
    }
    return QSize(width, qRound(double(size.height()) * width / size.width()));
}

QSize ImageUtils::resizeImageToHeightKeepingRatio(int height, const QSize& size)
{
    if (size.height() == 0) {
        LARK_CRITICAL << "size of height 0" << size;
        return QSize();
    }
    return QSize(qRound(double(size.width()) * height / size.height()), height);
}

QRect ImageUtils::retinaRect(const QPixmap& pixmap)
{
    return QRect(0, 0, qRound(pixmap.width() / 2.0), qRound(pixmap.height() / 2.0));
}

void ImageUtils::setLabelPixmap(QLabel* label, int side, const QPixmap& pixmap)
{
    if (!label) {
        LARK_CRITICAL << "null label";
        return;
    }
    const QSize size = pixmap.size().scaled(side, side, Qt::KeepAspectRatio);
    label->setFixedSize(size);
    label->setPixmap(pixmap.scaled(qRound(size.width() * 2.0), qRound(size.height() * 2.0), Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation));
    label->setScaledContents(true);
}

QSize ImageUtils::imageSize(const QString& path)
{
    return QImageReader(path).size();
}

bool ImageUtils::filenameHasWebImageExtension(const QString& name)
{
    return WEB_IMAGE_SUFFIXES.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

bool ImageUtils::imageNameIsVectoriel(const QString& name)
{
    return QFileInfo(name).suffix().compare(VECTOR_SUFFIX, Qt::CaseInsensitive) == 0;
}

QStringList ImageUtils::imageExtensionsAccordingImageFormat(const QStringList& formats)
{
    QStringList suffixes;
    for (const char* format : {"jpeg", "gif", "png", "svg"}) {
        const QString name = QString::fromLatin1(format);
        if (!formats.contains(name, Qt::CaseInsensitive))
            continue;
        suffixes << name;
        if (name == QLatin1String("jpeg"))
            suffixes << QStringLiteral("jpg");
    }
    return suffixes;
}
