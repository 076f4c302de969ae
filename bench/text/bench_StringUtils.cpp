// removeAccents and normalizeTextForSearch on 10 MiB of mixed European text, against Qt's
// decomposition to normalisation form D of the same text. QString::normalized replaces each
// decomposed character in place, which is quadratic on one long string, so the peer gets the
// text line by line (its best case); our functions get the whole text at once.
#include <StringUtils.h>

#include "MixedText.h"

int main()
{
    const QString text = mixedEuropeanText(10 * 1024 * 1024);
    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype sink = 0;
    compareWithPeer(double(text.toUtf8().size()) / 1e6, 7, "QString::normalized(NFD) per line (peer)",
                    [&] {
                        for (const QString& line : lines)
                            sink += line.normalized(QString::NormalizationForm_D).size();
                    },
                    {{"StringUtils::removeAccents", [&] { sink += StringUtils::removeAccents(text).size(); }},
                     {"StringUtils::normalizeTextForSearch", [&] { sink += StringUtils::normalizeTextForSearch(text).size(); }}});
    return sink == 0 ? 1 : 0;
}
