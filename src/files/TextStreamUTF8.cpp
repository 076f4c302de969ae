#include "TextStreamUTF8.h"

#include "LarkLog.h"

#include <QTextCodec>

namespace {

// QTextStream opens a FILE* in a QFile of its own, which seeks on a null handle in append mode:
// a null handle gets no access mode, so that the QFile refuses it before touching it.
QIODevice::OpenMode fileMode(FILE* file, QIODevice::OpenMode mode)
{
    return file ? mode : QIODevice::NotOpen;
}

// Without a device or a string QTextStream writes nothing; it only warns on every item.
bool hasTarget(const QTextStream& stream)
{
    return stream.device() || stream.string();
}

} // namespace

TextStreamUTF8::TextStreamUTF8()
{
    init();
}

TextStreamUTF8::TextStreamUTF8(QIODevice* device)
    : QTextStream(device)
{
    if (!device)
        LARK_CRITICAL << "bad usage!! null device, nothing will be written";
    init();
}

TextStreamUTF8::TextStreamUTF8(FILE* file, QIODevice::OpenMode mode)
    : QTextStream(file, fileMode(file, mode))
{
    if (!file) {
        LARK_CRITICAL << "bad usage!! null FILE*, nothing will be written";
        setDevice(nullptr); // drops the QFile made for the handle
    }
    init();
}

TextStreamUTF8::TextStreamUTF8(QString* string, QIODevice::OpenMode mode)
    : QTextStream(string, mode)
{
    if (!string)
        LARK_CRITICAL << "bad usage!! null string, nothing will be written";
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
    if (!hasTarget(*this))
        return *this;
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
    if (hasTarget(*this))
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
