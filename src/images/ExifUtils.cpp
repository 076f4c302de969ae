#include "ExifUtils.h"

#include "QExifImageHeader.h"

#include "LarkLog.h"

int ExifUtils::imageExifRotation(const QString& path)
{
    const QExifImageHeader header(path);
    return imageExifRotation(header);
}

int ExifUtils::imageExifRotation(QIODevice* device)
{
    if (!device) {
        LARK_CRITICAL << "null device";
        return 0;
    }
    const QExifImageHeader header(device);
    return imageExifRotation(header);
}

int ExifUtils::imageExifRotation(const QExifImageHeader& header)
{
    switch (header.value(QExifImageHeader::Orientation).toShort()) {
    case 3: return 180;
    case 6: return 90;
    case 8: return -90;
    default: return 0;
    }
}

bool ExifUtils::clearRotation(const QString& path)
{
    QExifImageHeader header;
    if (!header.readFromJpeg(path))
        return false;
    header.setValue(QExifImageHeader::Orientation, QExifValue(qint32(0)));
    return header.writeIntoJpeg(path);
}
