// libFuzzer target: reads a JPEG's EXIF header, writes it back into a copy, reads the copy again.

#include <QExifImageHeader.h>

#include <Logwell.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Hostile data produces Qt warnings ("Invalid Ifd Type") and log messages by the thousand.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Logwell::setHandler([](const Logwell::Message&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), int(size));
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QExifImageHeader header;
    if (!header.readFromJpeg(&buffer))
        return 0;

    QByteArray copy = input;
    QBuffer output(&copy);
    output.open(QIODevice::ReadWrite);
    if (!header.writeIntoJpeg(&output))
        return 0;

    output.seek(0);
    QExifImageHeader again;
    if (!again.readFromJpeg(&output))
        abort();  // what we wrote must read back
    if (again.imageTags() != header.imageTags() || again.extendedTags() != header.extendedTags()
        || again.gpsTags() != header.gpsTags() || again.thumbnailData() != header.thumbnailData())
        abort();
    return 0;
}
