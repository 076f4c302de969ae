#ifndef EXIFUTILS_H
#define EXIFUTILS_H

#include "larkutils_export.h"

#include <QString>

class QIODevice;

/// The EXIF orientation of JPEG files as a rotation angle, and its clearing once applied.
class LARKUTILS_EXPORT ExifUtils
{
public:
    /// Degrees to turn the pixels clockwise to stand upright: 0, 90, 180 or -90; 0 when the file
    /// cannot be read or has no usable Orientation.
    static int imageExifRotation(const QString& path);
    /// The same for a JPEG device, read from its current position; 0 for a null device.
    static int imageExifRotation(QIODevice* device);
    /// Sets Orientation to the SignedLong 0 (the file is replaced, unchanged on failure); false
    /// without an EXIF block.
    static bool clearRotation(const QString& path);
};

#endif // EXIFUTILS_H
