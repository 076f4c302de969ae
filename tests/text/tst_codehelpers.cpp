#include <JsCodeHelpers.h>
#include <PhpCodeHelpers.h>
#include <PhpUtil.h>

#include "Interpreters.h"
#include "LogCapture.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#else
#include <QStringConverter>
#endif
#include <QTextStream>
#include <QtTest>

#include <functional>
#include <limits>

namespace {

using Writer = std::function<void(QTextStream*)>;

// Gives the stream the named codec; false when this Qt's streams have none of that name (Qt 6
// streams know only the Unicode encodings, Latin-1 and the system's).
bool useCodec(QTextStream& stream, const QByteArray& name)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec* const codec = QTextCodec::codecForName(name);
    if (codec)
        stream.setCodec(codec);
    return codec;
#else
    const auto encoding = QStringConverter::encodingForName(name.constData());
    if (encoding)
        stream.setEncoding(*encoding);
    return encoding.has_value();
#endif
}

bool codecAvailable(const QByteArray& name)
{
    QTextStream stream;
    return useCodec(stream, name);
}

#define REQUIRE_CODEC(name)                                                                          \
    if (!codecAvailable(name))                                                                       \
        QSKIP(QByteArray("no stream codec " + QByteArray(name) + " on this Qt").constData());

QString written(const Writer& writer)
{
    QByteArray bytes;
    {
        QTextStream stream(&bytes);
        useCodec(stream, "UTF-8");
        writer(&stream);
    }
    return QString::fromUtf8(bytes);
}

// What the writer wrote through a device-backed stream with this codec.
QByteArray writtenThrough(const QByteArray& codec, const Writer& writer)
{
    QByteArray bytes;
    {
        QTextStream stream(&bytes);
        useCodec(stream, codec);
        writer(&stream);
    }
    return bytes;
}

QVariantMap map(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    QVariantMap result;
    for (const auto& entry : entries)
        result.insert(entry.first, entry.second);
    return result;
}

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

// Random values of every mapped type, lists and maps nested up to two levels.
struct ValueMaker
{
    explicit ValueMaker(quint32 seed) : random(seed), strings(awkwardStrings(4000, seed)) {}

    QString anyString() { return strings.at(random.bounded(strings.size())); }

    QString key()
    {
        static const QStringList numeric = {"-3", "007", "42", "0", "9007199254740992", "9007199254740993",
                                            "-0", "+5", " 7", "1e3", "-9223372036854775808", "__proto__"};
        return random.bounded(4) == 0 ? numeric.at(random.bounded(numeric.size())) : anyString();
    }

    QVariant value(int depth = 0)
    {
        switch (random.bounded(depth < 2 ? 11 : 8)) {
        case 0: return anyString();
        case 1: return int(random.generate());
        case 2: return qint64(random.generate64() % (quint64(1) << 53)) * (random.bounded(2) ? 1 : -1);
        case 3: {
            const double samples[] = {0.5, 2.0, 1.0 / 3, 123456789.0, 1e-7, -2.5e10, 0.0};
            return random.bounded(2) ? samples[random.bounded(7)] : random.generateDouble() * 2000 - 1000;
        }
        case 4: return bool(random.bounded(2));
        case 5: return uint(random.bounded(100000));
        case 6: return QByteArray("1+2");
        case 7: return QDate(2026, 12, 10);
        case 8: {
            QStringList list;
            for (int i = random.bounded(4); i > 0; --i)
                list << anyString();
            return list;
        }
        case 9: {
            QVariantList list;
            for (int i = random.bounded(4); i > 0; --i)
                list << value(depth + 1);
            return list;
        }
        default: return randomMap(random.bounded(5), depth + 1);
        }
    }

    // Keys that read back differently, so that no two entries merge.
    QVariantMap randomMap(int size, int depth)
    {
        QVariantMap result;
        QSet<QString> seen;
        while (result.size() < size) {
            const QString k = key();
            const QString back = readBack(k);
            if (seen.contains(back) || result.contains(k))
                continue;
            seen.insert(back);
            result.insert(k, value(depth));
        }
        return result;
    }

    QRandomGenerator random;
    QStringList strings;
    // How a key reads back: a double quote reads back as a single quote.
    std::function<QString(const QString&)> readBack = [](const QString& k) { return QString(k).replace('"', '\''); };
};

QJsonValue hexUtf8(const QString& text)
{
    return QString::fromLatin1(throughUtf8(text).toUtf8().toHex());
}

QString quoteRule(const QString& text)
{
    return QString(text).replace('"', '\'');
}

bool canonicalInteger(const QString& key, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 n = key.toLongLong(&ok);
    return ok && n >= min && n <= max && QString::number(n) == key;
}

// The value as the PHP dumper of the tests describes what PHP read.
QJsonValue phpExpected(const QVariant& v)
{
    switch (v.userType()) {
    case QMetaType::QString: return QJsonArray{"s", hexUtf8(quoteRule(v.toString()))};
    case QMetaType::Bool: return QJsonArray{"n", v.toBool() ? 1 : 0};
    case QMetaType::Int:
    case QMetaType::LongLong: return QJsonArray{"n", double(v.toLongLong())};
    case QMetaType::Double: return QJsonArray{"n", v.toDouble()};
    case QMetaType::QByteArray: return QJsonArray{"n", 3};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray items;
        const QVariantList list = v.toList();
        for (int i = 0; i < list.size(); ++i)
            items.append(QJsonArray{QJsonArray{"i", i}, phpExpected(list.at(i))});
        return QJsonArray{"a", items};
    }
    case QMetaType::QVariantMap: {
        QJsonArray items;
        const QVariantMap m = v.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it) {
            // PHP turns a quoted canonical integer key into an integer too.
            const QJsonValue key = canonicalInteger(it.key(), std::numeric_limits<qint64>::min(),
                                                    std::numeric_limits<qint64>::max())
                ? QJsonValue(QJsonArray{"i", double(it.key().toLongLong())})
                : QJsonValue(QJsonArray{"s", hexUtf8(quoteRule(it.key()))});
            items.append(QJsonArray{key, phpExpected(it.value())});
        }
        return QJsonArray{"a", items};
    }
    default: return QJsonArray{"s", hexUtf8(quoteRule(v.toString()))};
    }
}

// The value as the JavaScript dumper of the tests describes what node read.
QJsonValue jsExpected(const QVariant& v)
{
    switch (v.userType()) {
    case QMetaType::QString: return QJsonArray{"s", QString::fromLatin1(utf16Hex(quoteRule(v.toString())))};
    case QMetaType::Bool: return QJsonArray{"n", v.toBool() ? 1 : 0};
    case QMetaType::Int:
    case QMetaType::LongLong: return QJsonArray{"n", double(v.toLongLong())};
    case QMetaType::Double: return QJsonArray{"n", v.toDouble()};
    case QMetaType::QByteArray: return QJsonArray{"n", 3};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray items;
        for (const QVariant& item : v.toList())
            items.append(jsExpected(item));
        return QJsonArray{"l", items};
    }
    case QMetaType::QVariantMap: {
        QMap<QString, QJsonValue> sorted;
        const QVariantMap m = v.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            sorted.insert(quoteRule(it.key()), jsExpected(it.value()));
        QJsonArray items;
        for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
            items.append(QJsonArray{QString::fromLatin1(utf16Hex(it.key())), it.value()});
        return QJsonArray{"o", items};
    }
    default: return QJsonArray{"s", QString::fromLatin1(utf16Hex(quoteRule(v.toString())))};
    }
}

// Structural equality, numbers compared by value.
bool sameJson(const QJsonValue& a, const QJsonValue& b)
{
    if (a.isDouble() && b.isDouble())
        return a.toDouble() == b.toDouble();
    if (a.isArray() && b.isArray()) {
        const QJsonArray x = a.toArray();
        const QJsonArray y = b.toArray();
        if (x.size() != y.size())
            return false;
        for (int i = 0; i < x.size(); ++i)
            if (!sameJson(x.at(i), y.at(i)))
                return false;
        return true;
    }
    return a == b;
}

// Where two values first differ, for failure output.
QString firstDifference(const QJsonValue& a, const QJsonValue& b, const QString& path = QString())
{
    if (a.isArray() && b.isArray()) {
        const QJsonArray x = a.toArray();
        const QJsonArray y = b.toArray();
        for (int i = 0; i < qMin(x.size(), y.size()); ++i)
            if (!sameJson(x.at(i), y.at(i)))
                return x.at(i).isArray() && x.at(i).toArray().size() == 2 && x.at(i).toArray().at(0).isString() && !x.at(i).toArray().at(1).isArray() ? path + QStringLiteral("/%1: ").arg(i) + QString::fromUtf8(QJsonDocument(QJsonArray{a, b}).toJson(QJsonDocument::Compact)).left(800) : firstDifference(x.at(i), y.at(i), path + QStringLiteral("/%1").arg(i));
        if (x.size() != y.size())
            return path + QStringLiteral(": sizes %1 and %2").arg(x.size()).arg(y.size());
    }
    return path + QStringLiteral(": ") + QString::fromUtf8(QJsonDocument(QJsonArray{a, b}).toJson(QJsonDocument::Compact)).left(800);
}

QString compact(const QJsonValue& v)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)).left(600);
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class tst_CodeHelpers : public QObject
{
    Q_OBJECT

private slots:
    void phpText_data();
    void phpText();
    void javascriptText_data();
    void javascriptText();
    void nullStream();
    void phpReadsBack();
    void nodeReadsBack();
    void legacyCodecText_data();
    void legacyCodecText();
    void refusedCodec_data();
    void refusedCodec();
    void legacyCodecReadsBack_data();
    void legacyCodecReadsBack();
};

void tst_CodeHelpers::phpText_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QString>("expected");
    using P = PhpCodeHelpers;
    auto value = [](const QVariant& v) { return Writer([v](QTextStream* s) { P::formatVariantValue(s, v); }); };

    QTest::newRow("empty int array") << Writer([](QTextStream* s) { P::formatPhpArray(s, QList<int>()); }) << "[]";
    QTest::newRow("int array") << Writer([](QTextStream* s) { P::formatPhpArray(s, QList<int>{1, -2, 3}); }) << "[1,-2,3]";
    QTest::newRow("string array") << Writer([](QTextStream* s) { P::formatPhpArray(s, QStringList{"a", "it's"}); })
                                  << "['a','it\\'s']";
    QTest::newRow("variant array") << Writer([](QTextStream* s) { P::formatPhpArray(s, QVariantList{1, "b", true}); })
                                   << "[1,'b',1]";
    QTest::newRow("string quotes") << value(QString("say \"hi\"")) << "'say \\'hi\\''";
    QTest::newRow("string backslash") << value(QString("C:\\dir\\")) << "'C:\\\\dir\\\\'";
    QTest::newRow("string kept") << value(QString("$x\n?>")) << "'$x\n?>'";
    QTest::newRow("bool") << value(true) << "1";
    QTest::newRow("bool false") << value(false) << "0";
    QTest::newRow("byte array raw") << value(QByteArray("window.location")) << "window.location";
    QTest::newRow("double half") << value(0.5) << "0.5";
    QTest::newRow("double integral") << value(2.0) << "2";
    QTest::newRow("double third") << value(1.0 / 3) << "0.3333333333333333";
    QTest::newRow("double large") << value(123456789.0) << "123456789";
    QTest::newRow("double price") << value(1234567.89) << "1234567.89";
    QTest::newRow("double negative") << value(-2.25) << "-2.25";
    QTest::newRow("double tenth sum") << value(0.1 + 0.2) << "0.30000000000000004";
    // Up to 6 significant digits the text stays as before, exponent form included.
    QTest::newRow("double 6 digits, exponent") << value(1234560000.0) << "1.23456e+09";
    QTest::newRow("double 6 digits, decimal") << value(100000.0) << "100000";
    QTest::newRow("double 7 digits") << value(1234567.0) << "1234567";
    QTest::newRow("double 7 digits, small") << value(1.234567e-10) << "1.234567e-10";
    QTest::newRow("double small") << value(1e-7) << "1e-07";
    QTest::newRow("double nan") << value(NaN) << "NAN";
    QTest::newRow("double inf") << value(INF) << "INF";
    QTest::newRow("double -inf") << value(-INF) << "-INF";
    QTest::newRow("int") << value(-7) << "-7";
    QTest::newRow("long long") << value(qint64(1) << 40) << "1099511627776";
    QTest::newRow("long long min") << value(std::numeric_limits<qint64>::min()) << "(-9223372036854775807-1)";
    QTest::newRow("unsigned as text") << value(5u) << "'5'";
    QTest::newRow("date as text") << value(QDate(2026, 12, 10)) << "'2026-12-10'";
    QTest::newRow("invalid") << value(QVariant()) << "''";
    QTest::newRow("string list") << value(QStringList{"x"}) << "['x']";
    QTest::newRow("list with line feed") << value(QVariantList{1, "a"}) << "[1,'a']\n";
    QTest::newRow("map") << Writer([](QTextStream* s) {
        P::formatPhpMap(s, map({{"b", 2}, {"a", "x"}, {"-3", true}}));
    }) << "[\n-3=>1,'a'=>'x','b'=>2\n]";
    QTest::newRow("map with list") << Writer([](QTextStream* s) { P::formatPhpMap(s, map({{"l", QVariantList{1, 2}}})); })
                                   << "[\n'l'=>[1,2]\n\n]";
    QTest::newRow("empty map") << Writer([](QTextStream* s) { P::formatPhpMap(s, QVariantMap()); }) << "[\n\n]";
    QTest::newRow("map order") << Writer([](QTextStream* s) {
        P::formatPhpMap(s, map({{"9", 1}, {"10", 2}, {"a", 3}, {"B", 4}}));
    }) << "[\n10=>2,9=>1,'B'=>4,'a'=>3\n]";
    QTest::newRow("non-canonical keys quoted") << Writer([](QTextStream* s) {
        P::formatPhpMap(s, map({{"007", 1}, {"7", 2}, {"+5", 3}, {"it's", 4}}));
    }) << "[\n'+5'=>3,'007'=>1,7=>2,'it\\'s'=>4\n]";
    QTest::newRow("nested map") << value(map({{"m", map({{"k", 1}})}})) << "[\n'm'=>[\n'k'=>1\n]\n]";
    QTest::newRow("constant") << Writer([](QTextStream* s) { P::writeConstant(s, "MAX", 5, QString()); })
                              << "const MAX=5;\n";
    QTest::newRow("constant with comment") << Writer([](QTextStream* s) { P::writeConstant(s, "MAX", 5, "limit"); })
                                           << "const MAX=5; // limit\n";
    QTest::newRow("comment stays a comment") << Writer([](QTextStream* s) { P::writeConstant(s, "X", 1, "a\r\nb ?> c"); })
                                             << "const X=1; // a  b ? > c\n";
    QTest::newRow("comment with lone half") << Writer([](QTextStream* s) {
        P::writeConstant(s, "X", 1, QString("a") + QChar(0xd800) + ">");
    }) << "const X=1; // a\ufffd>\n";
    QTest::newRow("int array constant") << Writer([](QTextStream* s) { P::writePhpArray(s, "IDS", QList<int>{1, 2}); })
                                        << "const IDS=[1,2];\n";
    QTest::newRow("variant array constant") << Writer([](QTextStream* s) { P::writePhpArray(s, "V", QVariantList{1.5}); })
                                            << "const V=[1.5];\n";
    QTest::newRow("string array constant") << Writer([](QTextStream* s) { P::writePhpArray(s, "S", QStringList{"a"}); })
                                           << "const S=['a'];\n";
    QTest::newRow("map constant") << Writer([](QTextStream* s) { P::writePhpMap(s, "CONF", map({{"k", "v"}})); })
                                  << "const CONF=[\n'k'=>'v'\n];\n";
    QTest::newRow("class of constants") << Writer([](QTextStream* s) {
        P::writePhpMapAsClassOfConstants(s, "Settings", map({{"A", 1}, {"B", "x"}}));
    }) << "\nclass Settings\n{\nconst A=1;\nconst B='x';\n}\n";
}

void tst_CodeHelpers::phpText()
{
    QFETCH(Writer, writer);
    QFETCH(QString, expected);
    QCOMPARE(written(writer), expected);
}

void tst_CodeHelpers::javascriptText_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QString>("expected");
    using J = JsCodeHelpers;
    auto value = [](const QVariant& v) { return Writer([v](QTextStream* s) { J::formatVariantValue(s, v); }); };

    QTest::newRow("int array") << Writer([](QTextStream* s) { J::formatJavascriptArray(s, QList<int>{1, -2, 3}); })
                               << "[1,-2,3]";
    QTest::newRow("string array") << Writer([](QTextStream* s) { J::formatJavascriptArray(s, QStringList{"x", "y"}); })
                                  << "['x','y']";
    QTest::newRow("variant array") << Writer([](QTextStream* s) { J::formatJavascriptArray(s, QVariantList{1, "b"}); })
                                   << "[1,'b']";
    QTest::newRow("object") << Writer([](QTextStream* s) {
        J::formatJavascriptObject(s, map({{"name", "Bob"}, {"tags", QStringList{"x", "y"}}}));
    }) << "{\n'name':'Bob','tags':['x','y']\n}";
    QTest::newRow("integer keys") << Writer([](QTextStream* s) {
        J::formatJavascriptObject(s, map({{"-3", 1}, {"007", 2}, {"9007199254740992", 3}, {"9007199254740993", 4}, {"42", 5}}));
    }) << "{\n'-3':1,'007':2,42:5,9007199254740992:3,'9007199254740993':4\n}";
    QTest::newRow("proto key") << Writer([](QTextStream* s) { J::formatJavascriptObject(s, map({{"__proto__", 1}})); })
                               << "{\n['__proto__']:1\n}";
    QTest::newRow("string escapes") << value(QString("a\nb\r</script>\u2028\u2029'\"\\"))
                                    << "'a\\nb\\r\\u003c/script>\\u2028\\u2029\\'\\'\\\\'";
    QTest::newRow("string tab kept") << value(QString("a\tb")) << "'a\tb'";
    QTest::newRow("lone surrogate") << value(QString(QChar(0xd800))) << "'\\ud800'";
    QTest::newRow("surrogate pair") << value(QString("😀")) << "'😀'";
    QTest::newRow("bool") << value(true) << "1";
    QTest::newRow("byte array raw") << value(QByteArray("window.location")) << "window.location";
    QTest::newRow("double") << value(123456789.0) << "123456789";
    QTest::newRow("double price") << value(1234567.89) << "1234567.89";
    QTest::newRow("double small") << value(1e-7) << "1e-07";
    QTest::newRow("nan") << value(NaN) << "NaN";
    QTest::newRow("inf") << value(INF) << "Infinity";
    QTest::newRow("-inf") << value(-INF) << "-Infinity";
    QTest::newRow("long long") << value(qint64(-5)) << "-5";
    QTest::newRow("list with line feed") << value(QVariantList{1}) << "[1]\n";
    QTest::newRow("empty object") << value(QVariantMap()) << "{\n\n}";
    QTest::newRow("unsigned as text") << value(5u) << "'5'";
}

void tst_CodeHelpers::javascriptText()
{
    QFETCH(Writer, writer);
    QFETCH(QString, expected);
    QCOMPARE(written(writer), expected);
}

void tst_CodeHelpers::nullStream()
{
    LogCapture logs;
    PhpCodeHelpers::formatPhpArray(nullptr, QList<int>{1});
    PhpCodeHelpers::formatPhpMap(nullptr, map({{"a", 1}}));
    PhpCodeHelpers::formatVariantValue(nullptr, 1);
    PhpCodeHelpers::writeConstant(nullptr, "A", 1, QString());
    PhpCodeHelpers::writePhpMapAsClassOfConstants(nullptr, "C", map({{"a", 1}}));
    JsCodeHelpers::formatJavascriptObject(nullptr, map({{"a", 1}}));
    JsCodeHelpers::formatJavascriptArray(nullptr, QStringList{"a"});
    QCOMPARE(logs.count(Logwell::LogCritical), 7);
    QVERIFY(logs.has(Logwell::LogCritical, "PhpCodeHelpers::writeConstant", "null stream"));
    QVERIFY(logs.has(Logwell::LogCritical, "JsCodeHelpers::formatJavascriptObject", "null stream"));
}

void tst_CodeHelpers::phpReadsBack()
{
    REQUIRE_INTERPRETER("php");
    ValueMaker maker(31);
    // Lone surrogate halves do not survive UTF-8: keys differing only there would merge.
    maker.readBack = [](const QString& k) { return throughUtf8(QString(k).replace('"', '\'')); };
    QVector<QVariant> values;
    QByteArray bytes;
    QTextStream stream(&bytes);
    useCodec(stream, "UTF-8");
    stream << "<?php\n"
              "function d($v) {\n"
              "  if (is_array($v)) { $o = []; foreach ($v as $k => $x) $o[] = [is_int($k) ? ['i', $k] : ['s', bin2hex($k)], d($x)]; return ['a', $o]; }\n"
              "  if (is_string($v)) return ['s', bin2hex($v)];\n"
              "  if (is_float($v) && !is_finite($v)) return ['x', (string)$v];\n"
              "  if (is_int($v) || is_float($v)) return ['n', $v];\n"
              "  return ['?', gettype($v)];\n"
              "}\n";
    for (int i = 0; i < 10000; ++i) {
        values << maker.value();
        PhpCodeHelpers::writeConstant(&stream, QStringLiteral("C%1").arg(i), values.last(),
                                      maker.random.bounded(3) ? maker.anyString() : QString());
    }
    const QVariantMap conf = maker.randomMap(2000, 0);
    PhpCodeHelpers::writePhpMap(&stream, "CONF", conf);
    QVariantMap settings;
    for (int i = 0; i < 200; ++i)
        settings.insert(QStringLiteral("K%1").arg(i), maker.value());
    PhpCodeHelpers::writePhpMapAsClassOfConstants(&stream, "Settings", settings);
    const QList<int> ids{0, -1, 2147483647, -2147483647 - 1};
    const QStringList names = maker.strings.mid(0, 500);
    const QVariantList mixed = QVariantList{1, "b", 2.5, QVariantList{"c"}, conf.first()};
    PhpCodeHelpers::writePhpArray(&stream, "IDS", ids);
    PhpCodeHelpers::writePhpArray(&stream, "NAMES", names);
    PhpCodeHelpers::writePhpArray(&stream, "MIXED", mixed);
    PhpCodeHelpers::writeConstant(&stream, "SPECIAL", QVariantList{NaN, INF, -INF}, QString());
    PhpCodeHelpers::writeConstant(&stream, "MINI", std::numeric_limits<qint64>::min(), QString());
    stream << "$out = [];\nfor ($i = 0; $i < 10000; $i++) $out[] = d(constant('C' . $i));\n"
              "$out[] = d(CONF);\n$out[] = d(IDS);\n$out[] = d(NAMES);\n$out[] = d(MIXED);\n"
              "$r = new ReflectionClass('Settings'); $out[] = d($r->getConstants());\n"
              "$out[] = d(SPECIAL);\n$out[] = [is_int(MINI), MINI === PHP_INT_MIN];\n"
              "echo json_encode($out);\n";
    stream.flush();

    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("php"), bytes, QStringLiteral(".php"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    QJsonParseError parseError;
    const QJsonArray results = QJsonDocument::fromJson(output, &parseError).array();
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString() + output.left(500)));
    QCOMPARE(results.size(), 10007);

    QVector<QJsonValue> expected;
    for (const QVariant& v : values)
        expected << phpExpected(v);
    QVariantList idList;
    for (int id : ids)
        idList << id;
    expected << phpExpected(conf) << phpExpected(idList) << phpExpected(names) << phpExpected(mixed)
             << phpExpected(settings);
    int mismatches = 0;
    for (int i = 0; i < expected.size(); ++i) {
        if (!sameJson(results.at(i), expected.at(i)) && ++mismatches < 4)
            qWarning() << "mismatch at" << i << firstDifference(results.at(i), expected.at(i));
    }
    QCOMPARE(mismatches, 0);
    QCOMPARE(compact(results.at(10005)),
             QStringLiteral("[[\"a\",[[[\"i\",0],[\"x\",\"NAN\"]],[[\"i\",1],[\"x\",\"INF\"]],[[\"i\",2],[\"x\",\"-INF\"]]]]]"));
    QCOMPARE(compact(results.at(10006)), QStringLiteral("[[true,true]]"));
}

void tst_CodeHelpers::nodeReadsBack()
{
    REQUIRE_INTERPRETER("node");
    ValueMaker maker(32);
    QVector<QVariant> values;
    QByteArray bytes;
    QTextStream stream(&bytes);
    useCodec(stream, "UTF-8");
    stream << "const C = [\n";
    for (int i = 0; i < 10000; ++i) {
        values << maker.value();
        JsCodeHelpers::formatVariantValue(&stream, values.last());
        stream << ",\n";
    }
    stream << "];\nconst CONF = ";
    const QVariantMap conf = maker.randomMap(2000, 0);
    JsCodeHelpers::formatJavascriptObject(&stream, conf);
    stream << ";\nconst SPECIAL = ";
    JsCodeHelpers::formatJavascriptArray(&stream, QVariantList{NaN, INF, -INF});
    stream << ";\n"
              "const hex = s => Array.from({length: s.length}, (_, i) => s.charCodeAt(i).toString(16).padStart(4, '0')).join('');\n"
              "function d(v) {\n"
              "  if (Array.isArray(v)) return ['l', v.map(d)];\n"
              "  if (v !== null && typeof v === 'object') return ['o', Object.keys(v).sort().map(k => [hex(k), d(v[k])])];\n"
              "  if (typeof v === 'string') return ['s', hex(v)];\n"
              "  if (typeof v === 'number') return ['n', v];\n"
              "  return ['?', String(v)];\n"
              "}\n"
              "process.stdout.write(JSON.stringify([...C.map(d), d(CONF), SPECIAL.map(String)]));\n";
    stream.flush();

    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("node"), bytes, QStringLiteral(".js"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    QJsonParseError parseError;
    const QJsonArray results = QJsonDocument::fromJson(output, &parseError).array();
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    QCOMPARE(results.size(), 10002);

    QVector<QJsonValue> expected;
    for (const QVariant& v : values)
        expected << jsExpected(v);
    expected << jsExpected(conf);
    int mismatches = 0;
    for (int i = 0; i < expected.size(); ++i) {
        if (!sameJson(results.at(i), expected.at(i)) && ++mismatches < 4)
            qWarning() << "mismatch at" << i << firstDifference(results.at(i), expected.at(i));
    }
    QCOMPARE(mismatches, 0);
    QCOMPARE(compact(results.at(10001)), QStringLiteral("[[\"NaN\",\"Infinity\",\"-Infinity\"]]"));
}

void tst_CodeHelpers::legacyCodecText_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QByteArray>("expected");
    using P = PhpCodeHelpers;
    using J = JsCodeHelpers;
    auto php = [](const QVariant& v) { return Writer([v](QTextStream* s) { P::formatVariantValue(s, v); }); };
    auto js = [](const QVariant& v) { return Writer([v](QTextStream* s) { J::formatVariantValue(s, v); }); };
    auto constant = [](const QString& comment) { return Writer([comment](QTextStream* s) { P::writeConstant(s, "X", 1, comment); }); };
    const QByteArray cp1252 = "Windows-1252";
    const QByteArray sjis = "Shift_JIS";

    // A character that the codec cannot write would become "?" and, before ">", leave PHP mode.
    QTest::newRow("1252 comment, unencodable before >") << cp1252 << constant("\u0100> <?php echo 1;")
                                                        << QByteArray("const X=1; // ? > <?php echo 1;\n");
    QTest::newRow("1252 comment keeps what it carries") << cp1252 << constant("caf\u00e9") << QByteArray("const X=1; // caf\xe9\n");
    QTest::newRow("sjis comment keeps a backslash byte") << sjis << constant("\u8868>") << QByteArray("const X=1; // \x95\x5c>\n");
    QTest::newRow("sjis comment, unencodable before ?>") << sjis << constant("\u0100?>") << QByteArray("const X=1; // ?? >\n");
    QTest::newRow("1252 php string") << cp1252 << php(QString("caf\u00e9")) << QByteArray("\"caf\\u{e9}\"");
    QTest::newRow("1252 php ascii string unchanged") << cp1252 << php(QString("it's \"x\"")) << QByteArray("'it\\'s \\'x\\''");
    // The second byte of U+8868 in Shift_JIS is 0x5C: it must not cancel the escape of the quote.
    QTest::newRow("sjis php string") << sjis << php(QString("\u8868'")) << QByteArray("\"\\u{8868}'\"");
    QTest::newRow("sjis php quote rule and escapes") << sjis << php(QString("\u8868\"$x\\"))
                                                     << QByteArray("\"\\u{8868}'\\$x\\\\\"");
    QTest::newRow("sjis php key") << sjis << Writer([](QTextStream* s) { P::formatPhpMap(s, map({{"\u8868", 1}})); })
                                  << QByteArray("[\n\"\\u{8868}\"=>1\n]");
    QTest::newRow("sjis php string list") << sjis << Writer([](QTextStream* s) { P::formatPhpArray(s, QStringList{"\u8868'"}); })
                                          << QByteArray("[\"\\u{8868}'\"]");
    QTest::newRow("sjis php emoji") << sjis << php(QString("😀")) << QByteArray("\"\\u{1f600}\"");
    QTest::newRow("sjis php lone half") << sjis << php(QString(QChar(0xd800))) << QByteArray("\"?\"");
    QTest::newRow("sjis php control") << sjis << php(QString("a\x1a")) << QByteArray("\"a\\u{1a}\"");
    QTest::newRow("sjis js string") << sjis << js(QString("\u8868'\\")) << QByteArray("'\\u8868\\'\\\\'");
    QTest::newRow("sjis js emoji") << sjis << js(QString("😀")) << QByteArray("'\\ud83d\\ude00'");
    QTest::newRow("sjis js key") << sjis << Writer([](QTextStream* s) { J::formatJavascriptObject(s, map({{"\u8868", 1}})); })
                                 << QByteArray("{\n'\\u8868':1\n}");
    QTest::newRow("1252 js string") << cp1252 << js(QString("caf\u00e9</script>")) << QByteArray("'caf\\u00e9\\u003c/script>'");
    QTest::newRow("1252 double") << cp1252 << php(1234567.89) << QByteArray("1234567.89");
    // Latin-1, the legacy codec that Qt 6 streams still have.
    const QByteArray latin1 = "ISO-8859-1";
    QTest::newRow("latin-1 comment, unencodable before >") << latin1 << constant("\u0100> <?php echo 1;")
                                                           << QByteArray("const X=1; // ? > <?php echo 1;\n");
    QTest::newRow("latin-1 comment keeps what it carries") << latin1 << constant("caf\u00e9") << QByteArray("const X=1; // caf\xe9\n");
    QTest::newRow("latin-1 php string") << latin1 << php(QString("caf\u00e9\u8868'")) << QByteArray("\"caf\\u{e9}\\u{8868}'\"");
    QTest::newRow("latin-1 js string") << latin1 << js(QString("caf\u00e9'")) << QByteArray("'caf\\u00e9\\''");
    QTest::newRow("utf-8 device unchanged") << QByteArray("UTF-8") << php(QString("\u8868'")) << QString("'\u8868\\''").toUtf8();
}

void tst_CodeHelpers::legacyCodecText()
{
    QFETCH(QByteArray, codec);
    QFETCH(Writer, writer);
    QFETCH(QByteArray, expected);
    REQUIRE_CODEC(codec);
    LogCapture logs;
    QCOMPARE(writtenThrough(codec, writer), expected);
    QCOMPARE(logs.count(), 0);
}

void tst_CodeHelpers::refusedCodec_data()
{
    QTest::addColumn<QByteArray>("codec");
    // Neither writes ASCII as ASCII: the code would not be what was meant.
    QTest::newRow("EBCDIC") << QByteArray("IBM037");
    QTest::newRow("UTF-7") << QByteArray("UTF-7");
}

void tst_CodeHelpers::refusedCodec()
{
    QFETCH(QByteArray, codec);
    REQUIRE_CODEC(codec);
    LogCapture logs;
    const QByteArray bytes = writtenThrough(codec, [](QTextStream* s) {
        PhpCodeHelpers::writeConstant(s, "A", QString("a+b"), "c");
        PhpCodeHelpers::writePhpMap(s, "M", map({{"k", 1}}));
        JsCodeHelpers::formatJavascriptObject(s, map({{"k", "v"}}));
    });
    QCOMPARE(bytes, QByteArray());
    QCOMPARE(logs.count(Logwell::LogCritical), 3);
    QVERIFY2(logs.has(Logwell::LogCritical, "PhpCodeHelpers::writeConstant", "codec"), qPrintable(logs.dump()));
    QVERIFY(logs.has(Logwell::LogCritical, "JsCodeHelpers::formatJavascriptObject", "codec"));
}

void tst_CodeHelpers::legacyCodecReadsBack_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::newRow("Windows-1252") << QByteArray("Windows-1252");
    QTest::newRow("ISO-8859-1") << QByteArray("ISO-8859-1");
    QTest::newRow("Shift_JIS") << QByteArray("Shift_JIS");
    QTest::newRow("GBK") << QByteArray("GBK");
    QTest::newRow("ISO-2022-JP") << QByteArray("ISO-2022-JP");
}

// php and node read back what was written through a legacy codec, and nothing hostile runs.
void tst_CodeHelpers::legacyCodecReadsBack()
{
    REQUIRE_INTERPRETER("php");
    REQUIRE_INTERPRETER("node");
    QFETCH(QByteArray, codec);
    REQUIRE_CODEC(codec);
    const QStringList hostile = {
        "\u8868'.print('PWNED').'", "\u8868\".print('PWNED').\"", "\u8868\\", "\u8868", "\u30bd'", "\u00a5'",
        "\u0100'?>", "\u8868'+console.log('PWNED')+'", "\u8868\\'", "caf\u00e9 \u4e2d\u6587 😀", "a\x1a\x1c\x7f"};
    const QStringList comments = {"\u0100> <?php echo 'PWNED';", "\u8868> <?php echo 'PWNED';", "\u0100?> echo 'PWNED';",
                                  "\u8868\n echo 'PWNED';", "caf\u00e9 \u8868 ok"};
    ValueMaker maker(41);
    maker.readBack = [](const QString& k) { return throughUtf8(QString(k).replace('"', '\'')); };
    QVector<QVariant> values;
    for (const QString& text : hostile)
        values << text;
    values << 1234567.89 << 0.1 + 0.2 << -2.25 << 1e-7 << 1234560000.0 << 5e-324 << 1.7976931348623157e308;
    for (int i = 0; i < 300; ++i)
        values << maker.value();
    const QVariantMap conf = maker.randomMap(100, 0);
    QVariantMap hostileKeys; // keys that read back differently, so that none merge
    QSet<QString> seenKeys;
    for (const QString& text : hostile) {
        if (!seenKeys.contains(maker.readBack(text)))
            hostileKeys.insert(text, text);
        seenKeys.insert(maker.readBack(text));
    }

    QByteArray php;
    {
        QTextStream stream(&php);
        useCodec(stream, codec);
        stream << "<?php\n"
                  "function d($v) {\n"
                  "  if (is_array($v)) { $o = []; foreach ($v as $k => $x) $o[] = [is_int($k) ? ['i', $k] : ['s', bin2hex($k)], d($x)]; return ['a', $o]; }\n"
                  "  if (is_string($v)) return ['s', bin2hex($v)];\n"
                  "  if (is_int($v) || is_float($v)) return ['n', $v];\n"
                  "  return ['?', gettype($v)];\n"
                  "}\n";
        for (int i = 0; i < values.size(); ++i)
            PhpCodeHelpers::writeConstant(&stream, QStringLiteral("C%1").arg(i), values.at(i), comments.at(i % comments.size()));
        PhpCodeHelpers::writePhpMap(&stream, "CONF", conf);
        PhpCodeHelpers::writePhpMapAsClassOfConstants(&stream, "Keys", map({{"K", hostileKeys}}));
        stream << "$p = [";
        for (const QString& text : hostile)
            stream << PhpUtil::formatPhpString(text) << ",\n";
        stream << "];\n$out = [];\nfor ($i = 0; $i < " << values.size() << "; $i++) $out[] = d(constant('C' . $i));\n"
                  "$out[] = d(CONF);\n$out[] = d(Keys::K);\n$out[] = d($p);\necho json_encode($out);\n";
    }
    QString error;
    QByteArray output = runInterpreter(QStringLiteral("php"), php, QStringLiteral(".php"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    QVERIFY2(!output.contains("PWNED"), output.left(300).constData());
    QJsonArray results = QJsonDocument::fromJson(output).array();
    QCOMPARE(results.size(), values.size() + 3);
    QVector<QJsonValue> expected;
    for (const QVariant& v : values)
        expected << phpExpected(v);
    QJsonArray literals; // formatPhpString keeps both quotes
    for (int i = 0; i < hostile.size(); ++i)
        literals.append(QJsonArray{QJsonArray{"i", i}, QJsonArray{"s", hexUtf8(hostile.at(i))}});
    expected << phpExpected(conf) << phpExpected(hostileKeys) << QJsonArray{"a", literals};
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(sameJson(results.at(i), expected.at(i)), qPrintable(QStringLiteral("php %1 %2").arg(i).arg(firstDifference(results.at(i), expected.at(i)))));

    QByteArray js;
    {
        QTextStream stream(&js);
        useCodec(stream, codec);
        stream << "const C = [\n";
        for (const QVariant& v : values) {
            JsCodeHelpers::formatVariantValue(&stream, v);
            stream << ",\n";
        }
        stream << "];\nconst CONF = ";
        JsCodeHelpers::formatJavascriptObject(&stream, conf);
        stream << ";\nconst KEYS = ";
        JsCodeHelpers::formatJavascriptObject(&stream, hostileKeys);
        stream << ";\n"
                  "const hex = s => Array.from({length: s.length}, (_, i) => s.charCodeAt(i).toString(16).padStart(4, '0')).join('');\n"
                  "function d(v) {\n"
                  "  if (Array.isArray(v)) return ['l', v.map(d)];\n"
                  "  if (v !== null && typeof v === 'object') return ['o', Object.keys(v).sort().map(k => [hex(k), d(v[k])])];\n"
                  "  if (typeof v === 'string') return ['s', hex(v)];\n"
                  "  if (typeof v === 'number') return ['n', v];\n"
                  "  return ['?', String(v)];\n"
                  "}\n"
                  "process.stdout.write(JSON.stringify([...C.map(d), d(CONF), d(KEYS)]));\n";
    }
    output = runInterpreter(QStringLiteral("node"), js, QStringLiteral(".js"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    QVERIFY2(!output.contains("PWNED"), output.left(300).constData());
    results = QJsonDocument::fromJson(output).array();
    QCOMPARE(results.size(), values.size() + 2);
    expected.clear();
    for (const QVariant& v : values)
        expected << jsExpected(v);
    expected << jsExpected(conf) << jsExpected(hostileKeys);
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(sameJson(results.at(i), expected.at(i)), qPrintable(QStringLiteral("node %1 %2").arg(i).arg(firstDifference(results.at(i), expected.at(i)))));
}

QTEST_GUILESS_MAIN(tst_CodeHelpers)
#include "tst_codehelpers.moc"
