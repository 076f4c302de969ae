#include "TextStreamUTF8.h"

#include "LarkLog.h"

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

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

class TextStreamUTF8Private
{
public:
    explicit TextStreamUTF8Private(TextStreamUTF8* stream);
    // The codec, once the target is set (setting a target resets it).
    void init();
    void writeIndent();
    void writeTextWithIndent(const QString& text);

    TextStreamUTF8* const q;
    int mIndent = 0;
    bool mAtLineStart = true;
    QString mIncrement = QStringLiteral("  ");
};

TextStreamUTF8::TextStreamUTF8()
    : d(new TextStreamUTF8Private(this))
{
    d->init();
}

TextStreamUTF8::TextStreamUTF8(QIODevice* device)
    : QTextStream(device)
    , d(new TextStreamUTF8Private(this))
{
    if (!device)
        LARK_CRITICAL << "bad usage!! null device, nothing will be written";
    d->init();
}

TextStreamUTF8::TextStreamUTF8(FILE* file, QIODevice::OpenMode mode)
    : QTextStream(file, fileMode(file, mode))
    , d(new TextStreamUTF8Private(this))
{
    if (!file) {
        LARK_CRITICAL << "bad usage!! null FILE*, nothing will be written";
        setDevice(nullptr); // drops the QFile made for the handle
    }
    d->init();
}

TextStreamUTF8::TextStreamUTF8(QString* string, QIODevice::OpenMode mode)
    : QTextStream(string, mode)
    , d(new TextStreamUTF8Private(this))
{
    if (!string)
        LARK_CRITICAL << "bad usage!! null string, nothing will be written";
    d->init();
}

TextStreamUTF8::~TextStreamUTF8() = default;

TextStreamUTF8Private::TextStreamUTF8Private(TextStreamUTF8* stream)
    : q(stream)
{
}

void TextStreamUTF8Private::init()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    q->setCodec(QTextCodec::codecForName("UTF-8"));
#else
    q->setEncoding(QStringConverter::Utf8);
#endif
}

TextStreamUTF8& TextStreamUTF8::operator<<(const QString& text)
{
    if (!hasTarget(*this))
        return *this;
    if (d->mIndent == 0)
        QTextStream::operator<<(text);
    else
        d->writeTextWithIndent(text);
    return *this;
}

void TextStreamUTF8::jump()
{
    *this << QStringLiteral("\n");
}

void TextStreamUTF8::incrementIndent()
{
    ++d->mIndent;
}

void TextStreamUTF8::decrementIndent()
{
    --d->mIndent;
}

void TextStreamUTF8::setIncrementString(const QString& unit)
{
    d->mIncrement = unit;
}

void TextStreamUTF8::writeRaw(const QString& text)
{
    if (hasTarget(*this))
        QTextStream::operator<<(text);
}

void TextStreamUTF8Private::writeIndent()
{
    for (int i = 0; i < mIndent; ++i)
        q->QTextStream::operator<<(mIncrement);
}

void TextStreamUTF8Private::writeTextWithIndent(const QString& text)
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
    q->QTextStream::operator<<(result);
}
