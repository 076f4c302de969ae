// Runs one risky image operation in a process of its own, for the image tests.
//
//   images_child full-disk <folder> <photo> <operation>
//       Mounts a small tmpfs at folder (in a private mount namespace, so that it goes with this
//       process), copies photo into it, fills the disk, runs the operation on the copy and checks
//       that it failed and left the copy and the folder as they were. Operations: clear-rotation
//       (ExifUtils::clearRotation), larger-header (QExifImageHeader::writeIntoJpeg of a header
//       that needs more room). Exit 0: checked; 77: mounting is not permitted; 1: a check failed
//       (the reason on standard output).
//
//   images_child copy <source> <destination> <width> <height> <address space MiB>
//       ImageUtils::copyImageFile(source, destination, true, QSize(width, height)) under an
//       RLIMIT_AS of that many MiB (0: none; never under AddressSanitizer, whose shadow memory
//       needs more). The log texts on standard output. Exit 0: copied; 1: refused.

#include <ExifUtils.h>
#include <ImageUtils.h>
#include <Logwell.h>
#include <QExifImageHeader.h>
#include <FailureFixtures.h>
#include <TestFiles.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSize>

#include <cstdio>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define IMAGES_CHILD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define IMAGES_CHILD_ASAN 1
#endif
#endif

namespace {

int fail(const QString& reason)
{
    std::printf("%s\n", qPrintable(reason));
    return 1;
}

int fullDisk(const QString& folder, const QString& photo, const QString& operation)
{
    // Before any thread exists: a multi-threaded process cannot leave its mount namespace.
    if (!QDir().mkpath(folder))
        return fail("cannot make " + folder);
    const QByteArray original = readFile(photo, UNREADABLE);
    const QString path = folder + "/photo.jpg";
    const FileTest::FullDisk disk(folder, original, "photo.jpg");
    if (!disk.mounted())
        return 77;
    if (!disk.ok())
        return fail("cannot copy the photo into the small disk and fill it");
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    bool written = false;
    if (operation == "clear-rotation") {
        written = ExifUtils::clearRotation(path);
    } else if (operation == "larger-header") {
        QExifImageHeader header(path);
        header.setValue(0x010E, QExifValue(QString(20000, QLatin1Char('x'))));
        written = header.writeIntoJpeg(path);
    } else {
        return 2;
    }

    if (written)
        return fail("reported success on a full disk");
    if (readFile(path, UNREADABLE) != original)
        return fail("the photo changed");
    const QStringList after = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (after != before)
        return fail("left behind: " + after.join(", ") + " (before: " + before.join(", ") + ")");
    return 0;
}

int copy(int argc, char** argv)
{
    const rlim_t mib = rlim_t(QByteArray(argv[6]).toULongLong());
#ifndef IMAGES_CHILD_ASAN
    if (mib > 0) {
        const rlimit limit{mib << 20, mib << 20};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            return fail("cannot limit the address space");
    }
#else
    Q_UNUSED(mib)
#endif
    QCoreApplication app(argc, argv);
    Logwell::setHandler([](const Logwell::Message& message) {
        std::printf("%s\n", qPrintable(message.text));
        std::fflush(stdout);
    });
    const QSize size(QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
    return ImageUtils::copyImageFile(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]), true, size) ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    const QByteArray command = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (command == "full-disk" && argc == 5)
        return fullDisk(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]), QString::fromLatin1(argv[4]));
    if (command == "copy" && argc == 7)
        return copy(argc, argv);
    std::fprintf(stderr, "usage: images_child full-disk FOLDER PHOTO OPERATION | copy SRC DST W H MIB\n");
    return 2;
}
