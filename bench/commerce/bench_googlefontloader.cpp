// GoogleFontLoader::loadJsonGFontFromBynaryDatas on a generated catalogue of 2,000 families,
// against QJsonDocument::fromJson of the same bytes alone. Target: at most 2 times the parse.

#include "BenchStats.h"
#include <GoogleFontLoader.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
const int FAMILIES = 2000;

// A catalogue in the service's format: each family with a rotating set of variants and files.
QByteArray generateCatalogue()
{
    const QStringList weights{"100", "200", "300", "regular", "500", "600", "700", "800", "900"};
    QJsonArray items;
    for (int i = 0; i < FAMILIES; ++i) {
        QJsonArray variants;
        QJsonObject files;
        const QString family = QStringLiteral("Family %1 Sans").arg(i);
        const QString slug = QStringLiteral("family%1sans").arg(i);
        const int count = 1 + i % weights.size();
        for (int w = 0; w < count; ++w) {
            const QString upright = weights.at(w);
            const QString italic = upright == QLatin1String("regular") ? QStringLiteral("italic") : upright + QLatin1String("italic");
            for (const QString& variant : {upright, italic}) {
                if (variant == italic && i % 3 == 0)
                    continue;
                variants.append(variant);
                files.insert(variant, QStringLiteral("http://fonts.gstatic.com/s/%1/v%2/%1-%3.ttf").arg(slug).arg(i % 40).arg(variant));
            }
        }
        QJsonObject entry;
        entry.insert(QStringLiteral("kind"), QStringLiteral("webfonts#webfont"));
        entry.insert(QStringLiteral("family"), family);
        entry.insert(QStringLiteral("category"), i % 2 ? QStringLiteral("serif") : QStringLiteral("sans-serif"));
        entry.insert(QStringLiteral("variants"), variants);
        entry.insert(QStringLiteral("subsets"), QJsonArray{"latin", "latin-ext"});
        entry.insert(QStringLiteral("version"), QStringLiteral("v%1").arg(i % 40));
        entry.insert(QStringLiteral("lastModified"), QStringLiteral("2022-09-22"));
        entry.insert(QStringLiteral("files"), files);
        items.append(entry);
    }
    QJsonObject top;
    top.insert(QStringLiteral("kind"), QStringLiteral("webfonts#webfontList"));
    top.insert(QStringLiteral("items"), items);
    return QJsonDocument(top).toJson();
}

volatile int sink = 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray data = generateCatalogue();

    // Alternate the two so that both see the same machine state. Each starts from nothing and its
    // result is released after the clock stops.
    std::vector<double> parse, load;
    for (int round = 0; round < 21; ++round) {
        QElapsedTimer timer;
        {
            timer.start();
            const QJsonDocument document = QJsonDocument::fromJson(data);
            parse.push_back(double(timer.nsecsElapsed()));
            sink += document.object().size();
        }
        {
            GoogleFontLoader loader;
            timer.restart();
            const bool ok = loader.loadJsonGFontFromBynaryDatas(data);
            load.push_back(double(timer.nsecsElapsed()));
            if (!ok || loader.fontNames().size() != FAMILIES) {
                std::printf("catalogue did not load\n");
                return 1;
            }
        }
    }
    const double parseMs = Bench::median(parse) / 1e6;
    const double loadMs = Bench::median(load) / 1e6;
    std::printf("catalogue: %d families, %d bytes\n", FAMILIES, int(data.size()));
    std::printf("QJsonDocument::fromJson:       %.2f ms\n", parseMs);
    std::printf("loadJsonGFontFromBynaryDatas:  %.2f ms\n", loadMs);
    std::printf("ratio: %.2f (target <= 2)\n", loadMs / parseMs);
    return 0;
}
