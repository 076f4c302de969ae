#ifndef INTERPRETERS_H
#define INTERPRETERS_H

// Test helpers: run generated code through real interpreters (php, node, python3) and make
// awkward strings in bulk.

#include <QByteArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

// Skips the test when the interpreter is not installed (CI installs it).
#define REQUIRE_INTERPRETER(program)                                                       \
    do {                                                                                   \
        if (QStandardPaths::findExecutable(QStringLiteral(program)).isEmpty())             \
            QSKIP(program " is not installed");                                            \
    } while (false)

// Writes the script to a temporary file, runs the interpreter on it (bounded wait) and returns
// its standard output; on failure fills error and returns a null array.
inline QByteArray runInterpreter(const QString& program, const QByteArray& script, const QString& suffix,
                                 QString* error)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("script") + suffix);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size() || !file.flush()) {
        *error = QStringLiteral("cannot write ") + path;
        return QByteArray();
    }
    file.close();
    QProcess process;
    process.start(program, {path});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        *error = program + QStringLiteral(" did not finish");
        return QByteArray();
    }
    const QByteArray out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString stderrText = QString::fromUtf8(process.readAllStandardError());
        *error = program + QStringLiteral(" failed: ") + stderrText + QString::fromUtf8(out.left(2000));
        // Show the script line that the interpreter complains about.
        const QRegularExpressionMatch line = QRegularExpression(QStringLiteral("(?:on line |:)(\\d+)")).match(stderrText);
        if (line.hasMatch()) {
            const QList<QByteArray> lines = script.split('\n');
            const int n = line.captured(1).toInt();
            if (n >= 1 && n <= lines.size())
                *error += QStringLiteral("\nline %1: ").arg(n) + QString::fromUtf8(lines.at(n - 1).left(400).toHex(' '));
        }
        return QByteArray();
    }
    if (out.isNull())
        return QByteArray("");
    return out;
}

// Hex of the UTF-16 code units, four digits each.
inline QByteArray utf16Hex(const QString& text)
{
    QByteArray hex;
    hex.reserve(text.size() * 4);
    for (QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    return hex;
}

inline QString fromUtf16Hex(const QByteArray& hex)
{
    QString text;
    for (int i = 0; i + 4 <= hex.size(); i += 4)
        text += QChar(ushort(hex.mid(i, 4).toUShort(nullptr, 16)));
    return text;
}

// What survives a trip through UTF-8 (lone surrogate halves do not).
inline QString throughUtf8(const QString& text)
{
    return QString::fromUtf8(text.toUtf8());
}

// Awkward strings from a fixed seed: quotes, backslashes (also at the end), PHP variables,
// line breaks, tabs, markup, non-ASCII, emoji and lone surrogates.
inline QStringList awkwardStrings(int count, quint32 seed)
{
    const QStringList pieces = {
        "a", "Z", "9", " ", "  ", "'", "\"", "\\", "\\\\", "$name", "${x}", "{$x}", "$", "{", "}",
        "\n", "\r\n", "\r", "\t", "é", "ß", "Œ", "中文", "😀", "👍🏽", "</script>", "<!--", "-->", "?>",
        "<?php", "&amp;", "&#", "&#65;", "<b>", ">", "&", "\\n", "\\'", "\\u0041", "\u2028", "\u2029",
        "\u00a0", "\u200b", "\ufeff", "%1", "\x01", "\x7f", "`", "${", "\\x41", "\\101", "\\e"};
    QRandomGenerator random(seed);
    QStringList strings;
    strings.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString text;
        const int parts = random.bounded(8);
        for (int p = 0; p < parts; ++p) {
            const int pick = random.bounded(pieces.size() + 2);
            if (pick == pieces.size())
                text += QChar(ushort(0xd800 + random.bounded(0x800))); // lone surrogate half
            else if (pick == pieces.size() + 1)
                text += QChar(ushort(0x20 + random.bounded(0x2000)));
            else
                text += pieces.at(pick);
        }
        if (random.bounded(6) == 0)
            text += QLatin1Char('\\'); // a backslash at the end
        strings << text;
    }
    return strings;
}

#endif // INTERPRETERS_H
