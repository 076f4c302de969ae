#ifndef TEXTSTREAMUTF8_H
#define TEXTSTREAMUTF8_H

#include "larkutils_export.h"

#include <QIODevice>
#include <QTextStream>

#include <cstdio>
#include <memory>

class TextStreamUTF8Private;

/// A QTextStream that always writes UTF-8 and indents every line begun while the level is above 0.
/// Only operator<<(QString) and jump() indent; the inherited overloads write unchanged.
class LARKUTILS_EXPORT TextStreamUTF8 : public QTextStream
{
public:
    ///@{
    /// Opens the stream as QTextStream does on the same target, with UTF-8, level 0 and "  ".
    /// A null device, FILE* or string is misuse: logged, and the stream writes nothing.
    TextStreamUTF8();
    explicit TextStreamUTF8(QIODevice* device);
    TextStreamUTF8(FILE* file, QIODevice::OpenMode mode);
    TextStreamUTF8(QString* string, QIODevice::OpenMode mode);
    ///@}
    ~TextStreamUTF8() override;

    using QTextStream::operator<<;
    /// Writes text, each line that begins in it indented to the current level.
    TextStreamUTF8& operator<<(const QString& text);
    /// Writes a line break by the same rules.
    void jump();
    /// One level more, for the lines begun from now on.
    void incrementIndent();
    /// One level less; at 0 or below nothing is indented.
    void decrementIndent();
    /// The text written once per level (two spaces by default).
    void setIncrementString(const QString& unit);
    /// Writes text as it is, without indentation and without changing the line-start state.
    void writeRaw(const QString& text);

private:
    friend class TextStreamUTF8Private;
    std::unique_ptr<TextStreamUTF8Private> d;
};

#endif // TEXTSTREAMUTF8_H
