#include "TextStreamUTF8.h"

#include <QTextCodec>

TextStreamUTF8::TextStreamUTF8()
{
    init();
}

TextStreamUTF8::TextStreamUTF8(QIODevice* device)
    : QTextStream(device)
{
    init();
}

TextStreamUTF8::TextStreamUTF8(FILE* file, QIODevice::OpenMode mode)
    : QTextStream(file, mode)
{
    init();
}

TextStreamUTF8::TextStreamUTF8(QString* string, QIODevice::OpenMode mode)
    : QTextStream(string, mode)
{
    init();
}

TextStreamUTF8::~TextStreamUTF8() = default;

void TextStreamUTF8::init()
{
    setCodec(QTextCodec::codecForName("UTF-8"));
    mIndent = 0;
    mAtLineStart = true;
    mIncrement = QStringLiteral("  ");
}

TextStreamUTF8& TextStreamUTF8::operator<<(const QString& text)
{
    if (mIndent == 0)
        QTextStream::operator<<(text);
    else
        writeTextWithIndent(text);
    return *this;
}

void TextStreamUTF8::jump()
{
    *this << QStringLiteral("\n");
}

void TextStreamUTF8::incrementIndent()
{
    ++mIndent;
}

void TextStreamUTF8::decrementIndent()
{
    --mIndent;
}

void TextStreamUTF8::setIncrementString(const QString& unit)
{
    mIncrement = unit;
}

void TextStreamUTF8::writeRaw(const QString& text)
{
    QTextStream::operator<<(text);
}

void TextStreamUTF8::writeIndent()
{
    for (int i = 0; i < mIndent; ++i)
        QTextStream::operator<<(mIncrement);
}

void TextStreamUTF8::writeTextWithIndent(const QString& text)
{
    if (mAtLineStart) {
        writeIndent();
        mAtLineStart = false;
    }
    const QString prefix = mIndent > 0 ? mIncrement.repeated(mIndent) : QString();
    const QString newLineIndented = QStringLiteral("\n") + prefix;
    QString result = text;
    if (result.endsWith(QLatin1Char('\n'))) {
        result.chop(1);
        result.replace(QLatin1Char('\n'), newLineIndented);
        result.append(QLatin1Char('\n'));
        mAtLineStart = true;
    } else {
        result.replace(QLatin1Char('\n'), newLineIndented);
    }
    QTextStream::operator<<(result);
}
