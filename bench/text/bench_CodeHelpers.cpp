// The PHP and JavaScript writers on a list of prices and shop texts, through a UTF-8 stream and
// through legacy codecs, against QJsonDocument writing the same values (also doubles in their
// shortest exact form, strings escaped).
#include <JsCodeHelpers.h>
#include <PhpCodeHelpers.h>

#include "MixedText.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

int main()
{
    QRandomGenerator random(20261211);
    const QStringList words = mixedEuropeanText(2 * 1024 * 1024).split(QLatin1Char(' '));
    QVariantList values;
    QJsonArray json;
    for (const QString& word : words) {
        const double price = random.bounded(1000000) / 100.0;
        values << word << price;
        json << word << price;
    }
    const double megabytes = double(QJsonDocument(json).toJson(QJsonDocument::Compact).size()) / 1e6;
    qsizetype sink = 0;
    const auto through = [&](const char* codec, auto writer) {
        return [&sink, &values, codec, writer] {
            QByteArray bytes;
            QTextStream stream(&bytes);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
            stream.setCodec(codec);
#else
            stream.setEncoding(QStringConverter::encodingForName(codec).value_or(QStringConverter::Utf8));
#endif
            writer(&stream, values);
            stream.flush();
            sink += bytes.size();
        };
    };
    const auto php = [](QTextStream* s, const QVariantList& v) { PhpCodeHelpers::formatPhpArray(s, v); };
    const auto js = [](QTextStream* s, const QVariantList& v) { JsCodeHelpers::formatJavascriptArray(s, v); };
    compareWithPeer(megabytes, 11, "QJsonDocument::toJson (peer)",
                    [&] { sink += QJsonDocument(json).toJson(QJsonDocument::Compact).size(); },
                    {{"PhpCodeHelpers::formatPhpArray, UTF-8", through("UTF-8", php)},
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
                     {"PhpCodeHelpers::formatPhpArray, Windows-1252", through("Windows-1252", php)},
                     {"PhpCodeHelpers::formatPhpArray, Shift_JIS", through("Shift_JIS", php)},
                     {"JsCodeHelpers::formatJavascriptArray, Shift_JIS", through("Shift_JIS", js)},
#else
                     // Latin-1 is the only legacy encoding of Qt 6 streams.
                     {"PhpCodeHelpers::formatPhpArray, ISO-8859-1", through("ISO-8859-1", php)},
                     {"JsCodeHelpers::formatJavascriptArray, ISO-8859-1", through("ISO-8859-1", js)},
#endif
                     {"JsCodeHelpers::formatJavascriptArray, UTF-8", through("UTF-8", js)}});
    return sink == 0 ? 1 : 0;
}
