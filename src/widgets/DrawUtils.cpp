#include "DrawUtils.h"

#include "LarkLog.h"

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QTextOption>
#include <QWidget>

QMutex DrawUtils::mutex;

namespace {

// The hint is ignored by Qt 5.15's engines but still set, as callers of older builds expect.
void setHighQualityAntialiasing(QPainter* painter, bool on)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    painter->setRenderHint(QPainter::HighQualityAntialiasing, on);
    QT_WARNING_POP
#else
    // Gone from Qt 6, whose value 0x08 now means VerticalSubpixelPositioning.
    Q_UNUSED(painter)
    Q_UNUSED(on)
#endif
}

} // namespace

void DrawUtils::drawInformativeMessage(QPainter* painter, QWidget* widget, const QString& text, const QRect& area)
{
    Q_UNUSED(widget)
    if (!painter) {
        LARK_CRITICAL << "null painter";
        return;
    }
    painter->save();
    setHighQualityAntialiasing(painter, true);
    painter->setPen(Qt::white);
    QFont font;
    font.setPixelSize(16);
    painter->setFont(font);

    const int margin = int(10 * 4.0);
    const QRectF layoutArea(0, 0, area.width() - margin, area.height() - margin);
    QRectF bounding = painter->boundingRect(layoutArea, text, QTextOption());
    bounding.moveCenter(QRectF(area).center());

    QPainterPath box;
    box.addRoundedRect(bounding.adjusted(-10, -10, 10, 10), 9.0, 9.0, Qt::AbsoluteSize);
    painter->fillPath(box, QColor(Qt::lightGray));

    QTextOption option(Qt::AlignHCenter | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::WordWrap);
    painter->drawText(bounding, text, option);
    painter->restore();
}

void DrawUtils::drawInformativeMessage(QPainter* painter, QWidget* widget, const QString& text, const QRectF& area)
{
    drawInformativeMessage(painter, widget, text, area.toRect());
}

void DrawUtils::drawSmoothPixmap(QPainter* painter, const QRect& target, const QPixmap& pixmap)
{
    if (!painter) {
        LARK_CRITICAL << "null painter";
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    const bool smallPixmap = pixmap.width() <= 50 && pixmap.height() <= 50;
    const bool largeTarget = target.width() >= 50 && target.height() >= 50;
    if (smallPixmap || largeTarget) {
        painter->drawPixmap(target, pixmap);
    } else {
        // Scaling straight down to a few pixels samples the pixmap; halving an averaged copy keeps detail.
        const QPixmap scaled = pixmap.scaled(target.width() * 2, target.height() * 2,
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter->drawPixmap(target, scaled);
    }
    painter->restore();
}

void DrawUtils::drawTiledPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& sourceRect,
                                const QRect& area, bool repeatHorizontally, bool repeatVertically)
{
    Q_UNUSED(sourceRect)
    if (!painter) {
        LARK_CRITICAL << "null painter";
        return;
    }
    if (pixmap.isNull() || !area.isValid() || area.isNull())
        return;

    painter->save();
    painter->setClipRect(area, Qt::ReplaceClip);
    const int tileWidth = pixmap.width();
    const int tileHeight = pixmap.height();
    // Up to the far edge of the area (not its last pixel), so that a last partial tile is drawn too.
    const int endX = area.left() + area.width();
    const int endY = area.top() + area.height();
    int column = 0;
    for (int x = area.left(); x < endX && (column == 0 || repeatHorizontally); x += tileWidth, ++column) {
        int row = 0;
        for (int y = area.top(); y < endY && (row == 0 || repeatVertically); y += tileHeight, ++row)
            painter->drawPixmap(x, y, pixmap);
    }
    painter->restore();
}

void DrawUtils::drawUndefinedRectOblique(QPainter* painter, const QRect& rect)
{
    if (!painter) {
        LARK_CRITICAL << "null painter";
        return;
    }
    painter->save();
    setHighQualityAntialiasing(painter, true);
    QColor color(Qt::black);
    color.setAlphaF(0.8);
    painter->setPen(color);
    const QRect inner = rect.adjusted(2, 2, -2, -2);
    painter->drawLine(inner.topLeft(), inner.bottomRight());
    painter->restore();
}

void DrawUtils::drawUndefinedRectStraight(QPainter* painter, const QRect& rect, bool black)
{
    if (!painter) {
        LARK_CRITICAL << "null painter";
        return;
    }
    painter->save();
    setHighQualityAntialiasing(painter, false);
    QColor color(black ? Qt::black : Qt::red);
    color.setAlphaF(0.9);
    painter->setPen(color);
    const int y = rect.top() + rect.height() / 2;
    const int middle = rect.left() + rect.width() / 2;
    painter->drawLine(rect.left() + 5, y, middle - 2, y);
    painter->drawLine(middle + 2, y, rect.right() - 5, y);
    painter->restore();
}

QPainterPath DrawUtils::makePathRoundedShape(const QRectF& rect, int radiusTopLeft, int radiusTopRight,
                                             int radiusBottomRight, int radiusBottomLeft)
{
    if (radiusTopLeft < 0 || radiusTopRight < 0 || radiusBottomRight < 0 || radiusBottomLeft < 0) {
        LARK_CRITICAL << "negative radius" << radiusTopLeft << radiusTopRight << radiusBottomRight
                      << radiusBottomLeft;
    }
    const int w = int(rect.width());
    const int h = int(rect.height());
    const auto limit = [w, h](int radius) { return qMax(0, qMin(qMin(radius, w / 2), h / 2)); };
    const int tl = limit(radiusTopLeft);
    const int tr = limit(radiusTopRight);
    const int br = limit(radiusBottomRight);
    const int bl = limit(radiusBottomLeft);

    QPainterPath path;
    path.moveTo(tl, 0);
    if (tr == 0)
        path.lineTo(w, 0);
    else
        path.arcTo(w - 2 * tr, 0, 2 * tr, 2 * tr, 90, -90);
    if (br == 0)
        path.lineTo(w, h);
    else
        path.arcTo(w - 2 * br, h - 2 * br, 2 * br, 2 * br, 0, -90);
    if (bl == 0)
        path.lineTo(0, h);
    else
        path.arcTo(0, h - 2 * bl, 2 * bl, 2 * bl, 270, -90);
    if (tl == 0)
        path.lineTo(0, 0);
    else
        path.arcTo(0, 0, 2 * tl, 2 * tl, 180, -90);
    path.translate(rect.left(), rect.top());
    return path;
}

QPainterPath DrawUtils::makePathRoundedShape(const QRectF& rect, const QVector<int>& radii)
{
    if (radii.size() == 1)
        return makePathRoundedShape(rect, radii.at(0), radii.at(0), radii.at(0), radii.at(0));
    return makePathRoundedShape(rect, radii.value(0), radii.value(1), radii.value(2), radii.value(3));
}

void DrawUtils::setBootstrapColor(QLabel* label, ColorUtils::NotificationType type)
{
    setWidgetColorBackground(label, ColorUtils::bootstrapColorBackground(type));
    setWidgetColorText(label, ColorUtils::bootstrapColorText(type));
}

void DrawUtils::setWidgetColorBackground(QWidget* widget, const QColor& color)
{
    if (!widget)
        return;
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
}

void DrawUtils::setWidgetColorText(QWidget* widget, const QColor& color)
{
    if (!widget)
        return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void DrawUtils::setWidgetTextBold(QWidget* widget, bool bold)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    QFont font = widget->font();
    font.setBold(bold);
    widget->setFont(font);
}

void DrawUtils::setWidgetTextPixelSize(QWidget* widget, int size)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    if (size < 1) {
        LARK_CRITICAL << "pixel size" << size << "is below 1";
        return;
    }
    QFont font = widget->font();
    font.setPixelSize(size);
    widget->setFont(font);
}
