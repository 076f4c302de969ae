// MD5 and SHA-1 of a 256 MiB file against coreutils md5sum and sha1sum, in the same run.

#include "BenchSupport.h"
#include "FileUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = 5;
    QTemporaryDir temp(QStringLiteral("/tmp/bench-digests-XXXXXX"));
    const QString path = temp.path() + QStringLiteral("/data.bin");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(42);
        for (int i = 0; i < 256; ++i) {
            random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
            file.write(block);
        }
    }
    // Warm the page cache so that both sides read from memory.
    FileUtils::md5(path);
    Bench::runPeer(QStringLiteral("md5sum"), {path});

    QString ours;
    const double md5Ours = Bench::timeMs(repetitions, [&] { ours = FileUtils::md5(path); });
    const double md5Peer = Bench::timeMs(repetitions, [&] { Bench::runPeer(QStringLiteral("md5sum"), {path}); });
    Bench::report(QStringLiteral("md5 (256 MiB)"), md5Ours, QStringLiteral("md5sum"), md5Peer, 1.2);
    const double sha1Ours = Bench::timeMs(repetitions, [&] { ours = FileUtils::sha1(path); });
    const double sha1Peer = Bench::timeMs(repetitions, [&] { Bench::runPeer(QStringLiteral("sha1sum"), {path}); });
    Bench::report(QStringLiteral("sha1 (256 MiB)"), sha1Ours, QStringLiteral("sha1sum"), sha1Peer, 1.2);
    return 0;
}
