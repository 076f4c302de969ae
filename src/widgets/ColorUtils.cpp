#include "ColorUtils.h"

#include "HTMLUtils.h"
#include "RandomPrivate.h"

#include <QStringList>
#include <QtGlobal>

ColorUtils::ColorUtils() = default;

ColorUtils::~ColorUtils() = default;

QColor ColorUtils::bootstrapColorBackground(NotificationType type)
{
    switch (type) {
    case NotificationInfo:
        return QColor(QStringLiteral("#BDE5F8"));
    case NotificationSuccess:
        return QColor(QStringLiteral("#DFF2BF"));
    case NotificationWarning:
        return QColor(QStringLiteral("#FEEFB3"));
    case NotificationError:
        return QColor(QStringLiteral("#FFBABA"));
    }
    return QColor(Qt::black);
}

QColor ColorUtils::bootstrapColorText(NotificationType type)
{
    switch (type) {
    case NotificationInfo:
        return QColor(QStringLiteral("#00529B"));
    case NotificationSuccess:
        return QColor(QStringLiteral("#4F8A10"));
    case NotificationWarning:
        return QColor(QStringLiteral("#9F6000"));
    case NotificationError:
        return QColor(QStringLiteral("#D8000C"));
    }
    return QColor(Qt::black);
}

QColor ColorUtils::colorFromCss(const QString& css)
{
    const QString rgba = QStringLiteral("rgba(");
    const QString rgb = QStringLiteral("rgb(");
    const QString close = QStringLiteral(")");

    if (css.startsWith(rgba, Qt::CaseInsensitive) && css.endsWith(close, Qt::CaseInsensitive)) {
        const QStringList parts = css.mid(5, css.length() - 6).split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (parts.size() == 4) {
            QColor color(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
            color.setAlphaF(parts.at(3).toDouble());
            return color;
        }
    }
    if (css.startsWith(rgb, Qt::CaseInsensitive) && css.endsWith(close, Qt::CaseInsensitive)) {
        const QStringList parts = css.mid(4, css.length() - 5).split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (parts.size() == 3)
            return QColor(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
    }
    return QColor(css);
}

QString ColorUtils::colorToCss(const QColor& color)
{
    return HTMLUtils::colorToCss(color);
}

QColor ColorUtils::grayColor(const QColor& color)
{
    const int gray = (11 * color.red() + 16 * color.green() + 5 * color.blue()) / 32;
    return QColor(gray, gray, gray, color.alpha());
}

QColor ColorUtils::randomColor()
{
    // Drawn blue first, then green, then red.
    const int blue = LarkRandom::next() % 255;
    const int green = LarkRandom::next() % 255;
    const int red = LarkRandom::next() % 255;
    return QColor(red, green, blue);
}
