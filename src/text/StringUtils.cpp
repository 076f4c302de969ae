#include "StringUtils.h"

#include "LarkLog.h"
#include "RandomPrivate.h"

#include <QDateTime>
#include <QSet>
#include <QUuid>
#include <QtGlobal>

#include <array>
#include <limits>

namespace {

// The accent folding table: character i of ACCENTED becomes entry i of the replacements.
const char16_t ACCENTED[] = u"\u0160\u0152\u017D\u0161\u0153\u017E\u0178\u00A5\u00B5"
                            u"\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5\u00C6\u00C7\u00C8\u00C9\u00CA\u00CB"
                            u"\u00CC\u00CD\u00CE\u00CF\u00D0\u00D1\u00D2\u00D3\u00D4\u00D5\u00D6"
                            u"\u00D8\u00D9\u00DA\u00DB\u00DC\u00DD"
                            u"\u00DF\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5\u00E6\u00E7\u00E8\u00E9\u00EA"
                            u"\u00EB\u00EC\u00ED\u00EE\u00EF\u00F0\u00F1\u00F2\u00F3\u00F4\u00F5\u00F6"
                            u"\u00F8\u00F9\u00FA\u00FB\u00FC\u00FD\u00FF";
const char* const REPLACEMENTS[] = {
    "S", "OE", "Z", "s", "oe", "z", "Y", "Y", "u",
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E",
    "I", "I", "I", "I", "D", "N", "O", "O", "O", "O", "O",
    "O", "U", "U", "U", "U", "Y",
    "s", "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e",
    "e", "i", "i", "i", "i", "o", "n", "o", "o", "o", "o", "o",
    "o", "u", "u", "u", "u", "y", "y"};
constexpr int ACCENT_COUNT = 69;
static_assert(sizeof(ACCENTED) / sizeof(ACCENTED[0]) == ACCENT_COUNT + 1, "69 accented characters");
static_assert(sizeof(REPLACEMENTS) / sizeof(REPLACEMENTS[0]) == ACCENT_COUNT, "69 replacements");

// Every accented character lies below U+0180: a direct lookup by code unit.
constexpr int FOLD_RANGE = 0x180;
using FoldTable = std::array<const char*, FOLD_RANGE>;

const FoldTable& foldTable()
{
    // Built once under the thread-safe initialisation of statics, so first calls may overlap.
    static const FoldTable table = [] {
        FoldTable t{};
        for (int i = 0; i < ACCENT_COUNT; ++i)
            t[ACCENTED[i]] = REPLACEMENTS[i];
        return t;
    }();
    return table;
}

const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

inline bool isAsciiAlnum(uint c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Output buffer of normalizeTextForSearch: raw writes, grown when a decomposition runs long.
struct SearchWriter
{
    explicit SearchWriter(int capacity) : text(capacity, Qt::Uninitialized), data(text.data()) {}

    void put(QChar c)
    {
        if (Q_UNLIKELY(size == text.size())) {
            text.resize(text.size() * 2 + 16);
            data = text.data();
        }
        data[size++] = c;
    }

    QString finish()
    {
        text.truncate(size);
        return text;
    }

    QString text;
    QChar* data;
    int size = 0;
    bool pendingSpace = false;
};

// Appends what survives of one code point in search text: the ASCII letters, digits and "-" of
// its canonical decomposition, lower-cased; white space becomes one pending separator.
void appendSearchChars(uint ucs4, SearchWriter& out)
{
    if (ucs4 < 0x80) {
        if (isAsciiAlnum(ucs4) || ucs4 == '-') {
            if (out.pendingSpace && out.size > 0)
                out.put(QLatin1Char(' '));
            out.pendingSpace = false;
            out.put(QChar(ucs4 >= 'A' && ucs4 <= 'Z' ? ucs4 + 32 : ucs4));
        } else if (QChar::isSpace(ucs4)) {
            out.pendingSpace = true;
        }
        return;
    }
    if (QChar::decompositionTag(ucs4) == QChar::Canonical) {
        const QString parts = QChar::decomposition(ucs4);
        for (int i = 0; i < parts.size(); ++i) {
            uint c = parts.at(i).unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < parts.size() && parts.at(i + 1).isLowSurrogate()) {
                c = QChar::surrogateToUcs4(parts.at(i), parts.at(i + 1));
                ++i;
            }
            appendSearchChars(c, out);
        }
        return;
    }
    if (QChar::isSpace(ucs4))
        out.pendingSpace = true;
}

} // namespace

QString StringUtils::byteArrayToString(const QByteArray& bytes, int base)
{
    if (base < 2) {
        LARK_CRITICAL << "bad usage!! base" << base << "is below 2";
        return QString();
    }
    base = qMin(base, 36);
    QString result;
    result.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const QString digits = QString::number(uint(uchar(byte)), base);
        if (digits.size() < 2)
            result += QLatin1Char('0');
        result += digits;
    }
    return result;
}

QByteArray StringUtils::hexaStringToByteArray(const QString& text, int base)
{
    if (base < 2) {
        LARK_CRITICAL << "bad usage!! base" << base << "is below 2";
        return QByteArray();
    }
    base = qMin(base, 36);
    QByteArray result;
    result.reserve(text.size() / 2 + 1);
    for (int i = 0; i < text.size(); i += 2) {
        bool ok = false;
        const ushort value = text.mid(i, 2).toUShort(&ok, base);
        if (ok)
            result.append(char(value & 0xFF));
    }
    return result;
}

QString StringUtils::capitalize(const QString& text)
{
    if (text.isEmpty())
        return text;
    QString result = text;
    const QChar first = text.at(0);
    if (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate()) {
        const uint upper = QChar::toUpper(QChar::surrogateToUcs4(first, text.at(1)));
        if (QChar::requiresSurrogates(upper)) {
            result[0] = QChar(QChar::highSurrogate(upper));
            result[1] = QChar(QChar::lowSurrogate(upper));
        }
    } else {
        result[0] = first.toUpper();
    }
    return result;
}

bool StringUtils::compareVersion(const QString& first, const QString& second, int& result)
{
    result = 0;
    const QStringList a = first.split(QLatin1Char('.'));
    const QStringList b = second.split(QLatin1Char('.'));
    // Only the components both versions have are compared: "1.2.5" and "1.2" are equal, just as
    // "1.2" and "1.2.5" are, so the result does not depend on the order of the arguments.
    const int count = qMin(a.size(), b.size());
    const auto leadingDigits = [](const QString& component) {
        int n = 0;
        while (n < component.size() && component.at(n) >= QLatin1Char('0') && component.at(n) <= QLatin1Char('9'))
            ++n;
        return component.left(n);
    };
    for (int i = 0; i < count; ++i) {
        bool okA = false;
        bool okB = false;
        const int numberA = leadingDigits(a.at(i)).toInt(&okA, 10);
        const int numberB = leadingDigits(b.at(i)).toInt(&okB, 10);
        if (!okA || !okB)
            return false;
        if (numberA > numberB) {
            result = 1;
            return true;
        }
        if (numberA < numberB) {
            result = -1;
            return true;
        }
    }
    return true;
}

QString StringUtils::endl()
{
    return QStringLiteral("\r\n");
}

QString StringUtils::escapeQuotes(const QString& text)
{
    QString result = text;
    return result.replace(QLatin1Char('"'), QLatin1String("\\\""));
}

QString StringUtils::findNoExistantName(const QStringList& existing, const QString& prefix,
                                        const QString& pattern, const QString& extension)
{
    QString base = prefix.simplified();
    if (base.isEmpty())
        base = QStringLiteral("Prefix");
    QString numbered = pattern;
    if (!numbered.contains(QLatin1String("%1")))
        numbered += QLatin1String("%1");
    QString suffix = extension;
    if (!suffix.isEmpty() && !suffix.startsWith(QLatin1Char('.')))
        suffix.prepend(QLatin1Char('.'));

    QSet<QString> taken;
    taken.reserve(existing.size());
    for (const QString& name : existing)
        taken.insert(name.toCaseFolded());

    QString candidate = base + suffix;
    // Each candidate differs from the others, so at most existing.size() + 1 are tried.
    for (qint64 n = 1; taken.contains(candidate.toCaseFolded()); ++n)
        candidate = base + numbered.arg(n) + suffix;
    return candidate;
}

QString StringUtils::formatDurationFromMSec(quint64 msec)
{
    const quint64 seconds = msec / 1000;
    // Hours are counted in full, not as an hour of the day, so a day reads "24h ".
    const quint64 h = seconds / 3600;
    const quint64 m = (seconds / 60) % 60;
    const quint64 s = seconds % 60;
    const quint64 rest = msec - ((h * 60 + m) * 60 + s) * 1000;
    QString result;
    if (h > 0)
        result += QStringLiteral("%1h ").arg(h);
    if (m > 0)
        result += QStringLiteral("%1mn ").arg(m);
    if (s > 0)
        result += QStringLiteral("%1s ").arg(s);
    if (rest != 0)
        result += QStringLiteral("%1ms ").arg(rest);
    return result;
}

QString StringUtils::formatDurationFromSec(quint64 sec)
{
    if (sec > std::numeric_limits<quint64>::max() / 1000) {
        LARK_CRITICAL << "bad usage!! duration too long:" << sec << "s";
        return QString();
    }
    return formatDurationFromMSec(sec * 1000);
}

QString StringUtils::formatRealForInput(const double& value, int decimals)
{
    if (decimals < 0) {
        LARK_CRITICAL << "bad usage!! negative decimals" << decimals;
        decimals = 0;
    }
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        int end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char('0'))
            --end;
        if (end > 0 && text.at(end - 1) == QLatin1Char('.'))
            --end;
        text.truncate(end);
    }
    // A negative value that rounds to zero reads "0", not "-0".
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString StringUtils::generateUUID()
{
    return QUuid::createUuid().toString();
}

QString StringUtils::generateUniqueId(void* pointer)
{
    const qint64 address = qint64(reinterpret_cast<qintptr>(pointer));
    // Qt writes negative numbers unsigned in bases other than 10: put the sign ourselves.
    const QString pointerText = address < 0
        ? QLatin1Char('-') + QString::number(quint64(0) - quint64(address), 36)
        : QString::number(address, 36);
    return QString::number(QDateTime::currentMSecsSinceEpoch(), 36) + pointerText;
}

QString StringUtils::getRandomString(int length)
{
    if (length < 1)
        return QString();
    QString result(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        result[i] = QLatin1Char(ALPHABET[LarkRandom::next() % 62]);
    return result;
}

QString StringUtils::joinWithSlashes(const QStringList& items)
{
    return items.join(QLatin1Char('/'));
}

QString StringUtils::normalizeTextForSearch(const QString& text)
{
    // Equivalent to decomposing to form D and filtering: only ASCII survives the filter, so each
    // character's own canonical decomposition is enough (the mark reordering of form D only moves
    // characters that are dropped).
    SearchWriter out(text.size());
    const QChar* in = text.constData();
    const QChar* const end = in + text.size();
    while (in != end) {
        uint c = in->unicode();
        ++in;
        if (QChar::isHighSurrogate(c) && in != end && in->isLowSurrogate()) {
            c = QChar::surrogateToUcs4(QChar(ushort(c)), *in);
            ++in;
        }
        appendSearchChars(c, out);
    }
    return out.finish();
}

QStringList StringUtils::splitTextForSearch(const QString& text)
{
    const QString simple = text.simplified().toLower();
    QStringList words;
    // Word characters: letters, digits, "_" and combining marks (so a decomposed "e" with its
    // accent stays one word). Everything else, "-" and lone surrogates included, separates.
    int start = -1;
    const int size = simple.size();
    for (int i = 0; i <= size; ++i) {
        bool word = false;
        int width = 1;
        if (i < size) {
            uint c = simple.at(i).unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < size && simple.at(i + 1).isLowSurrogate()) {
                c = QChar::surrogateToUcs4(simple.at(i), simple.at(i + 1));
                width = 2;
            }
            word = c == '_' || QChar::isLetterOrNumber(c) || QChar::isMark(c);
            if (QChar::isSurrogate(c))
                word = false;
        }
        if (word && start < 0)
            start = i;
        if (!word && start >= 0) {
            words << normalizeTextForSearch(simple.mid(start, i - start));
            start = -1;
        }
        i += width - 1;
    }
    return words;
}

QString StringUtils::removeAccents(const QString& text)
{
    const FoldTable& table = foldTable();
    QString result;
    result.reserve(text.size() + 8);
    const QChar* in = text.constData();
    const QChar* const end = in + text.size();
    const QChar* run = in;
    for (; in != end; ++in) {
        const ushort c = in->unicode();
        if (c < 0xA5 || c >= FOLD_RANGE)
            continue;
        const char* replacement = table[c];
        if (!replacement)
            continue;
        result.append(run, int(in - run));
        result.append(QLatin1String(replacement));
        run = in + 1;
    }
    if (run == text.constData())
        return text;
    result.append(run, int(end - run));
    return result;
}

void StringUtils::removeLastChar(QString& text)
{
    const int size = text.size();
    if (size >= 2 && text.at(size - 1).isLowSurrogate() && text.at(size - 2).isHighSurrogate())
        text.chop(2);
    else
        text.chop(1);
}

QString& StringUtils::replaceFirstOccurrence(QString& text, const QString& before, const QString& after)
{
    const int position = text.indexOf(before);
    if (position >= 0)
        text.replace(position, before.size(), after);
    return text;
}

QString& StringUtils::replaceFirstOccurrence(QString& text, const QRegularExpression& expression,
                                             const QString& captureName, const QString& after)
{
    if (!expression.isValid()) {
        LARK_CRITICAL << "bad usage!! invalid expression" << expression.pattern() << expression.errorString();
        return text;
    }
    const QRegularExpressionMatch match = expression.match(text);
    if (!match.hasMatch())
        return text;
    const int start = match.capturedStart(captureName);
    if (start < 0)
        return text;
    text.replace(start, match.capturedLength(captureName), after);
    return text;
}

QString StringUtils::richTextToBold(const QString& text)
{
    return QLatin1String("<b>") + text + QLatin1String("</b>");
}

QString StringUtils::stringLoremIpsum()
{
    return QStringLiteral(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit. Donec viverra enim quis quam bibendum, "
        "at blandit nibh sollicitudin. Donec scelerisque risus et nulla sollicitudin pretium. Maecenas "
        "turpis neque, semper quis gravida nec, semper quis ligula. Pellentesque nec risus non sem aliquam "
        "feugiat et id lacus. Cras ornare nibh mauris, eget sagittis magna gravida eu. Pellentesque dapibus "
        "sodales ligula, vitae scelerisque leo condimentum tempus. Sed aliquet iaculis maximus.");
}

QString StringUtils::systemMainFamily()
{
    return QStringLiteral("Segoe UI");
}
