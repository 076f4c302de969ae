#include <TextStreamUTF8.h>

#include "LogCapture.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <memory>

class tst_TextStreamUTF8 : public QObject
{
    Q_OBJECT
private slots:
    void indentation_data();
    void indentation();
    void inheritedOperatorsBypassIndentation();
    void utf8WhateverTheDevice();
    void fileConstructor();
    void nullTargets_data();
    void nullTargets();
};

// Steps: "+" raise, "-" lower, "J" jump, "T<unit>" set the unit, "R<text>" raw, anything else is written.
void tst_TextStreamUTF8::indentation_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lines then text") << QStringList{"+", "a\nb\n", "c"} << "  a\n  b\n  c";
    QTest::newRow("lower to zero") << QStringList{"+", "x\n", "-", "y"} << "  x\ny";
    QTest::newRow("raise to two") << QStringList{"+", "x\n", "+", "y"} << "  x\n    y";
    QTest::newRow("level zero keeps line start") << QStringList{"a", "+", "b"} << "a  b";
    QTest::newRow("jump at two") << QStringList{"+", "+", "J", "z"} << "    \n    z";
    QTest::newRow("jump after text") << QStringList{"+", "+", "a", "J", "z"} << "    a\n    z";
    QTest::newRow("tabs") << QStringList{"T\t", "+", "a\nb"} << "\ta\n\tb";
    QTest::newRow("inner breaks without end") << QStringList{"+", "a\nb", "c\n", "d"} << "  a\n  bc\n  d";
    QTest::newRow("negative level") << QStringList{"-", "a\n", "b"} << "a\nb";
    QTest::newRow("raw") << QStringList{"+", "a\n", "Rraw\n", "b"} << "  a\nraw\n  b";
    QTest::newRow("empty text at line start") << QStringList{"+", "", "a"} << "  a";
    QTest::newRow("lone break") << QStringList{"+", "\n", "\n", "a"} << "  \n  \n  a";
    QTest::newRow("nested markup") << QStringList{"<ul>\n", "+", "<li>é</li>\n", "-", "</ul>\n"}
                                   << "<ul>\n  <li>é</li>\n</ul>\n";
}

void tst_TextStreamUTF8::indentation()
{
    QFETCH(QStringList, steps);
    QString out;
    {
        TextStreamUTF8 stream(&out, QIODevice::WriteOnly);
        for (const QString& step : steps) {
            if (step == QLatin1String("+"))
                stream.incrementIndent();
            else if (step == QLatin1String("-"))
                stream.decrementIndent();
            else if (step == QLatin1String("J"))
                stream.jump();
            else if (step.startsWith(QLatin1Char('T')) && step.size() == 2)
                stream.setIncrementString(step.mid(1));
            else if (step.startsWith(QLatin1Char('R')))
                stream.writeRaw(step.mid(1));
            else
                stream << step;
        }
    }
    QTEST(out, "expected");
}

void tst_TextStreamUTF8::inheritedOperatorsBypassIndentation()
{
    QString out;
    {
        TextStreamUTF8 stream(&out, QIODevice::WriteOnly);
        stream.incrementIndent();
        stream << QStringLiteral("a\n");
        static_cast<QTextStream&>(stream) << 42 << "\n" << 1.5;
        stream << QStringLiteral("b");
    }
    QCOMPARE(out, QStringLiteral("  a\n42\n1.5  b")); // the line start stays pending
}

void tst_TextStreamUTF8::utf8WhateverTheDevice()
{
    const QString text = QStringLiteral("Prix : 12 € — café « crème » 🦊\n");
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    {
        TextStreamUTF8 stream(&buffer);
        stream.incrementIndent();
        stream << text;
    }
    QCOMPARE(buffer.data(), QByteArray("  ") + text.toUtf8());

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Also when the locale's codec is another one (Qt 6 streams never take the locale's).
    QTextCodec* saved = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    QBuffer latin;
    QVERIFY(latin.open(QIODevice::WriteOnly));
    {
        TextStreamUTF8 stream(&latin);
        stream << text;
    }
    QTextCodec::setCodecForLocale(saved);
    QCOMPARE(latin.data(), text.toUtf8());
#endif
}

void tst_TextStreamUTF8::fileConstructor()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    FILE* handle = std::fopen(file.fileName().toLocal8Bit().constData(), "w");
    QVERIFY(handle);
    {
        TextStreamUTF8 stream(handle, QIODevice::WriteOnly);
        stream.incrementIndent();
        stream << QStringLiteral("ü\nß");
    }
    std::fclose(handle);
    QCOMPARE(file.readAll(), QStringLiteral("  ü\n  ß").toUtf8());
    TextStreamUTF8 empty;
    QVERIFY(!empty.device());
}

void tst_TextStreamUTF8::nullTargets_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("string") << 0 << int(QIODevice::WriteOnly) << "null string";
    QTest::newRow("device") << 1 << int(QIODevice::WriteOnly) << "null device";
    QTest::newRow("FILE* write") << 2 << int(QIODevice::WriteOnly) << "null FILE*";
    QTest::newRow("FILE* append") << 2 << int(QIODevice::WriteOnly | QIODevice::Append) << "null FILE*";
    QTest::newRow("FILE* read-write") << 2 << int(QIODevice::ReadWrite) << "null FILE*";
}

// A null target logs one critical message; writing and flushing then do nothing and never crash.
void tst_TextStreamUTF8::nullTargets()
{
    QFETCH(int, target);
    QFETCH(int, mode);
    QFETCH(QString, fragment);
    LogCapture logs;
    {
        const QIODevice::OpenMode openMode(mode);
        std::unique_ptr<TextStreamUTF8> stream;
        if (target == 0)
            stream.reset(new TextStreamUTF8(static_cast<QString*>(nullptr), openMode));
        else if (target == 1)
            stream.reset(new TextStreamUTF8(static_cast<QIODevice*>(nullptr)));
        else
            stream.reset(new TextStreamUTF8(static_cast<FILE*>(nullptr), openMode));
        QVERIFY(!stream->device());
        QVERIFY(!stream->string());
        stream->incrementIndent();
        *stream << QStringLiteral("a\nb");
        stream->jump();
        stream->writeRaw(QStringLiteral("raw"));
        stream->flush();
    }
    QCOMPARE(logs.count(), 1);
    QVERIFY2(logs.has(Logwell::LogCritical, "TextStreamUTF8::TextStreamUTF8", fragment), qPrintable(logs.dump()));
}

QTEST_APPLESS_MAIN(tst_TextStreamUTF8)
#include "tst_textstreamutf8.moc"
