#ifndef COLORUTILS_H
#define COLORUTILS_H

#include "larkutils_export.h"

#include <QColor>
#include <QObject>
#include <QString>

/// Colour conversions to and from CSS, and the palette of the notification kinds.
class LARKUTILS_EXPORT ColorUtils : public QObject
{
    Q_OBJECT
public:
    /// The kinds of notification the applications show.
    enum NotificationType {
        NotificationInfo = 0,
        NotificationSuccess = 1,
        NotificationWarning = 2,
        NotificationError = 3
    };

    ColorUtils();
    virtual ~ColorUtils();

    /// Background colour of a notification kind; black for an unknown kind.
    static QColor bootstrapColorBackground(NotificationType type);
    /// Text colour of a notification kind; black for an unknown kind.
    static QColor bootstrapColorText(NotificationType type);

    /// Reads "rgba(r,g,b,a)", "rgb(r,g,b)" or a colour name / "#hex"; an invalid colour when unknown.
    static QColor colorFromCss(const QString& css);
    /// The colour's "#rrggbb" name when opaque, otherwise "rgba(r,g,b,a)".
    static QString colorToCss(const QColor& color);
    /// The colour's luminance as a grey, with the colour's alpha.
    static QColor grayColor(const QColor& color);
    /// An opaque colour with components drawn from qrand() (each 0 to 254).
    static QColor randomColor();
};

#endif // COLORUTILS_H
