// Tree walks on 20,000 files in 1,000 folders against du -sb, find -type f and cp -r, in the
// same run. Arguments pick some of them: size, list, copy (all by default).

#include "BenchSupport.h"
#include "FileUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

static const int REPETITIONS = 5;

// 10 folders of 99 sub-folders each: 1,000 folders of 20 files, 100 to 2,000 bytes.
static int makeTree(const QString& root)
{
    int files = 0;
    for (int top = 0; top < 10; ++top) {
        const QString topFolder = root + QStringLiteral("/section%1").arg(top);
        for (int sub = 0; sub < 100; ++sub) {
            const QString folder = sub == 0 ? topFolder : topFolder + QStringLiteral("/page%1").arg(sub);
            QDir().mkpath(folder);
            for (int i = 0; i < 20; ++i) {
                QFile file(folder + QStringLiteral("/file%1.html").arg(i));
                if (file.open(QIODevice::WriteOnly) && file.write(QByteArray(100 + (files * 37) % 1900, 'x')) > 0)
                    ++files;
            }
        }
    }
    return files;
}

static void benchSize(const QString& source)
{
    quint64 size = 0;
    const double ours = Bench::timeMs(REPETITIONS, [&] { size = FileUtils::folderSize(source); });
    const double peer = Bench::timeMs(REPETITIONS, [&] { Bench::runPeer(QStringLiteral("du"), {"-sb", source}); });
    Bench::report(QStringLiteral("folderSize"), ours, QStringLiteral("du -sb"), peer, 2.0);
    if (size == 0)
        QTextStream(stdout) << "unexpected result: size 0\n";
}

static void benchList(const QString& source, int files)
{
    QStringList list;
    const double ours = Bench::timeMs(REPETITIONS, [&] {
        list.clear();
        FileUtils::listFilesInFileSystem(source, list);
    });
    const double peer = Bench::timeMs(REPETITIONS, [&] {
        Bench::runPeer(QStringLiteral("find"), {source, "-type", "f"});
    });
    Bench::report(QStringLiteral("listFilesInFileSystem"), ours, QStringLiteral("find -type f"), peer, 2.0);
    if (list.size() != files)
        QTextStream(stdout) << "unexpected result: " << list.size() << " files listed\n";
}

static void benchCopy(const QString& source, const QString& copy)
{
    const auto clean = [&] { QDir(copy).removeRecursively(); };
    const double ours = Bench::timeMs(REPETITIONS, [&] { FileUtils::copyDir(source, copy, false); }, clean);
    const double peer = Bench::timeMs(REPETITIONS, [&] {
        Bench::runPeer(QStringLiteral("cp"), {"-r", source, copy});
    }, clean);
    Bench::report(QStringLiteral("copyDir"), ours, QStringLiteral("cp -r"), peer, 2.0);
    clean();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    const auto wanted = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };

    QTemporaryDir temp(QStringLiteral("/tmp/bench-trees-XXXXXX"));
    const QString source = temp.path() + QStringLiteral("/site");
    const int files = makeTree(source);
    QTextStream(stdout) << "tree: " << files << " files in 1000 folders\n";

    if (wanted("size"))
        benchSize(source);
    if (wanted("list"))
        benchList(source, files);
    if (wanted("copy"))
        benchCopy(source, temp.path() + QStringLiteral("/copy"));
    return 0;
}
