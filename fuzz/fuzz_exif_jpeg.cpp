// libFuzzer target: reads a JPEG's EXIF header, writes it back into a copy, reads the copy again:
// the copy must hold the same tags and values, and no text may hold a NUL.

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

namespace {

// A text read from a file never holds a NUL: it ends at the first one.
void checkTexts(const QExifImageHeader& header)
{
    auto check = [](const QExifValue& value) {
        if (value.type() == QExifValue::Ascii
            && (value.toString().contains(QChar(0)) || value.count() != value.toString().size() + 1))
            abort();
    };
    for (quint16 tag : header.imageTags())
        check(header.value(tag));
    for (quint16 tag : header.extendedTags())
        check(header.extendedValue(tag));
    for (quint16 tag : header.gpsTags())
        check(header.gpsValue(tag));
}

// Every value of every directory reads back as it was written.
void checkSameValues(const QExifImageHeader& a, const QExifImageHeader& b)
{
    for (quint16 tag : a.imageTags())
        if (!(a.value(tag) == b.value(tag)))
            abort();
    for (quint16 tag : a.extendedTags())
        if (!(a.extendedValue(tag) == b.extendedValue(tag)))
            abort();
    for (quint16 tag : a.gpsTags())
        if (!(a.gpsValue(tag) == b.gpsValue(tag)))
            abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), int(size));
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QExifImageHeader header;
    if (!header.readFromJpeg(&buffer))
        return 0;
    checkTexts(header);

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
    checkTexts(again);
    checkSameValues(header, again);
    return 0;
}
