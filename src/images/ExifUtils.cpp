#include "ExifUtils.h"

#include "QExifImageHeader.h"

#include "LarkLog.h"

namespace {

// Degrees to turn the pixels clockwise for the header's Orientation.
int rotationOf(const QExifImageHeader& header)
{
    switch (header.value(QExifImageHeader::Orientation).toShort()) {
    case 3: return 180;
    case 6: return 90;
    case 8: return -90;
    default: return 0;
    }
}

}

int ExifUtils::imageExifRotation(const QString& path)
{
    const QExifImageHeader header(path);
    return rotationOf(header);
}

int ExifUtils::imageExifRotation(QIODevice* device)
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return 0;
    }
    const QExifImageHeader header(device);
    return rotationOf(header);
}

bool ExifUtils::clearRotation(const QString& path)
{
    QExifImageHeader header;
    if (!header.readFromJpeg(path))
        return false;
    header.setValue(QExifImageHeader::Orientation, QExifValue(qint32(0)));
    return header.writeIntoJpeg(path);
}
