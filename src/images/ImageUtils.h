#ifndef IMAGEUTILS_H
#define IMAGEUTILS_H

#include "larkutils_export.h"

#include <QByteArray>
#include <QColor>
#include <QFlags>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;

/// Image operations of the applications: copying pictures into a project with a size limit, EXIF
/// rotation and re-encoding; progressive output; opacity, tinting, greying, squaring; name helpers.
class LARKUTILS_EXPORT ImageUtils : public QObject
{
    Q_OBJECT

public:
    /// How copyImageFile treats a copy.
    enum OptionImageCopy {
        OptionApplyExifRotation = 0x01,
        OptionProgressive = 0x02,
        OptionKeepRatioByExpanding = 0x04,
        OptionHighQuality = 0x08,
        OptionNoResize = 0x10,
        OptionRetina = 0x20,
        OptionProgressiveOnlyIfReencoded = 0x40
    };
    Q_DECLARE_FLAGS(OptionsImageCopy, OptionImageCopy)

    /// JPEG quality of the copies.
    static const int DEFAULT_JPEG_COMPRESSION = 80;
    /// JPEG quality with OptionHighQuality.
    static const int HIGH_QUALITY_JPEG_COMPRESSION = 85;
    /// Side of the placeholder image written for an empty image.
    static const int PLACEHOLDER_SIDE = 20;
    /// The suffixes of the image formats that web pages show.
    static const QStringList WEB_IMAGE_SUFFIXES;
    /// The suffix of vector images ("svg").
    static const QString VECTOR_SUFFIX;

    /// Only for the translation context and meta-object: every operation is static.
    ImageUtils();
    virtual ~ImageUtils();

    /// Copies an image into place, resizing, rotating and re-encoding as needed (in the source's
    /// own format). False, with a log message, on failure; an existing destination then stays.
    /// An image to decode that declares more than 2^28 pixels is refused before decoding.
    static bool copyImageFile(QString source, QString destination, bool keepAspectRatio, QSize maxSizeImage,
                              QFlags<OptionImageCopy> options = QFlags<OptionImageCopy>(), int quality = -1);
    /// Writes the image with progressive scan at the given quality; false (old file kept) on failure.
    static bool writeProgressiveImage(const QImage& image, const QString& path, const QByteArray& format,
                                      int compression);

    /// Gives the whole image one uniform alpha (0..1); values above 1 or exactly 1 change nothing.
    static bool applyOpacity(QImage& image, double opacity);
    /// The same for a pixmap (through an image).
    static bool applyOpacity(QPixmap& pixmap, double opacity);
    /// Replaces the colour of every pixel by color, keeping its alpha scaled by color's alpha.
    static void colorize(QPixmap& pixmap, const QColor& color);
    /// A tinted copy of the pixmap.
    static QPixmap colorized(const QPixmap& pixmap, const QColor& color);
    /// The image over a background colour, made translucent (opacity 1..100 %); null outside 1..100.
    static QImage createTransparentPixmap(const QImage& image, const QColor& background, int opacity);
    /// Draws prefix+overlay over prefix+base and saves it as PNG under prefix+output; false when an
    /// image cannot be loaded or the result cannot be saved.
    static bool fusionImage(const QString& prefix, const QString& base, const QString& overlay,
                            const QColor& color, const QString& output);
    /// True as soon as one pixel is fully transparent.
    static bool hasTransparentPixel(const QImage& image);
    /// A grey copy ((11 R + 16 G + 5 B) / 32), alpha kept.
    static QImage toGray(const QImage& image);
    /// The same for a pixmap (through an image).
    static QPixmap toGray(const QPixmap& pixmap);
    /// Crops to a centred square, scaled down to fit maxSize; false when already square and fitting.
    static bool resizeImageToSquare(QImage& image, const QSize& maxSize);
    /// Crops to a centred square (no scaling); false for a square pixmap.
    static bool resizeImageToSquare(QPixmap& pixmap, bool transparentBackground);
    /// (width, height scaled by the same ratio); an invalid size for a size of width 0.
    static QSize resizeImageToWidthKeepingRatio(int width, const QSize& size);
    /// (width scaled by the same ratio, height); an invalid size for a size of height 0.
    static QSize resizeImageToHeightKeepingRatio(int height, const QSize& size);
    /// (0, 0) and half the pixmap's size, each side rounded.
    static QRect retinaRect(const QPixmap& pixmap);
    /// Shows the pixmap in a side x side label at twice the resolution, keeping its ratio.
    static void setLabelPixmap(QLabel* label, int side, const QPixmap& pixmap);
    /// The size the file's header announces, without decoding; (-1, -1) when unknown.
    static QSize imageSize(const QString& path);
    /// True for the suffixes jpg, jpeg, png, gif and svg (any case).
    static bool filenameHasWebImageExtension(const QString& name);
    /// True for the suffix svg (any case).
    static bool imageNameIsVectoriel(const QString& name);
    /// The file suffixes of the formats jpeg, gif, png and svg found in the list, in that order.
    static QStringList imageExtensionsAccordingImageFormat(const QStringList& formats);
    /// The default JPEG quality, 80.
    static int defaultJpegCompression();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ImageUtils::OptionsImageCopy)

#endif // IMAGEUTILS_H
