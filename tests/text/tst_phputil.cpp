#include <PhpUtil.h>

#include "Interpreters.h"

#include <QtTest>

class tst_PhpUtil : public QObject
{
    Q_OBJECT

private slots:
    void literals_data();
    void literals();
    void literalsReadBackByPhp();
};

void tst_PhpUtil::literals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("simplified");
    QTest::newRow("quotes") << "say \"hi\"" << "\"say \\\"hi\\\"\"" << "\"say \\\"hi\\\"\"";
    QTest::newRow("empty") << "" << "\"\"" << "\"\"";
    QTest::newRow("white space") << "  a\nb " << "\"  a\nb \"" << "\"a b\"";
    QTest::newRow("backslash at end") << "C:\\dir\\" << "\"C:\\\\dir\\\\\"" << "\"C:\\\\dir\\\\\"";
    QTest::newRow("variables") << "$name {$x} ${y}" << "\"\\$name {\\$x} \\${y}\"" << "\"\\$name {\\$x} \\${y}\"";
    QTest::newRow("single quote untouched") << "it's" << "\"it's\"" << "\"it's\"";
    // ASCII alone, so that no codec can turn a character into a backslash before the quote.
    QTest::newRow("non-ASCII as escapes") << "caf\u00e9 \u8868\"\U0001F600" << "\"caf\\u{e9} \\u{8868}\\\"\\u{1f600}\""
                                          << "\"caf\\u{e9} \\u{8868}\\\"\\u{1f600}\"";
    QTest::newRow("controls as escapes") << "a\x01\x7f\tb" << "\"a\\u{1}\\u{7f}\tb\"" << "\"a\\u{1}\\u{7f} b\"";
}

void tst_PhpUtil::literals()
{
    QFETCH(QString, text);
    QFETCH(QString, literal);
    QFETCH(QString, simplified);
    QCOMPARE(PhpUtil::formatPhpString(text), literal);
    QCOMPARE(PhpUtil::escapeAndQuotedPhpStringVariable(text), literal);
    QCOMPARE(PhpUtil::formatPhpSimplifiedString(text), simplified);
}

void tst_PhpUtil::literalsReadBackByPhp()
{
    REQUIRE_INTERPRETER("php");
    const QStringList strings = awkwardStrings(10000, 21);
    QByteArray script = "<?php\n$v = [\n";
    for (const QString& text : strings)
        script += PhpUtil::formatPhpString(text).toUtf8() + ",\n" + PhpUtil::formatPhpSimplifiedString(text).toUtf8() + ",\n";
    script += "];\nforeach ($v as $s) { echo bin2hex($s), \"\\n\"; }\n";
    QString error;
    const QByteArray output = runInterpreter(QStringLiteral("php"), script, QStringLiteral(".php"), &error);
    QVERIFY2(!output.isNull(), qPrintable(error));
    const QList<QByteArray> lines = output.split('\n');
    QCOMPARE(lines.size(), strings.size() * 2 + 1);
    int mismatches = 0;
    for (int i = 0; i < strings.size() * 2; ++i) {
        const QString& text = strings.at(i / 2);
        const QString expected = throughUtf8(i % 2 ? text.simplified() : text);
        const QString actual = QString::fromUtf8(QByteArray::fromHex(lines.at(i)));
        if (actual != expected && ++mismatches < 4)
            qWarning() << "mismatch" << expected << actual;
    }
    QCOMPARE(mismatches, 0);
}

QTEST_GUILESS_MAIN(tst_PhpUtil)
#include "tst_phputil.moc"
