#ifndef HTMLUTILS_H
#define HTMLUTILS_H

#include "larkutils_export.h"

#include <QByteArray>
#include <QColor>
#include <QString>

/// Makes text safe and well-formed for the places of an exported page: HTML content and
/// attributes, JavaScript strings, URLs, CSS names, meta tags, data URIs.
class LARKUTILS_EXPORT HTMLUtils
{
public:
    /// "data:image;base64," + the Base64 of bytes.
    static QString base64ForImageTagSource(const QByteArray& bytes);
    /// "data:image/svg+xml;base64," + the Base64 of bytes.
    static QString base64ForSvgImageTagSource(const QByteArray& bytes);

    /// True for codes above 125 and for "&", "<", ">" and the double quote.
    static bool codeCharMustBeEncoded(int code);

    /// "#rrggbb" for an opaque colour, "rgba(r,g,b,alpha)" otherwise.
    static QString colorToCss(const QColor& color);

    /// Decodes numeric character references ("&#233;") and "&nbsp;" (to a plain space); other
    /// references are copied. Impossible code points give U+FFFD.
    static QString decodeFromHtmlText(const QString& text);

    /// The URL (parsed tolerantly) in its fully percent-encoded form.
    static QString encodeSrcUrl(const QString& url);
    /// Percent-encodes (UTF-8) every character before the last "." that is not a letter, a digit
    /// or one of "_-/.#?="; in the part from that "." on, only what could end or escape an HTML
    /// attribute value or tag (quotes, "<", ">", "`", white space, controls) is encoded, the rest
    /// is copied. Without a "." the whole text is treated so.
    static QString encodeSrcUrlWithFullyAmpersands(const QString& url);

    /// Escapes text for the inside of a JavaScript string literal (either quote, inline script
    /// safe): line feeds as `\n`, quotes, backslashes, "<" and non-ASCII as `\uXXXX`, unprintables dropped.
    static QString encodeToJavascriptText(const QString& text);

    /// Trimmed, "{" and "}" removed, "-" replaced by "_".
    static QString formatCompliantcssId(const QString& text);
    /// Trimmed, "{" and "}" removed, "_" replaced by "-".
    static QString formatCompliantcssClassName(const QString& text);
    /// Same as formatCompliantcssId.
    static QString formatCompliantFolder(const QString& text);

    /// `<meta name="name" content="content"/>` with both attribute values escaped.
    static QString formatHtmlMetaName(const QString& name, const QString& content);
    /// `<meta http-equiv="httpEquiv" content="content"/>` with both attribute values escaped.
    static QString formatHtmlMetaHttpEqui(const QString& httpEquiv, const QString& content);

    /// The plain text of an HTML fragment, as QTextDocument reads it (tags dropped, entities
    /// decoded, paragraphs as line breaks).
    static QString formatHtmlToPlainText(const QString& html);

    /// "file:///" + path.
    static QString formatedLocalFile(const QString& path);

    /// A new random UUID usable as an HTML id: 36 characters, groups joined by "_".
    static QString generateUUID();

    /// Replaces every line feed of text by "<br>"; returns text.
    static QString& htmlBRreplace(QString& text);

    /// Escapes text for HTML content and double-quoted attribute values: line feeds as &#10;,
    /// "&<>\"" as numeric references, unprintable characters dropped, spaces as &nbsp; on request.
    static QString textWithoutHtmlTags(const QString& text, bool spacesAsNbsp = false);

    /// A one-pixel transparent GIF as a data URI.
    static QString tiniestInlineGifImage();
};

#endif // HTMLUTILS_H
