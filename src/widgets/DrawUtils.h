#ifndef DRAWUTILS_H
#define DRAWUTILS_H

#include "larkutils_export.h"

#include "ColorUtils.h"

#include <QColor>
#include <QMutex>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVector>

class QLabel;
class QPainter;
class QWidget;

/// Painting of recurring interface pieces, and colour and font setters for widgets.
/// The painting functions leave the painter's state as they found it.
class LARKUTILS_EXPORT DrawUtils
{
public:
    /// Shared by the applications' painting code; never locked by the library.
    static QMutex mutex;

    /// Paints the text in a light grey rounded box centred in the area (the widget is not used).
    static void drawInformativeMessage(QPainter* painter, QWidget* widget, const QString& text, const QRect& area);
    /// The same, with the area rounded to integers.
    static void drawInformativeMessage(QPainter* painter, QWidget* widget, const QString& text, const QRectF& area);

    /// Draws the pixmap into the target with smooth scaling; a large pixmap going into a small
    /// target is first scaled to twice the target's size.
    static void drawSmoothPixmap(QPainter* painter, const QRect& target, const QPixmap& pixmap);
    /// Tiles the pixmap at its natural size over the whole area, clipped to it; without repetition
    /// in a direction only the first column (or row) is drawn. Nothing for a null pixmap or empty area.
    static void drawTiledPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& sourceRect,
                                const QRect& area, bool repeatHorizontally, bool repeatVertically);

    /// The diagonal stroke that marks an undefined rectangle.
    static void drawUndefinedRectOblique(QPainter* painter, const QRect& rect);
    /// A horizontal stroke across the middle of the rectangle, with a gap in its centre; black or red.
    static void drawUndefinedRectStraight(QPainter* painter, const QRect& rect, bool black);

    /// A rectangle path with its own radius at each corner, each limited to half the width and
    /// height. Negative radii are refused (logged) and taken as 0.
    static QPainterPath makePathRoundedShape(const QRectF& rect, int radiusTopLeft, int radiusTopRight,
                                             int radiusBottomRight, int radiusBottomLeft);
    /// Radii in the order top-left, top-right, bottom-right, bottom-left; missing ones are 0 and a
    /// single radius applies to all four corners.
    static QPainterPath makePathRoundedShape(const QRectF& rect, const QVector<int>& radii);

    /// Background and text colours of a notification kind on the label.
    static void setBootstrapColor(QLabel* label, ColorUtils::NotificationType type);
    /// Fills the widget's background (Window and Button roles) with the colour; nothing for null.
    static void setWidgetColorBackground(QWidget* widget, const QColor& color);
    /// Sets the text colour (WindowText, Text and ButtonText roles); nothing for null.
    static void setWidgetColorText(QWidget* widget, const QColor& color);
    /// Makes the widget's font bold or not.
    static void setWidgetTextBold(QWidget* widget, bool bold);
    /// Sets the widget's font pixel size; a size below 1 is refused (logged).
    static void setWidgetTextPixelSize(QWidget* widget, int size);
};

#endif // DRAWUTILS_H
