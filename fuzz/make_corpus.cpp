// Writes the seed corpus of the EXIF fuzz target: small camera-like JPEG files and broken ones.
//   make_corpus <folder>

#include "ExifFixtures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

using namespace ExifFixtures;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(".");
    auto save = [&dir](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QSize small(8, 8);
    bool ok = true;
    ok &= save("camera_le_6.jpg", jpegWithExif(cameraTiff(false, 6, false, false).build(), ReplaceJfif, small));
    ok &= save("camera_be_3_gps.jpg", jpegWithExif(cameraTiff(true, 3, true, false).build(), ReplaceJfif, small));
    ok &= save("camera_le_8_thumb.jpg", jpegWithExif(cameraTiff(false, 8, true, true).build(), ReplaceJfif, small));
    ok &= save("jfif_then_exif_be.jpg", jpegWithExif(cameraTiff(true, 1, false, true, 64).build(), AfterJfif, small));
    ok &= save("no_exif.jpg", plainJpeg(small));

    Tiff t(false);
    t.ifd0 << t.shorts(0x0112, {6}) << Entry{0x0200, 11, 1, t.u32(1)} << t.longs(0x0201, {4, 5, 6}, 9)
           << t.rationals(0x0202, {{1, 2}, {3, 4}}, 10) << t.bytes(0x0203, "abcdefg");
    ok &= save("odd_types.jpg", jpegWithExif(t.build(), ReplaceJfif, small));

    // Every form of Ascii value (no NUL, several, count 0, inline and at an offset), both byte orders.
    for (bool big : {false, true}) {
        Tiff texts(big);
        quint16 tag = 0x0100;
        for (const AsciiForm& form : asciiForms())
            texts.ifd0 << Entry{tag++, 2, form.count, form.raw};
        texts.gps << Entry{0x0001, 2, 1, "N"} << Entry{0x0003, 2, 2, QByteArray("E\0", 2)};
        ok &= save(big ? "ascii_forms_be.jpg" : "ascii_forms_le.jpg", jpegWithExif(texts.build(), ReplaceJfif, small));
    }
    return ok ? 0 : 1;
}
