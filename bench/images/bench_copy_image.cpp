// ImageUtils::copyImageFile of a 4000x3000 JPEG to at most 1600x1200, against vipsthumbnail
// -s 1600x1200, ImageMagick's convert -resize 1600x1200 and the bare Qt route (decode, smooth
// scale, save). Every route runs in its own child process, so that time and peak memory
// (ru_maxrss) are measured the same way for all.
//   bench_copy_image [--before BENCH]  run the comparison; BENCH, the same benchmark built from an
//                                      older revision, adds that revision's copyImageFile as a route
//   bench_copy_image lib|qt SRC DST    one route (used by the comparison)
// The quality of the result is given as PSNR against the bare Qt route (full decode, smooth scale)
// and against the older revision's result.

#include "ImageQuality.h"
#include "BenchStats.h"
#include <ImageUtils.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QLinearGradient>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample
{
    double ms = 0;
    long maxRssKb = 0;
};

// Runs a program, waits for it; its wall time and peak resident memory.
bool runChild(const QStringList& command, Sample* sample)
{
    std::vector<QByteArray> args;
    for (const QString& a : command)
        args.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage;
    std::memset(&usage, 0, sizeof usage);
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return false;
    sample->ms = timer.nsecsElapsed() / 1e6;
    sample->maxRssKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QImage photoLike(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(30, 80, 160));
    gradient.setColorAt(0.5, QColor(220, 200, 120));
    gradient.setColorAt(1, QColor(40, 120, 40));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    // Fine detail, as in a real photo: the encoder and decoder have work to do.
    quint32 state = 1;
    for (int y = 0; y < size.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int n = int(state >> 27) - 16;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == "lib")
        return ImageUtils::copyImageFile(args.at(2), args.at(3), true, QSize(1600, 1200)) ? 0 : 1;
    if (args.size() == 4 && args.at(1) == "qt") {
        const QImage image(args.at(2));
        return image.scaled(1600, 1200, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(args.at(3), "jpeg", 80)
                   ? 0
                   : 1;
    }

    QTemporaryDir dir;
    const QString source = dir.filePath("photo.jpg");
    if (!photoLike(QSize(4000, 3000)).save(source, "jpeg", 90))
        return 1;
    const QString self = QFileInfo(args.at(0)).absoluteFilePath();
    const QString vips = QStandardPaths::findExecutable("vipsthumbnail");
    // The real ImageMagick (a stand-in may come first on PATH).
    QString convert = QStringLiteral("/usr/bin/convert-im6.q16");
    if (!QFileInfo::exists(convert))
        convert = QStringLiteral("/usr/bin/convert");

    struct Route
    {
        const char* name;
        QStringList command;
        std::vector<double> ms;
        std::vector<double> rss;
    };
    std::vector<Route> routes;
    routes.push_back({"copyImageFile", {self, "lib", source, dir.filePath("lib.jpg")}, {}, {}});
    routes.push_back({"bare Qt", {self, "qt", source, dir.filePath("qt.jpg")}, {}, {}});
    const int beforeAt = args.indexOf("--before");
    const QString before = beforeAt > 0 && beforeAt + 1 < args.size() ? args.at(beforeAt + 1) : QString();
    if (!before.isEmpty())
        routes.push_back({"before", {before, "lib", source, dir.filePath("before.jpg")}, {}, {}});
    if (!vips.isEmpty())
        routes.push_back({"vipsthumbnail", {vips, source, "-s", "1600x1200", "-o", dir.filePath("vips.jpg") + "[Q=80]"}, {}, {}});
    if (QFileInfo::exists(convert))
        routes.push_back({"convert", {convert, source, "-resize", "1600x1200", "-quality", "80", dir.filePath("im.jpg")}, {}, {}});

    const int rounds = qEnvironmentVariableIsSet("BENCH_ROUNDS") ? qMax(1, qEnvironmentVariableIntValue("BENCH_ROUNDS")) : 7;
    for (int r = 0; r < rounds; ++r) {
        for (Route& route : routes) {
            Sample s;
            if (!runChild(route.command, &s)) {
                std::fprintf(stderr, "%s failed\n", route.name);
                return 1;
            }
            route.ms.push_back(s.ms);
            route.rss.push_back(s.maxRssKb / 1024.0);
        }
    }
    const QImage result(dir.filePath("lib.jpg"));
    std::printf("source 4000x3000, result %dx%d\n", result.width(), result.height());
    for (const Route& route : routes)
        std::printf("%-14s median %8.1f ms, peak %7.1f MiB\n", route.name, Bench::median(route.ms), Bench::median(route.rss));
    const double lib = Bench::median(routes[0].ms), qt = Bench::median(routes[1].ms);
    std::printf("ratio copyImageFile/bare Qt: time %.2f, peak memory %.2f (target <= 1.5)\n", lib / qt,
                Bench::median(routes[0].rss) / Bench::median(routes[1].rss));
    for (size_t i = 2; i < routes.size(); ++i) {
        if (std::strcmp(routes[i].name, "before") == 0) {
            std::printf("ratio copyImageFile/before: time %.2f (target <= 1.05), peak memory %.2f\n",
                        lib / Bench::median(routes[i].ms), Bench::median(routes[0].rss) / Bench::median(routes[i].rss));
            continue;
        }
        std::printf("ratio copyImageFile/%s: %.2f (target <= %.1f)\n", routes[i].name, lib / Bench::median(routes[i].ms),
                    std::strcmp(routes[i].name, "convert") == 0 ? 0.3 : 0.8);
    }
    std::printf("PSNR copyImageFile against bare Qt: %.2f dB\n", psnr(result, QImage(dir.filePath("qt.jpg"))));
    if (!before.isEmpty())
        std::printf("PSNR copyImageFile against before: %.2f dB\n", psnr(result, QImage(dir.filePath("before.jpg"))));
    return 0;
}
