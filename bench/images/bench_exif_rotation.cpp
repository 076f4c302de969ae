// ExifUtils::imageExifRotation over 1000 camera-like JPEG files against libexif
// (exif_data_new_from_file and the Orientation entry), measured in the same run.

#include "ExifFixtures.h"

#include <ExifUtils.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <libexif/exif-data.h>

#include <algorithm>
#include <cstdio>

using namespace ExifFixtures;

static int libexifRotation(const char* path)
{
    ExifData* data = exif_data_new_from_file(path);
    if (!data)
        return 0;
    int angle = 0;
    if (ExifEntry* entry = exif_data_get_entry(data, EXIF_TAG_ORIENTATION)) {
        switch (exif_get_short(entry->data, exif_data_get_byte_order(data))) {
        case 3: angle = 180; break;
        case 6: angle = 90; break;
        case 8: angle = -90; break;
        }
    }
    exif_data_unref(data);
    return angle;
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const int files = 1000;
    QStringList paths;
    QList<QByteArray> nativePaths;
    const quint16 orientations[4] = {1, 3, 6, 8};
    for (int i = 0; i < files; ++i) {
        // Phone/camera-like: both byte orders, GPS, a thumbnail, a maker note of a few kB.
        const Tiff tiff = cameraTiff(i % 2, orientations[i % 4], i % 3 != 0, true, 2000 + (i % 7) * 1000);
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(jpegWithExif(tiff.build(), ReplaceJfif, QSize(64, 48)));
        paths << path;
        nativePaths << QFile::encodeName(path);
    }

    auto runOurs = [&]() {
        long sum = 0;
        for (const QString& path : paths)
            sum += ExifUtils::imageExifRotation(path);
        return sum;
    };
    auto runLibexif = [&]() {
        long sum = 0;
        for (const QByteArray& path : nativePaths)
            sum += libexifRotation(path.constData());
        return sum;
    };
    if (runOurs() != runLibexif()) {
        std::fprintf(stderr, "the two readers disagree\n");
        return 1;
    }

    // Alternate the two, several rounds; the best round of each counts (files are in the page cache).
    const int rounds = 7;
    qint64 bestOurs = -1, bestPeer = -1;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        runOurs();
        const qint64 ours = timer.nsecsElapsed();
        timer.restart();
        runLibexif();
        const qint64 peer = timer.nsecsElapsed();
        bestOurs = bestOurs < 0 ? ours : std::min(bestOurs, ours);
        bestPeer = bestPeer < 0 ? peer : std::min(bestPeer, peer);
    }
    std::printf("imageExifRotation, %d files: %.2f ms\n", files, bestOurs / 1e6);
    std::printf("libexif,           %d files: %.2f ms\n", files, bestPeer / 1e6);
    std::printf("ratio ours/libexif: %.2f (target <= 1.00)\n", double(bestOurs) / double(bestPeer));
    return 0;
}
