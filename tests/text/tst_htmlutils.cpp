#include <HTMLUtils.h>

#include "Interpreters.h"
#include "LogCapture.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

namespace {

using TextFunction = std::function<QString(const QString&)>;

const QMap<QString, TextFunction>& functionTable()
{
    static const QMap<QString, TextFunction> functions = {
        {"escape", [](const QString& t) { return HTMLUtils::textWithoutHtmlTags(t, false); }},
        {"escapeNbsp", [](const QString& t) { return HTMLUtils::textWithoutHtmlTags(t, true); }},
        {"decode", &HTMLUtils::decodeFromHtmlText},
        {"js", &HTMLUtils::encodeToJavascriptText},
        {"cssId", &HTMLUtils::formatCompliantcssId},
        {"cssClass", &HTMLUtils::formatCompliantcssClassName},
        {"folder", &HTMLUtils::formatCompliantFolder},
        {"url", &HTMLUtils::encodeSrcUrlWithFullyAmpersands},
        {"srcUrl", &HTMLUtils::encodeSrcUrl},
        {"localFile", &HTMLUtils::formatedLocalFile},
        {"br", [](const QString& t) { QString copy = t; return HTMLUtils::htmlBRreplace(copy); }},
        {"metaName", [](const QString& t) { return HTMLUtils::formatHtmlMetaName("description", t); }},
        {"metaHttp", [](const QString& t) { return HTMLUtils::formatHtmlMetaHttpEqui("refresh", t); }},
        {"metaNamed", [](const QString& t) { return HTMLUtils::formatHtmlMetaName(t, "x"); }},
    };
    return functions;
}

// What HTML escaping keeps of text (and a parser gives back): unprintable characters go,
// whole surrogate pairs stay.
QString keptByEscaping(const QString& text, bool spacesAsNbsp)
{
    QString kept;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            kept += c;
            kept += text.at(++i);
        } else if (c == QLatin1Char('\n') || c.isPrint()) {
            kept += (spacesAsNbsp && c == QLatin1Char(' ')) ? QChar(0xa0) : c;
        }
    }
    return kept;
}

} // namespace

class tst_HTMLUtils : public QObject
{
    Q_OBJECT

private slots:
    void textFunctions_data();
    void textFunctions();
    void codeCharMustBeEncoded_data();
    void codeCharMustBeEncoded();
    void colorToCss_data();
    void colorToCss();
    void colorToCssInvalid();
    void dataUris();
    void generateUUID();
    void formatHtmlToPlainText();

    void escapeThenDecodeGivesText();
    void escapedTextParsedBackByHtmlParser();
    void srcUrlParsedBackByHtmlParser();
    void javascriptTextReadBackByNode();
};

void tst_HTMLUtils::textFunctions_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString lone = QString(QChar(0xd83d));

    QTest::newRow("escape specials") << "escape" << "a < b & \"c\"\n" << "a &#60; b &#38; &#34;c&#34;&#10;";
    QTest::newRow("escape nbsp") << "escapeNbsp" << "a b" << "a&nbsp;b";
    QTest::newRow("escape drops unprintable") << "escape" << "\t\ré" << "é";
    QTest::newRow("escape keeps non-ASCII and quote") << "escape" << "l'été 中" << "l'été 中";
    QTest::newRow("escape keeps surrogate pair") << "escape" << "x😀y" << "x😀y";
    QTest::newRow("escape drops lone half") << "escape" << ("x" + lone + "y") << "xy";
    QTest::newRow("escape empty") << "escape" << "" << "";

    QTest::newRow("decode decimal") << "decode" << "x&#233;y" << "xéy";
    QTest::newRow("decode nbsp to space") << "decode" << "a&nbsp;b" << "a b";
    QTest::newRow("decode named kept") << "decode" << "&amp;" << "&amp;";
    QTest::newRow("decode near nbsp") << "decode" << "R&nap" << "R&nap";
    QTest::newRow("decode too short") << "decode" << "x&#9" << "x&#9";
    QTest::newRow("decode without semicolon") << "decode" << "&#65 b" << "A b";
    QTest::newRow("decode hexadecimal copied") << "decode" << "&#x41;" << "&#x41;";
    QTest::newRow("decode astral") << "decode" << "&#128512;" << "😀";
    QTest::newRow("decode zero") << "decode" << "a&#0;" << "a\ufffd";
    QTest::newRow("decode surrogate value") << "decode" << "&#55357;" << "\ufffd";
    QTest::newRow("decode beyond Unicode") << "decode" << "&#1114112;" << "\ufffd";
    QTest::newRow("decode huge") << "decode" << "&#99999999999999999999;x" << "\ufffdx";
    QTest::newRow("decode adjacent") << "decode" << "&#65&#66;" << "AB";
    QTest::newRow("decode after stray ampersand") << "decode" << "&&#65;" << "&A";
    QTest::newRow("decode escaped specials") << "decode" << "&#60;b&#62; &#38;&#34;&#10;" << "<b> &\"\n";

    QTest::newRow("js apostrophe") << "js" << "It's" << "It\\u0027s";
    QTest::newRow("js double quote") << "js" << "\"" << "\\u0022";
    QTest::newRow("js backslash") << "js" << "\\" << "\\u005c";
    QTest::newRow("js tab") << "js" << "\t" << "";
    QTest::newRow("js line feed") << "js" << "\n" << "\\n";
    QTest::newRow("js carriage return") << "js" << "a\rb" << "ab";
    QTest::newRow("js non-ASCII") << "js" << "naïve café" << "na\\u00efve caf\\u00e9";
    QTest::newRow("js script end") << "js" << "</script><!--" << "\\u003c/script>\\u003c!--";
    QTest::newRow("js surrogate pair") << "js" << "😀" << "\\ud83d\\ude00";
    QTest::newRow("js lone half") << "js" << ("a" + lone) << "a";
    QTest::newRow("js line separator") << "js" << "\u2028" << "\\u2028";

    QTest::newRow("css id") << "cssId" << "  {my-id}  " << "my_id";
    QTest::newRow("css class") << "cssClass" << "  {my_class}  " << "my-class";
    QTest::newRow("folder") << "folder" << " {a-b_c} " << "a_b_c";

    QTest::newRow("url no point") << "url" << "no extension & all" << "no%20extension%20&%20all";
    QTest::newRow("url no point, hostile") << "url" << "x\" onerror=\"alert(1)" << "x%22%20onerror=%22alert(1)";
    QTest::newRow("url ascii") << "url" << "images/my photo&1.jpg" << "images/my%20photo%261.jpg";
    QTest::newRow("url plus colon") << "url" << "a+b:c.png" << "a%2bb%3ac.png";
    QTest::newRow("url kept set") << "url" << "d/_-#?=x.v" << "d/_-#?=x.v";
    QTest::newRow("url letters kept") << "url" << "été/中.jpg" << "été/中.jpg";
    QTest::newRow("url tab as utf-8") << "url" << "a\tb.gif" << "a%09b.gif";
    QTest::newRow("url symbols as utf-8") << "url" << "©–.x" << "%c2%a9%e2%80%93.x";
    QTest::newRow("url emoji as utf-8") << "url" << "😀.png" << "%f0%9f%98%80.png";
    QTest::newRow("url extension copied") << "url" << "a b.t x" << "a%20b.t%20x";
    QTest::newRow("url extension kept") << "url" << "a b.v2/file" << "a%20b.v2/file";
    QTest::newRow("url extension quotes") << "url" << "photo.jpg\" onerror=\"alert(1)"
                                          << "photo.jpg%22%20onerror=%22alert(1)";
    QTest::newRow("url extension markup") << "url" << "a.j'<>`g" << "a.j%27%3c%3e%60g";
    QTest::newRow("url extension white space and controls") << "url" << "a.\t\n\r\f\x01\x7f\u0085\u00a0\u2028\u3000"
                                                            << "a.%09%0a%0d%0c%01%7f%c2%85%c2%a0%e2%80%a8%e3%80%80";
    QTest::newRow("url extension letters kept") << "url" << "a.j\u00e9p&g%20\U0001F600" << "a.j\u00e9p&g%20\U0001F600";

    QTest::newRow("src url") << "srcUrl" << "http://ex.com/a b/é" << "http://ex.com/a%20b/%C3%A9";
    QTest::newRow("local file") << "localFile" << "C:\\x y/z" << "file:///C:\\x y/z";
    QTest::newRow("br") << "br" << "a\r\nb\n" << "a\r<br>b<br>";

    QTest::newRow("meta name") << "metaName" << "Tom & \"Jerry\""
                               << "<meta name=\"description\" content=\"Tom &#38; &#34;Jerry&#34;\"/>";
    QTest::newRow("meta http-equiv") << "metaHttp" << "5; url=a<b"
                                     << "<meta http-equiv=\"refresh\" content=\"5; url=a&#60;b\"/>";
    QTest::newRow("meta name escaped") << "metaNamed" << "og:title\" onload=\"x"
                                       << "<meta name=\"og:title&#34; onload=&#34;x\" content=\"x\"/>";
}

void tst_HTMLUtils::textFunctions()
{
    QFETCH(QString, function);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QVERIFY(functionTable().contains(function));
    QCOMPARE(functionTable().value(function)(text), expected);
}

void tst_HTMLUtils::codeCharMustBeEncoded_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("encoded");
    QTest::newRow("ampersand") << 38 << true;
    QTest::newRow("less") << 60 << true;
    QTest::newRow("greater") << 62 << true;
    QTest::newRow("double quote") << 34 << true;
    QTest::newRow("apostrophe") << 39 << false;
    QTest::newRow("letter") << 65 << false;
    QTest::newRow("brace") << 125 << false;
    QTest::newRow("tilde") << 126 << true;
    QTest::newRow("non-ASCII") << 233 << true;
    QTest::newRow("negative") << -1 << false;
}

void tst_HTMLUtils::codeCharMustBeEncoded()
{
    QFETCH(int, code);
    QFETCH(bool, encoded);
    QCOMPARE(HTMLUtils::codeCharMustBeEncoded(code), encoded);
}

void tst_HTMLUtils::colorToCss_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("expected");
    QTest::newRow("opaque") << QColor(255, 0, 0) << "#ff0000";
    QTest::newRow("half") << QColor(255, 0, 0, 128) << "rgba(255,0,0,0.501961)";
    QTest::newRow("transparent") << QColor(1, 2, 3, 0) << "rgba(1,2,3,0)";
    QTest::newRow("hsv opaque") << QColor::fromHsv(120, 255, 255) << "#00ff00";
}

void tst_HTMLUtils::colorToCss()
{
    QFETCH(QColor, color);
    QFETCH(QString, expected);
    QCOMPARE(HTMLUtils::colorToCss(color), expected);
}

void tst_HTMLUtils::colorToCssInvalid()
{
    LogCapture logs;
    QCOMPARE(HTMLUtils::colorToCss(QColor()), QString());
    QVERIFY(logs.has(Logwell::LogCritical, "HTMLUtils::colorToCss"));
}

void tst_HTMLUtils::dataUris()
{
    const QByteArray bytes("\x00\xff<svg/>", 8);
    QCOMPARE(HTMLUtils::base64ForImageTagSource(bytes), QStringLiteral("data:image;base64,AP88c3ZnLz4="));
    QCOMPARE(HTMLUtils::base64ForSvgImageTagSource(bytes), QStringLiteral("data:image/svg+xml;base64,AP88c3ZnLz4="));
    QCOMPARE(HTMLUtils::base64ForImageTagSource(QByteArray()), QStringLiteral("data:image;base64,"));

    const QString gif = HTMLUtils::tiniestInlineGifImage();
    const QString prefix = QStringLiteral("data:image/gif;base64,");
    QVERIFY(gif.startsWith(prefix));
    const QImage image = QImage::fromData(QByteArray::fromBase64(gif.mid(prefix.size()).toLatin1()), "GIF");
    if (!image.isNull()) // the GIF reader is a plug-in
        QCOMPARE(image.size(), QSize(1, 1));
    QCOMPARE(gif, QStringLiteral("data:image/gif;base64,R0lGODlhAQABAAAAACH5BAEKAAEALAAAAAABAAEAAAICTAEAOw=="));
}

void tst_HTMLUtils::generateUUID()
{
    const QRegularExpression form(QStringLiteral("^[0-9a-f]{8}_[0-9a-f]{4}_[0-9a-f]{4}_[0-9a-f]{4}_[0-9a-f]{12}$"));
    const QString id = HTMLUtils::generateUUID();
    QCOMPARE(id.size(), 36);
    QVERIFY2(form.match(id).hasMatch(), qPrintable(id));
    QVERIFY(HTMLUtils::generateUUID() != id);
}

void tst_HTMLUtils::formatHtmlToPlainText()
{
    QCOMPARE(HTMLUtils::formatHtmlToPlainText(QStringLiteral("<p>Tom &amp; <b>Jerry</b></p><p>&#233;t&eacute;</p>")),
             QStringLiteral("Tom & Jerry\nété"));
    QCOMPARE(HTMLUtils::formatHtmlToPlainText(QString()), QString());
}

void tst_HTMLUtils::escapeThenDecodeGivesText()
{
    const QStringList strings = awkwardStrings(10000, 11);
    int mismatches = 0;
    for (const QString& text : strings) {
        for (bool nbsp : {false, true}) {
            const QString expected = keptByEscaping(text, false);
            const QString decoded = HTMLUtils::decodeFromHtmlText(HTMLUtils::textWithoutHtmlTags(text, nbsp));
            if (decoded != expected && ++mismatches < 4)
                qWarning() << "mismatch" << text << decoded << expected;
        }
    }
    QCOMPARE(mismatches, 0);
}

void tst_HTMLUtils::escapedTextParsedBackByHtmlParser()
{
    REQUIRE_INTERPRETER("python3");
    // Each escaped text goes into an attribute value and into the content of one element; the
    // parser must see exactly that element, with the text back in both places.
    const QStringList strings = awkwardStrings(10000, 12);
    QByteArray input;
    for (const QString& text : strings)
        for (bool nbsp : {false, true})
            input += HTMLUtils::textWithoutHtmlTags(text, nbsp).toUtf8().toHex() + '\n';
    QTemporaryDir dir;
    QFile data(dir.filePath("input.txt"));
    QVERIFY(data.open(QIODevice::WriteOnly) && data.write(input) == input.size());
    data.close();
    const QByteArray script = R"(
import html.parser, sys
class Reader(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.events = []
    def handle_starttag(self, tag, attrs): self.events.append(('start', tag, attrs))
    def handle_endtag(self, tag): self.events.append(('end', tag))
    def handle_startendtag(self, tag, attrs): self.events.append(('startend', tag))
    def handle_data(self, data):
        if self.events and self.events[-1][0] == 'data':
            self.events[-1] = ('data', self.events[-1][1] + data)
        else:
            self.events.append(('data', data))
    def handle_comment(self, data): self.events.append(('comment', data))
    def handle_decl(self, decl): self.events.append(('decl', decl))
    def handle_pi(self, data): self.events.append(('pi', data))
    def unknown_decl(self, data): self.events.append(('unknown', data))
out = []
for line in open(sys.argv[1] if len(sys.argv) > 1 else 'INPUT', encoding='ascii'):
    text = bytes.fromhex(line.strip()).decode('utf-8')
    reader = Reader()
    reader.feed('<p title="' + text + '">' + text + '</p>')
    reader.close()
    events = reader.events
    if events and events[0][0] == 'start' and events[-1] == ('end', 'p'):
        body = events[1:-1]
        content = body[0][1] if len(body) == 1 and body[0][0] == 'data' else ('' if not body else None)
        attrs = events[0][2]
        if events[0][1] == 'p' and content is not None and len(attrs) == 1 and attrs[0][0] == 'title':
            out.append(attrs[0][1].encode('utf-8').hex() + ' ' + content.encode('utf-8').hex())
            continue
    out.append('BAD ' + repr(events))
print('\n'.join(out))
)";
    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("python3"),
                                             QByteArray(script).replace("'INPUT'", "r'" + data.fileName().toUtf8() + "'"),
                                             QStringLiteral(".py"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    QList<QByteArray> lines = output.split('\n');
    QVERIFY(lines.size() > 1 && lines.last().isEmpty());
    lines.removeLast();
    QCOMPARE(lines.size(), strings.size() * 2);
    int mismatches = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString& text = strings.at(i / 2);
        const QString expected = keptByEscaping(text, i % 2 == 1);
        const QList<QByteArray> parts = lines.at(i).split(' ');
        const bool ok = parts.size() == 2 && QString::fromUtf8(QByteArray::fromHex(parts.at(0))) == expected
            && QString::fromUtf8(QByteArray::fromHex(parts.at(1))) == expected;
        if (!ok && ++mismatches < 4)
            qWarning() << "mismatch for" << text << lines.at(i).left(300);
    }
    QCOMPARE(mismatches, 0);
}

void tst_HTMLUtils::srcUrlParsedBackByHtmlParser()
{
    REQUIRE_INTERPRETER("python3");
    // Each encoded file name goes into the src attribute of an <img>, double-quoted, single-quoted
    // and unquoted, followed by one more element: the parser must see exactly that tag with one
    // attribute holding what was written, and then the next element. Hostile names without "%"
    // and "&" must also percent-decode back to the name.
    const QStringList hostile = {
        "photo.jpg\" onerror=\"alert(1)", "photo.jpg' onerror='alert(1)", "a.jpg><script>alert(1)</script>",
        "a.jpg/><svg onload=alert(1)>", "a.jpg`onerror=`alert(1)", "x.v2/my file\tname\nnext", "images/été 中.jpg\"/>",
        "a.j\u00a0p\u2028g\u3000x", "a.jpg\x01\x1f\x7f\u0085\u0080", "a.\"'<>`", "...", ".", "no point \" here",
        "a.jpg\x1c\x1d\x1e onerror=alert(1)", "dir.d/sub dir/file.tar.gz \"x"};
    QStringList names = hostile;
    names += awkwardStrings(5000, 13);
    QByteArray input;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        const bool roundTrip = i < hostile.size() && name.contains('.');
        input += throughUtf8(name).toUtf8().toHex() + ' ' + HTMLUtils::encodeSrcUrlWithFullyAmpersands(name).toUtf8().toHex()
            + (roundTrip ? " 1\n" : " 0\n");
    }
    QTemporaryDir dir;
    QFile data(dir.filePath("input.txt"));
    QVERIFY(data.open(QIODevice::WriteOnly) && data.write(input) == input.size());
    data.close();
    const QByteArray script = R"(
import html, html.parser, sys, urllib.parse
class Reader(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.events = []
    def handle_starttag(self, tag, attrs): self.events.append(('start', tag, attrs))
    def handle_startendtag(self, tag, attrs): self.events.append(('startend', tag, attrs))
    def handle_endtag(self, tag): self.events.append(('end', tag))
    def handle_data(self, data): self.events.append(('data', data))
    def handle_comment(self, data): self.events.append(('comment', data))
    def handle_decl(self, decl): self.events.append(('decl', decl))
    def handle_pi(self, data): self.events.append(('pi', data))
    def unknown_decl(self, data): self.events.append(('unknown', data))
out = []
for line in open(r'INPUT', encoding='ascii'):
    name_hex, encoded_hex, round_trip = line.rstrip('\n').split(' ')
    name = bytes.fromhex(name_hex).decode('utf-8')
    encoded = bytes.fromhex(encoded_hex).decode('utf-8')
    bad = []
    for quote in ['"', "'", '']:
        if quote == '' and (encoded == '' or encoded.endswith('/')):
            continue  # an unquoted value needs a text, and "/" before ">" reads as a self-closing tag
        reader = Reader()
        reader.feed('<img src=' + quote + encoded + quote + '><p>after</p>')
        reader.close()
        expected = [('start', 'img', [('src', html.unescape(encoded))]), ('start', 'p', []), ('data', 'after'), ('end', 'p')]
        if reader.events != expected:
            bad.append(repr(quote) + ' ' + repr(reader.events)[:300])
        elif round_trip == '1' and urllib.parse.unquote(reader.events[0][2][0][1], errors='strict') != name:
            bad.append('not decoded back: ' + repr(reader.events[0][2][0][1]))
    out.append('BAD ' + repr(name) + ' ' + repr(encoded) + ' ' + ' | '.join(bad) if bad else 'ok')
print('\n'.join(out))
)";
    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("python3"),
                                             QByteArray(script).replace("r'INPUT'", "r'" + data.fileName().toUtf8() + "'"),
                                             QStringLiteral(".py"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    const QList<QByteArray> lines = output.trimmed().split('\n');
    QCOMPARE(lines.size(), names.size());
    int bad = 0;
    for (const QByteArray& line : lines) {
        if (line != "ok" && ++bad < 5)
            qWarning() << line.left(600);
    }
    QCOMPARE(bad, 0);
}

void tst_HTMLUtils::javascriptTextReadBackByNode()
{
    REQUIRE_INTERPRETER("node");
    const QStringList strings = awkwardStrings(10000, 13);
    QByteArray script = "const v = [\n";
    for (const QString& text : strings) {
        const QString encoded = HTMLUtils::encodeToJavascriptText(text);
        QVERIFY2(!encoded.contains(QLatin1Char('<')), qPrintable(encoded));
        script += "['" + encoded.toUtf8() + "',\"" + encoded.toUtf8() + "\"],\n";
    }
    script += R"(];
const hex = s => Array.from({length: s.length}, (_, i) => s.charCodeAt(i).toString(16).padStart(4, '0')).join('');
process.stdout.write(v.map(p => hex(p[0]) + ' ' + hex(p[1])).join('\n') + '\n');
)";
    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("node"), script, QStringLiteral(".js"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    const QList<QByteArray> lines = output.split('\n');
    QCOMPARE(lines.size(), strings.size() + 1);
    int mismatches = 0;
    for (int i = 0; i < strings.size(); ++i) {
        // Unprintable characters (but line feeds) and lone surrogate halves are dropped.
        const QString expected = keptByEscaping(strings.at(i), false);
        const QList<QByteArray> parts = lines.at(i).split(' ');
        const bool ok = parts.size() == 2 && fromUtf16Hex(parts.at(0)) == expected && fromUtf16Hex(parts.at(1)) == expected;
        if (!ok && ++mismatches < 4)
            qWarning() << "mismatch for" << strings.at(i) << lines.at(i);
    }
    QCOMPARE(mismatches, 0);
}

QTEST_GUILESS_MAIN(tst_HTMLUtils)
#include "tst_htmlutils.moc"
