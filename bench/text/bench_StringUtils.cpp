// removeAccents and normalizeTextForSearch on 10 MiB of mixed European text, against Qt's
// decomposition to normalisation form D of the same text. QString::normalized replaces each
// decomposed character in place, which is quadratic on one long string, so the peer gets the
// text line by line (its best case); our functions get the whole text at once.
#include <StringUtils.h>

#include "MixedText.h"

#include <cstdio>

int main()
{
    const QString text = mixedEuropeanText(10 * 1024 * 1024);
    const double megabytes = double(text.toUtf8().size()) / 1e6;
    const int repetitions = 7;
    qsizetype sink = 0;

    const QStringList lines = text.split(QLatin1Char('\n'));
    const double peer = medianSeconds(repetitions, [&] {
        for (const QString& line : lines)
            sink += line.normalized(QString::NormalizationForm_D).size();
    });
    const double accents = medianSeconds(repetitions, [&] { sink += StringUtils::removeAccents(text).size(); });
    const double search = medianSeconds(repetitions, [&] { sink += StringUtils::normalizeTextForSearch(text).size(); });

    std::printf("text: %.1f MB (UTF-8), median of %d runs\n", megabytes, repetitions);
    std::printf("%-42s %9.1f MB/s\n", "QString::normalized(NFD) per line (peer)", megabytes / peer);
    std::printf("%-42s %9.1f MB/s  time ratio %.2f\n", "StringUtils::removeAccents", megabytes / accents,
                accents / peer);
    std::printf("%-42s %9.1f MB/s  time ratio %.2f\n", "StringUtils::normalizeTextForSearch",
                megabytes / search, search / peer);
    return sink == 0 ? 1 : 0;
}
