// Tree walks on 20,000 files in 1,000 folders against du -sb, find -type f and cp -r, in the
// same run.

#include "BenchSupport.h"
#include "FileUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = 5;
    QTemporaryDir temp(QStringLiteral("/tmp/bench-trees-XXXXXX"));
    const QString source = temp.path() + QStringLiteral("/site");
    const QString copy = temp.path() + QStringLiteral("/copy");

    // 10 folders of 99 sub-folders each: 1,000 folders of 20 files, 100 to 2,000 bytes.
    int files = 0;
    for (int top = 0; top < 10; ++top) {
        const QString topFolder = source + QStringLiteral("/section%1").arg(top);
        for (int sub = 0; sub < 100; ++sub) {
            const QString folder = sub == 0 ? topFolder : topFolder + QStringLiteral("/page%1").arg(sub);
            QDir().mkpath(folder);
            for (int i = 0; i < 20; ++i) {
                QFile file(folder + QStringLiteral("/file%1.html").arg(i));
                file.open(QIODevice::WriteOnly);
                file.write(QByteArray(100 + (files * 37) % 1900, 'x'));
                ++files;
            }
        }
    }
    QTextStream(stdout) << "tree: " << files << " files in 1000 folders\n";

    quint64 size = 0;
    const double sizeOurs = Bench::timeMs(repetitions, [&] { size = FileUtils::folderSize(source); });
    const double sizePeer = Bench::timeMs(repetitions, [&] { Bench::runPeer(QStringLiteral("du"), {"-sb", source}); });
    Bench::report(QStringLiteral("folderSize"), sizeOurs, QStringLiteral("du -sb"), sizePeer, 2.0);

    QStringList list;
    const double listOurs = Bench::timeMs(repetitions, [&] { list.clear(); FileUtils::listFilesInFileSystem(source, list); });
    const double listPeer = Bench::timeMs(repetitions, [&] {
        Bench::runPeer(QStringLiteral("find"), {source, "-type", "f"});
    });
    Bench::report(QStringLiteral("listFilesInFileSystem"), listOurs, QStringLiteral("find -type f"), listPeer, 2.0);

    const auto clean = [&] { QDir(copy).removeRecursively(); };
    const double copyOurs = Bench::timeMs(repetitions, [&] { FileUtils::copyDir(source, copy, false); }, clean);
    const double copyPeer = Bench::timeMs(repetitions, [&] { Bench::runPeer(QStringLiteral("cp"), {"-r", source, copy}); },
                                          clean);
    Bench::report(QStringLiteral("copyDir"), copyOurs, QStringLiteral("cp -r"), copyPeer, 2.0);
    clean();
    if (list.size() != files || size == 0)
        QTextStream(stdout) << "unexpected results: " << list.size() << " files listed, " << size << " bytes\n";
    return 0;
}
