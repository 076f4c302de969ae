// textWithoutHtmlTags and encodeToJavascriptText on 10 MiB of mixed text, against
// QString::toHtmlEscaped on the same text.
#include <HTMLUtils.h>

#include "MixedText.h"

int main()
{
    const QString text = mixedEuropeanText(10 * 1024 * 1024);
    qsizetype sink = 0;
    compareWithPeer(double(text.toUtf8().size()) / 1e6, 11, "QString::toHtmlEscaped (peer)",
                    [&] { sink += text.toHtmlEscaped().size(); },
                    {{"HTMLUtils::textWithoutHtmlTags", [&] { sink += HTMLUtils::textWithoutHtmlTags(text, false).size(); }},
                     {"HTMLUtils::textWithoutHtmlTags (nbsp)", [&] { sink += HTMLUtils::textWithoutHtmlTags(text, true).size(); }},
                     {"HTMLUtils::encodeToJavascriptText", [&] { sink += HTMLUtils::encodeToJavascriptText(text).size(); }}});
    return sink == 0 ? 1 : 0;
}
