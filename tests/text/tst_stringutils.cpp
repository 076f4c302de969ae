#include <StringUtils.h>

#include "LogCapture.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QThread>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

// The folding table as a reader sees it: replacement -> characters replaced.
static QHash<ushort, QString> expectedFolding()
{
    const QList<QPair<QString, QVector<ushort>>> groups = {
        {"S", {0x160}}, {"OE", {0x152}}, {"Z", {0x17D}}, {"s", {0x161, 0xDF}}, {"oe", {0x153}},
        {"z", {0x17E}}, {"Y", {0x178, 0xA5, 0xDD}}, {"u", {0xB5, 0xF9, 0xFA, 0xFB, 0xFC}},
        {"A", {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5}}, {"AE", {0xC6}}, {"C", {0xC7}},
        {"E", {0xC8, 0xC9, 0xCA, 0xCB}}, {"I", {0xCC, 0xCD, 0xCE, 0xCF}}, {"D", {0xD0}},
        {"N", {0xD1}}, {"O", {0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD8}}, {"U", {0xD9, 0xDA, 0xDB, 0xDC}},
        {"a", {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5}}, {"ae", {0xE6}}, {"c", {0xE7}},
        {"e", {0xE8, 0xE9, 0xEA, 0xEB}}, {"i", {0xEC, 0xED, 0xEE, 0xEF}},
        {"o", {0xF0, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF8}}, {"n", {0xF1}}, {"y", {0xFD, 0xFF}}};
    QHash<ushort, QString> map;
    for (const auto& group : groups)
        for (ushort c : group.second)
            map.insert(c, group.first);
    return map;
}

// Search normalisation as described: form D, filter, simplify, lower-case.
static QString referenceNormalize(const QString& text)
{
    // The filter keeps [a-zA-Z0-9], white space (QChar::isSpace) and "-", code unit by code unit.
    QString kept;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if ((c < QLatin1Char(0x80) && (c.isLetterOrNumber() || c == QLatin1Char('-'))) || c.isSpace())
            kept += c;
    return kept.simplified().toLower();
}

class tst_StringUtils : public QObject
{
    Q_OBJECT

private slots:
    void removeAccentsFirstCallsOverlap();
    void removeAccents_data();
    void removeAccents();
    void removeAccentsWholeTable();

    void compareVersion_data();
    void compareVersion();

    void findNoExistantName_data();
    void findNoExistantName();
    void findNoExistantNameManyTaken();

    void formatDuration_data();
    void formatDuration();

    void formatRealForInput_data();
    void formatRealForInput();
    void formatRealForInputNegativeDecimals();

    void byteArrayToString_data();
    void byteArrayToString();
    void hexaStringToByteArray_data();
    void hexaStringToByteArray();
    void digitStringsRoundTrip();
    void digitStringsBadBase();

    void normalizeTextForSearch_data();
    void normalizeTextForSearch();
    void normalizeMatchesDecomposition();
    void splitTextForSearch_data();
    void splitTextForSearch();

    void randomString();
    void identifiers();

    void replaceFirstOccurrence_data();
    void replaceFirstOccurrence();
    void replaceFirstOccurrenceRegex_data();
    void replaceFirstOccurrenceRegex();
    void replaceFirstOccurrenceInvalidRegex();

    void smallEdits();
    void fixedTexts();
};

void tst_StringUtils::removeAccentsFirstCallsOverlap()
{
    // Must stay the first test: the table is built by whichever of these calls comes first.
    std::vector<std::thread> threads;
    std::vector<QString> results(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&results, i] { results[size_t(i)] = StringUtils::removeAccents(QStringLiteral("Ærø ça")); });
    for (std::thread& t : threads)
        t.join();
    for (const QString& r : results)
        QCOMPARE(r, QStringLiteral("AEro ca"));
}

void tst_StringUtils::removeAccents_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ligatures") << QStringLiteral("Œuvre Ærø") << QStringLiteral("OEuvre AEro");
    QTest::newRow("sharp s") << QStringLiteral("Straße") << QStringLiteral("Strase");
    QTest::newRow("outside table") << QStringLiteral("ęŁ×Þ÷þ") << QStringLiteral("ęŁ×Þ÷þ");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ascii") << QStringLiteral("plain text") << QStringLiteral("plain text");
    QTest::newRow("emoji kept") << QStringLiteral("é😀ü") << QStringLiteral("e😀u");
}

void tst_StringUtils::removeAccents()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::removeAccents(text), expected);
}

void tst_StringUtils::removeAccentsWholeTable()
{
    const QHash<ushort, QString> folding = expectedFolding();
    QCOMPARE(folding.size(), 69);
    for (uint c = 1; c < 0x800; ++c) {
        const QString one = QString(QChar(ushort(c)));
        const QString expected = folding.value(ushort(c), one);
        QCOMPARE(StringUtils::removeAccents(one), expected);
    }
}

void tst_StringUtils::compareVersion_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("result");
    QTest::newRow("numeric not textual") << "1.10" << "1.9" << true << 1;
    QTest::newRow("smaller") << "1.2" << "1.3" << true << -1;
    QTest::newRow("equal") << "3.4.5" << "3.4.5" << true << 0;
    QTest::newRow("longer second ignored") << "2.0" << "2.0.1" << true << 0;
    QTest::newRow("longer first, same result") << "2.0.1" << "2.0" << true << 0;
    QTest::newRow("longer first, difference before") << "2.1.1" << "2.0" << true << 1;
    QTest::newRow("leading zeros") << "1.01" << "1.1" << true << 0;
    QTest::newRow("suffix cut") << "1.2rc3" << "1.2" << true << 0;
    QTest::newRow("not a number") << "1.a" << "1.0" << false << 0;
    QTest::newRow("empty first") << "" << "1" << false << 0;
    QTest::newRow("empty component") << "1..2" << "1.0.2" << false << 0;
    QTest::newRow("leading space") << "1. 2" << "1.2" << false << 0;
    QTest::newRow("too large") << "99999999999" << "1" << false << 0;
    QTest::newRow("decided before bad part") << "2.x" << "1.0" << true << 1;
}

void tst_StringUtils::compareVersion()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, ok);
    QFETCH(int, result);
    int actual = 42;
    QCOMPARE(StringUtils::compareVersion(first, second, actual), ok);
    QCOMPARE(actual, result);
}

void tst_StringUtils::findNoExistantName_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");
    QTest::newRow("case-insensitive taken")
        << QStringList{"Page.html", "page1.html"} << "Page" << "" << "html" << "Page2.html";
    QTest::newRow("blank prefix") << QStringList() << "   " << "" << "" << "Prefix";
    QTest::newRow("pattern with marker") << QStringList{"a.txt"} << "a" << "-%1" << ".txt" << "a-1.txt";
    QTest::newRow("pattern without marker") << QStringList{"a"} << "a" << "_" << "" << "a_1";
    QTest::newRow("free at once") << QStringList{"b.txt"} << "a" << "" << "txt" << "a.txt";
    QTest::newRow("prefix simplified") << QStringList() << "  my \t page " << "" << "" << "my page";
    QTest::newRow("accented case") << QStringList{"ÉTÉ"} << "été" << " (%1)" << "" << "été (1)";
}

void tst_StringUtils::findNoExistantName()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, prefix);
    QFETCH(QString, pattern);
    QFETCH(QString, extension);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::findNoExistantName(existing, prefix, pattern, extension), expected);
}

void tst_StringUtils::findNoExistantNameManyTaken()
{
    QStringList existing{"n.x"};
    for (int i = 1; i < 5000; ++i)
        existing << QStringLiteral("N%1.X").arg(i);
    QCOMPARE(StringUtils::findNoExistantName(existing, "n", "", "x"), QStringLiteral("n5000.x"));
}

void tst_StringUtils::formatDuration_data()
{
    QTest::addColumn<quint64>("msec");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << quint64(0) << "";
    QTest::newRow("one second") << quint64(1000) << "1s ";
    QTest::newRow("all pieces") << quint64(3723004) << "1h 2mn 3s 4ms ";
    QTest::newRow("minute and second") << quint64(61000) << "1mn 1s ";
    QTest::newRow("milliseconds only") << quint64(999) << "999ms ";
    QTest::newRow("hour only") << quint64(3600000) << "1h ";
    // A day or more keeps counting hours instead of pushing whole days into the milliseconds.
    QTest::newRow("one day") << quint64(86400000) << "24h ";
    QTest::newRow("over a day") << quint64(90061001) << "25h 1mn 1s 1ms ";
}

void tst_StringUtils::formatDuration()
{
    QFETCH(quint64, msec);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::formatDurationFromMSec(msec), expected);
    if (msec % 1000 == 0)
        QCOMPARE(StringUtils::formatDurationFromSec(msec / 1000), expected);
}

void tst_StringUtils::formatRealForInput_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("trailing zero") << 2.5 << 2 << "2.5";
    QTest::newRow("integral") << 3.0 << 2 << "3";
    QTest::newRow("zero") << 0.0 << 3 << "0";
    QTest::newRow("no decimals keeps zeros") << 100.0 << 0 << "100";
    QTest::newRow("integral zeros kept") << 100.0 << 2 << "100";
    QTest::newRow("rounding") << 1.005 << 1 << "1";
    QTest::newRow("negative") << -0.5 << 3 << "-0.5";
    QTest::newRow("negative rounds to zero") << -0.001 << 2 << "0";
    QTest::newRow("large") << 1234567.891 << 2 << "1234567.89";
}

void tst_StringUtils::formatRealForInput()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::formatRealForInput(value, decimals), expected);
}

void tst_StringUtils::formatRealForInputNegativeDecimals()
{
    LogCapture logs;
    QCOMPARE(StringUtils::formatRealForInput(2.6, -1), QStringLiteral("3"));
    QVERIFY2(logs.has(Logwell::LogCritical, "StringUtils::formatRealForInput"), qPrintable(logs.dump()));
}

void tst_StringUtils::byteArrayToString_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hex") << QByteArray("\x0a\xff", 2) << 16 << "0aff";
    QTest::newRow("decimal") << QByteArray("\x0a\xff", 2) << 10 << "10255";
    QTest::newRow("binary") << QByteArray("\x01\x05", 2) << 2 << "01101";
    QTest::newRow("base above 36") << QByteArray("\x23", 1) << 99 << "0z";
    QTest::newRow("empty") << QByteArray() << 16 << "";
}

void tst_StringUtils::byteArrayToString()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, base);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::byteArrayToString(bytes, base), expected);
}

void tst_StringUtils::hexaStringToByteArray_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("bad pair skipped") << "0aZZff" << 16 << QByteArray("\x0a\xff", 2);
    QTest::newRow("odd length") << "0a7" << 16 << QByteArray("\x0a\x07", 2);
    QTest::newRow("upper case") << "FFfe" << 16 << QByteArray("\xff\xfe", 2);
    QTest::newRow("base 36, high bits dropped") << "zz" << 36 << QByteArray(1, char((35 * 36 + 35) & 0xff));
    QTest::newRow("empty") << "" << 16 << QByteArray();
}

void tst_StringUtils::hexaStringToByteArray()
{
    QFETCH(QString, text);
    QFETCH(int, base);
    QFETCH(QByteArray, expected);
    QCOMPARE(StringUtils::hexaStringToByteArray(text, base), expected);
}

void tst_StringUtils::digitStringsRoundTrip()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    for (int base = 16; base <= 36; ++base) {
        const QString text = StringUtils::byteArrayToString(all, base);
        QCOMPARE(text.size(), 512);
        QCOMPARE(StringUtils::hexaStringToByteArray(text, base), all);
    }
}

void tst_StringUtils::digitStringsBadBase()
{
    LogCapture logs;
    QCOMPARE(StringUtils::byteArrayToString(QByteArray("ab"), 1), QString());
    QCOMPARE(StringUtils::hexaStringToByteArray(QStringLiteral("0a"), 0), QByteArray());
    QVERIFY(logs.has(Logwell::LogCritical, "StringUtils::byteArrayToString"));
    QVERIFY(logs.has(Logwell::LogCritical, "StringUtils::hexaStringToByteArray"));
}

void tst_StringUtils::normalizeTextForSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("accents and punctuation") << QStringLiteral("  Élan  Vital! ") << "elan vital";
    QTest::newRow("no decomposition") << QStringLiteral("Straße æble") << "strae ble";
    QTest::newRow("hyphen and digits") << QStringLiteral("Côte-d'Or 21") << "cote-dor 21";
    QTest::newRow("white space kinds") << QStringLiteral("a\t\n\u00a0\u2003b") << "a b";
    QTest::newRow("already decomposed") << QStringLiteral("cre\u0300me") << "creme";
    QTest::newRow("kelvin and angstrom") << QStringLiteral("\u212a\u212b") << "ka";
    QTest::newRow("only punctuation") << QStringLiteral("?! ...") << "";
    QTest::newRow("emoji and lone surrogate") << (QStringLiteral("a😀b ") + QChar(0xd800) + "c") << "ab c";
}

void tst_StringUtils::normalizeTextForSearch()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::normalizeTextForSearch(text), expected);
    QCOMPARE(StringUtils::normalizeTextForSearch(text), referenceNormalize(text));
}

void tst_StringUtils::normalizeMatchesDecomposition()
{
    // Every BMP character, each between ASCII neighbours, in blocks; then random mixes.
    for (uint block = 0; block < 0x10000; block += 0x400) {
        QString text;
        for (uint c = block; c < block + 0x400; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            text += QLatin1Char('x');
            text += QChar(ushort(c));
            text += QLatin1String(c % 3 ? "Y" : " ");
        }
        const QString actual = StringUtils::normalizeTextForSearch(text);
        const QString expected = referenceNormalize(text);
        if (actual != expected) {
            for (uint c = block; c < block + 0x400; ++c) {
                const QString one = QStringLiteral("x") + QChar(ushort(c)) + QStringLiteral("y");
                if (!QChar::isSurrogate(c))
                    QCOMPARE(StringUtils::normalizeTextForSearch(one), referenceNormalize(one));
            }
            QCOMPARE(actual, expected);
        }
    }
    QRandomGenerator random(7);
    const QString pool = QStringLiteral("aZ9- \t\n\u00a0éÆßœ\u0301\u212b.,'😀ǅﬁ①ⅷ");
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = random.bounded(30);
        for (int i = 0; i < length; ++i)
            text += pool.at(random.bounded(pool.size()));
        QCOMPARE(StringUtils::normalizeTextForSearch(text), referenceNormalize(text));
    }
}

void tst_StringUtils::splitTextForSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("phrase") << QStringLiteral("Crème-brûlée, à la carte")
                            << QStringList{"creme", "brulee", "a", "la", "carte"};
    QTest::newRow("emptied part kept") << QStringLiteral("ß und Öl") << QStringList{"", "und", "ol"};
    QTest::newRow("underscore and digits") << QStringLiteral("snake_case 42") << QStringList{"snakecase", "42"};
    QTest::newRow("decomposed word whole") << QStringLiteral("cre\u0300me bru\u0302le\u0301e")
                                           << QStringList{"creme", "brulee"};
    QTest::newRow("separators only") << QStringLiteral(" -- ,; ") << QStringList();
    QTest::newRow("lone surrogate separates") << (QStringLiteral("ab") + QChar(0xdc00) + "cd")
                                              << QStringList{"ab", "cd"};
}

void tst_StringUtils::splitTextForSearch()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(StringUtils::splitTextForSearch(text), expected);
}

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
void tst_StringUtils::randomString()
{
    QCOMPARE(StringUtils::getRandomString(0), QString());
    QCOMPARE(StringUtils::getRandomString(-3), QString());

    const QRegularExpression alphabet(QStringLiteral("^[A-Za-z0-9]{16}$"));
    QVERIFY(alphabet.match(StringUtils::getRandomString(16)).hasMatch());

    // The sequence is per thread and starts from the same seed in every new thread.
    const auto inNewThread = [] {
        QString drawn;
        std::unique_ptr<QThread> thread(QThread::create([&drawn] { drawn = StringUtils::getRandomString(40); }));
        thread->start();
        return thread->wait(10000) ? drawn : QString();
    };
    const QString first = inNewThread();
    QCOMPARE(first.size(), 40);
    QCOMPARE(inNewThread(), first);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // On Qt 5 it is qrand()'s: reproducible after qsrand.
    qsrand(1234);
    const QString a = StringUtils::getRandomString(40);
    qsrand(1234);
    QCOMPARE(StringUtils::getRandomString(40), a);
#endif

    // Every character of the alphabet comes up.
    const QString many = StringUtils::getRandomString(20000);
    QSet<QChar> seen;
    for (QChar c : many)
        seen.insert(c);
    QCOMPARE(seen.size(), 62);
}
QT_WARNING_POP

void tst_StringUtils::identifiers()
{
    const QRegularExpression uuid(
        QStringLiteral("^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"));
    const QString u1 = StringUtils::generateUUID();
    QVERIFY2(uuid.match(u1).hasMatch(), qPrintable(u1));
    QVERIFY(StringUtils::generateUUID() != u1);

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    int local = 0;
    const QString id = StringUtils::generateUniqueId(&local);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    const QString pointerPart = QString::number(qint64(reinterpret_cast<qintptr>(&local)), 36);
    QVERIFY(id.endsWith(pointerPart));
    bool ok = false;
    const qint64 time = id.left(id.size() - pointerPart.size()).toLongLong(&ok, 36);
    QVERIFY(ok);
    QVERIFY(time >= before && time <= after);

    QVERIFY(StringUtils::generateUniqueId(nullptr).endsWith(QLatin1Char('0')));
    void* high = reinterpret_cast<void*>(quintptr(1) << (sizeof(void*) * 8 - 1));
    const QString highId = StringUtils::generateUniqueId(high);
    QVERIFY2(highId.endsWith(QLatin1Char('-') + QString::number(quint64(1) << (sizeof(void*) * 8 - 1), 36)), qPrintable(highId));
}

void tst_StringUtils::replaceFirstOccurrence_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first only") << "a-b-c" << "-" << "+" << "a+b-c";
    QTest::newRow("none") << "a-b-c" << "x" << "+" << "a-b-c";
    QTest::newRow("case-sensitive") << "Aa" << "a" << "b" << "Ab";
    QTest::newRow("empty before inserts") << "abc" << "" << ">" << ">abc";
    QTest::newRow("longer") << "one two two" << "two" << "three" << "one three two";
}

void tst_StringUtils::replaceFirstOccurrence()
{
    QFETCH(QString, text);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, expected);
    QString& same = StringUtils::replaceFirstOccurrence(text, before, after);
    QCOMPARE(&same, &text);
    QCOMPARE(text, expected);
}

void tst_StringUtils::replaceFirstOccurrenceRegex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("expected");
    QTest::newRow("group span") << "w=10 h=20" << "h=(?<v>\\d+)" << "v" << "w=10 h=99";
    QTest::newRow("first match only") << "x1 x2" << "x(?<d>\\d)" << "d" << "x99 x2";
    QTest::newRow("no match") << "abc" << "(?<d>\\d)" << "d" << "abc";
    QTest::newRow("group not taking part") << "ab" << "a(?<n>x)?b" << "n" << "ab";
    QTest::newRow("unknown group") << "a1" << "a(?<d>\\d)" << "zz" << "a1";
}

void tst_StringUtils::replaceFirstOccurrenceRegex()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, group);
    QFETCH(QString, expected);
    QString& same = StringUtils::replaceFirstOccurrence(text, QRegularExpression(pattern), group, "99");
    QCOMPARE(&same, &text);
    QCOMPARE(text, expected);
}

void tst_StringUtils::replaceFirstOccurrenceInvalidRegex()
{
    LogCapture logs;
    QString text = QStringLiteral("abc");
    StringUtils::replaceFirstOccurrence(text, QRegularExpression(QStringLiteral("(?<g>")), "g", "x");
    QCOMPARE(text, QStringLiteral("abc"));
    QVERIFY(logs.has(Logwell::LogCritical, "StringUtils::replaceFirstOccurrence"));
}

void tst_StringUtils::smallEdits()
{
    QCOMPARE(StringUtils::capitalize(QStringLiteral("élan vital")), QStringLiteral("Élan vital"));
    QCOMPARE(StringUtils::capitalize(QString()), QString());
    QCOMPARE(StringUtils::capitalize(QStringLiteral("\U00010428x")), QStringLiteral("\U00010400x"));
    QCOMPARE(StringUtils::capitalize(QStringLiteral("1a")), QStringLiteral("1a"));

    QString text = QStringLiteral("ab");
    StringUtils::removeLastChar(text);
    QCOMPARE(text, QStringLiteral("a"));
    text.clear();
    StringUtils::removeLastChar(text);
    QCOMPARE(text, QString());
    text = QStringLiteral("a😀");
    StringUtils::removeLastChar(text);
    QCOMPARE(text, QStringLiteral("a"));

    QCOMPARE(StringUtils::escapeQuotes(QStringLiteral("say \"hi\" \\\"")), QStringLiteral("say \\\"hi\\\" \\\\\""));
    QCOMPARE(StringUtils::joinWithSlashes({"a", "", "b"}), QStringLiteral("a//b"));
    QCOMPARE(StringUtils::richTextToBold(QStringLiteral("<i>x</i>")), QStringLiteral("<b><i>x</i></b>"));
}

void tst_StringUtils::fixedTexts()
{
    QCOMPARE(StringUtils::endl(), QStringLiteral("\r\n"));
    QCOMPARE(StringUtils::systemMainFamily(), QStringLiteral("Segoe UI"));
    const QString lorem = StringUtils::stringLoremIpsum();
    QCOMPARE(lorem.size(), 473);
    QVERIFY(lorem.startsWith(QStringLiteral("Lorem ipsum dolor sit amet, consectetur")));
    QVERIFY(lorem.endsWith(QStringLiteral("Sed aliquet iaculis maximus.")));
    QVERIFY(!lorem.contains(QLatin1Char('\n')));
}

QTEST_GUILESS_MAIN(tst_StringUtils)
#include "tst_stringutils.moc"
