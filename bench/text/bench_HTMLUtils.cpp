// textWithoutHtmlTags and encodeToJavascriptText on 10 MiB of mixed text, against
// QString::toHtmlEscaped on the same text.
#include <HTMLUtils.h>

#include "MixedText.h"

#include <cstdio>

int main()
{
    const QString text = mixedEuropeanText(10 * 1024 * 1024);
    const double megabytes = double(text.toUtf8().size()) / 1e6;
    const int repetitions = 9;
    qsizetype sink = 0;

    const double peer = medianSeconds(repetitions, [&] { sink += text.toHtmlEscaped().size(); });
    const double html = medianSeconds(repetitions, [&] { sink += HTMLUtils::textWithoutHtmlTags(text, false).size(); });
    const double nbsp = medianSeconds(repetitions, [&] { sink += HTMLUtils::textWithoutHtmlTags(text, true).size(); });
    const double js = medianSeconds(repetitions, [&] { sink += HTMLUtils::encodeToJavascriptText(text).size(); });

    std::printf("text: %.1f MB (UTF-8), median of %d runs\n", megabytes, repetitions);
    std::printf("%-44s %9.1f MB/s\n", "QString::toHtmlEscaped (peer)", megabytes / peer);
    std::printf("%-44s %9.1f MB/s  time ratio %.2f\n", "HTMLUtils::textWithoutHtmlTags", megabytes / html, html / peer);
    std::printf("%-44s %9.1f MB/s  time ratio %.2f\n", "HTMLUtils::textWithoutHtmlTags (nbsp)", megabytes / nbsp,
                nbsp / peer);
    std::printf("%-44s %9.1f MB/s  time ratio %.2f\n", "HTMLUtils::encodeToJavascriptText", megabytes / js, js / peer);
    return sink == 0 ? 1 : 0;
}
