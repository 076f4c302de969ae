#include "ExifFixtures.h"
#include "ExifPeer.h"
#include "ChildProcess.h"
#include "LogCapture.h"

#include <ExifUtils.h>
#include <QExifImageHeader.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <FailureFixtures.h>
#include <TestFiles.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace ExifFixtures;

namespace {

QByteArray withOrientation(bool big, const Entry& orientation)
{
    Tiff t(big);
    t.ifd0 << t.ascii(0x010F, "LarkCam") << orientation;
    t.exif << t.undefined(0x9000, "0230");
    return jpegWithExif(t.build());
}

}

class tst_ExifUtils : public QObject
{
    Q_OBJECT

private slots:
    void angle_data();
    void angle();
    void angleOfUnreadableFiles();
    void clearRotation_data();
    void clearRotation();
    void clearRotationRefuses_data();
    void clearRotationRefuses();
    void peersAcceptClearedFile_data();
    void peersAcceptClearedFile();
    void rewriteKeepsLinkAndMode();
    void rewriteFailureKeepsPhoto();
    void rewriteOnFullDisk_data();
    void rewriteOnFullDisk();

private:
    QTemporaryDir mDir;
};

void tst_ExifUtils::angle_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<int>("angle");
    const Tiff le(false), be(true);
    const int expected[9] = {0, 0, 0, 180, 0, 0, 90, 0, -90};
    for (int o = 0; o <= 8; ++o) {
        QTest::addRow("II short %d", o) << withOrientation(false, le.shorts(0x0112, {quint16(o)})) << expected[o];
        QTest::addRow("MM short %d", o) << withOrientation(true, be.shorts(0x0112, {quint16(o)})) << expected[o];
    }
    QTest::newRow("byte 6") << withOrientation(false, le.bytes(0x0112, "\x06")) << 90;
    QTest::newRow("long 6") << withOrientation(false, le.longs(0x0112, {6})) << 0;
    QTest::newRow("two shorts") << withOrientation(false, le.shorts(0x0112, {6, 6})) << 0;
    QTest::newRow("no tag") << withOrientation(false, le.shorts(0x0100, {6})) << 0;
    QTest::newRow("no EXIF") << plainJpeg() << 0;
}

void tst_ExifUtils::angle()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(int, angle);
    const QString path = mDir.filePath("angle.jpg");
    QVERIFY(writeFile(path, jpeg));
    QCOMPARE(ExifUtils::imageExifRotation(path), angle);
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(ExifUtils::imageExifRotation(&buffer), angle);
}

void tst_ExifUtils::angleOfUnreadableFiles()
{
    QCOMPARE(ExifUtils::imageExifRotation(mDir.filePath("missing.jpg")), 0);
    const QString png = mDir.filePath("image.png");
    QVERIFY(pattern(QSize(4, 4)).save(png));
    QCOMPARE(ExifUtils::imageExifRotation(png), 0);
    QVERIFY(!ExifUtils::clearRotation(png));
    QVERIFY(!ExifUtils::clearRotation(mDir.filePath("missing.jpg")));
    QVERIFY(!QFile::exists(mDir.filePath("missing.jpg")));
    LogCapture logs;
    QCOMPARE(ExifUtils::imageExifRotation(static_cast<QIODevice*>(nullptr)), 0);
    QVERIFY(logs.has(Logwell::LogCritical, "ExifUtils::imageExifRotation"));
}

void tst_ExifUtils::clearRotation_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<int>("placement");
    QTest::newRow("II, EXIF first") << false << int(ReplaceJfif);
    QTest::newRow("MM, EXIF first") << true << int(ReplaceJfif);
    QTest::newRow("II, after JFIF") << false << int(AfterJfif);
}

void tst_ExifUtils::clearRotation()
{
    QFETCH(bool, big);
    QFETCH(int, placement);
    const QString path = mDir.filePath("clear.jpg");
    const QByteArray original = jpegWithExif(cameraTiff(big, 6, true, true).build(), Placement(placement));
    QVERIFY(writeFile(path, original));
    QCOMPARE(ExifUtils::imageExifRotation(path), 90);

    QVERIFY(ExifUtils::clearRotation(path));
    QCOMPARE(ExifUtils::imageExifRotation(path), 0);
    const QExifImageHeader header(path);
    const QExifValue orientation = header.value(QExifImageHeader::Orientation);
    QCOMPARE(orientation.type(), 9);
    QCOMPARE(orientation.count(), 1);
    QCOMPARE(orientation.toSignedLongVector(), QVector<qint32>{0});
    QCOMPARE(header.byteOrder(), big ? QExifImageHeader::BigEndian : QExifImageHeader::LittleEndian);
    QCOMPARE(header.value(0x010F).toString(), QString("LarkCam"));
    const QByteArray cleared = readFile(path);
    QCOMPARE(afterExif(cleared), afterExif(original));
    QVERIFY(cleared.size() >= original.size());
    QVERIFY(!QImage(path).isNull());
}

void tst_ExifUtils::clearRotationRefuses_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    const QByteArray jpeg = plainJpeg();
    QTest::newRow("no EXIF block") << jpeg;
    QTest::newRow("APP0 not JFIF before EXIF")
        << jpeg.left(2) + segment(0xFFE0, "JFXX\0\x10") + exifSegment(cameraTiff(false, 6, false, false).build())
               + jpeg.mid(2 + firstSegmentSize(jpeg));
}

void tst_ExifUtils::clearRotationRefuses()
{
    QFETCH(QByteArray, jpeg);
    const QString path = mDir.filePath("refuse.jpg");
    QVERIFY(writeFile(path, jpeg));
    QVERIFY(!ExifUtils::clearRotation(path));
    QCOMPARE(readFile(path), jpeg);
}

void tst_ExifUtils::peersAcceptClearedFile_data()
{
    QTest::addColumn<bool>("big");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("makerNote");
    QTest::newRow("II 3") << false << 3 << 0;
    QTest::newRow("MM 6") << true << 6 << 0;
    QTest::newRow("II 8, 30 kB maker note") << false << 8 << 30000;
}

void tst_ExifUtils::peersAcceptClearedFile()
{
    if (ExifPeer::exiftool().isEmpty())
        QSKIP("exiftool is not installed");
    QFETCH(bool, big);
    QFETCH(int, orientation);
    QFETCH(int, makerNote);
    const QString original = mDir.filePath("peer-original.jpg");
    const QString cleared = mDir.filePath("peer-cleared.jpg");
    QVERIFY(writeFile(original, jpegWithExif(cameraTiff(big, quint16(orientation), true, true, makerNote).build())));
    QFile::remove(cleared);
    QVERIFY(QFile::copy(original, cleared));
    QVERIFY(ExifUtils::clearRotation(cleared));

    const QStringList before = ExifPeer::validationIssues(original);
    for (const QString& issue : ExifPeer::validationIssues(cleared)) {
        if (issue.contains("out of sequence") || issue.contains("out of order") || issue.contains("IFD0:Orientation")
            || issue.contains("IFD0 0x0112 Orientation"))
            continue;  // the fixed entry order, and the Orientation 0 written on purpose
        QVERIFY2(before.contains(issue), qPrintable(issue));
    }
    const QJsonObject a = ExifPeer::tags(original);
    const QJsonObject b = ExifPeer::tags(cleared);
    QCOMPARE(b.value("IFD0:Orientation").toInt(), 0);
    for (auto it = a.begin(); it != a.end(); ++it) {
        if ((it.key().startsWith("IFD0:") || it.key().startsWith("ExifIFD:")) && it.key() != "IFD0:Orientation")
            QVERIFY2(b.value(it.key()) == it.value(), qPrintable(it.key()));
    }
    QCOMPARE(afterExif(readFile(cleared)), afterExif(readFile(original)));

    const QString exiv2 = QStandardPaths::findExecutable("exiv2");
    if (!exiv2.isEmpty()) {
        QProcess process;
        process.start(exiv2, {"-q", "-K", "Exif.Image.Orientation", "-pv", cleared});
        QVERIFY(process.waitForFinished(30000));
        const QString line = QString::fromUtf8(process.readAllStandardOutput()).simplified();
        QVERIFY2(line.contains("SLong 1") && line.endsWith(" 0"), qPrintable(line));
    }
}

// The photo is replaced by a new file: a link to it stays a link, the file keeps its mode.
void tst_ExifUtils::rewriteKeepsLinkAndMode()
{
    QVERIFY(QDir(mDir.path()).mkpath("link/photos"));
    const QString photo = mDir.filePath("link/photos/photo.jpg");
    const QString link = mDir.filePath("link/photo-link.jpg");
    QVERIFY(writeFile(photo, jpegWithExif(cameraTiff(false, 6, false, false).build())));
    QVERIFY(::chmod(QFile::encodeName(photo).constData(), 0640) == 0);
    QVERIFY(::symlink("photos/photo.jpg", QFile::encodeName(link).constData()) == 0);

    QVERIFY(ExifUtils::clearRotation(link));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ExifUtils::imageExifRotation(photo), 0);
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(photo).constData(), &info) == 0);
    QCOMPARE(int(info.st_mode & 07777), 0640);
    QCOMPARE(QDir(mDir.filePath("link/photos")).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
}

// A photo that cannot be replaced (chattr +i: even root cannot) stays as it was, and the new
// file written beside it does not stay behind.
void tst_ExifUtils::rewriteFailureKeepsPhoto()
{
    QVERIFY(QDir(mDir.path()).mkpath("locked"));
    const QString photo = mDir.filePath("locked/photo.jpg");
    const QByteArray original = jpegWithExif(cameraTiff(true, 8, true, true).build());
    QVERIFY(writeFile(photo, original));
    FileTest::Immutable locked(photo);
    if (!locked.ok())
        QSKIP("chattr +i is not available here");
    const bool cleared = ExifUtils::clearRotation(photo);
    QExifImageHeader header(photo);
    header.setValue(0x010E, QExifValue(QString(3000, QLatin1Char('x'))));
    const bool written = header.writeIntoJpeg(photo);
    locked.release();
    QVERIFY(!cleared);
    QVERIFY(!written);
    QCOMPARE(readFile(photo), original);
    QCOMPARE(QDir(mDir.filePath("locked")).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
}

void tst_ExifUtils::rewriteOnFullDisk_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("clearRotation") << "clear-rotation";
    QTest::newRow("writeIntoJpeg, larger header") << "larger-header";
}

// On a really full disk (a small tmpfs in the child's own mount namespace) the rewrite fails, the
// photo keeps every byte and nothing is left beside it.
void tst_ExifUtils::rewriteOnFullDisk()
{
    QFETCH(QString, operation);
    const QString photo = mDir.filePath("full-disk-source.jpg");
    QVERIFY(writeFile(photo, jpegWithExif(cameraTiff(false, 6, true, true).build())));
    const ChildProcess::Result child = ChildProcess::runProgram(
        LARK_IMAGES_CHILD, {"full-disk", mDir.filePath("full-disk-" + operation), photo, operation}, {}, 30000);
    if (!child.finished)
        QFAIL("the rewrite on a full disk did not end within 30 s");
    if (child.exitCode == 77)
        QSKIP("mounting a tmpfs is not permitted here");
    QVERIFY2(child.exitCode == 0, child.output.constData());
}

QTEST_GUILESS_MAIN(tst_ExifUtils)
#include "tst_exifutils.moc"
