#include "WidgetUtils.h"

#include "LarkLog.h"
#include "ObjectTree.h"

#include <QApplication>
#include <QBitmap>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QDesktopWidget>
#endif
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWindow>
#include <QWidget>

namespace {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
// What Qt 5's QDesktopWidget::screenNumber gave: the screen (among those of the widget's virtual
// desktop) that shows the largest part of the widget's frame, -1 when none shows any of it.
int desktopScreenNumber(const QWidget* widget, const QList<QScreen*>& allScreens)
{
    QList<QScreen*> screens = allScreens;
    const QWindow* handle = widget->windowHandle();
    if (!handle && widget->nativeParentWidget())
        handle = widget->nativeParentWidget()->windowHandle();
    if (screens.size() != screens.constFirst()->virtualSiblings().size() && handle && handle->screen())
        screens = handle->screen()->virtualSiblings();
    QRect frame = widget->frameGeometry();
    if (!widget->isWindow())
        frame.moveTopLeft(widget->mapToGlobal(QPoint(0, 0)));
    QScreen* best = nullptr;
    qint64 largestArea = 0;
    for (QScreen* screen : qAsConst(screens)) {
        const QRect part = screen->geometry().intersected(frame);
        const qint64 area = qint64(part.width()) * part.height();
        if (area > largestArea) {
            best = screen;
            largestArea = area;
        }
    }
    return int(allScreens.indexOf(best));
}
#endif

// A self-deleting linear animation of the window opacity.
void startFade(QWidget* widget, int duration, qreal from, qreal to)
{
    auto* animation = new QPropertyAnimation(widget, "windowOpacity");
    animation->setDuration(duration);
    animation->setEasingCurve(QEasingCurve::Linear);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// showAnimated and hideAnimated: the same checks, logged under the caller's name.
void fade(QWidget* widget, int duration, bool show, const char* function)
{
    if (!widget) {
        Logwell(Logwell::LogCritical, __FILE__, function, __LINE__) << "null widget";
        return;
    }
    if (duration < 0) {
        Logwell(Logwell::LogCritical, __FILE__, function, __LINE__) << "negative duration" << duration;
        duration = 0;
    }
    if (show) {
        startFade(widget, duration, 0.0, 1.0);
        widget->show();
    } else {
        startFade(widget, duration, 1.0, 0.0);
        widget->hide();
    }
}

// Moves the widget so that a rectangle of its size is centred on target (global coordinates).
void centreOn(QWidget* widget, const QRect& target)
{
    QRect rect(QPoint(0, 0), widget->size());
    rect.moveCenter(target.center());
    QPoint topLeft = rect.topLeft();
    // A child widget is moved in its parent's coordinates.
    if (!widget->isWindow() && widget->parentWidget())
        topLeft = widget->parentWidget()->mapFromGlobal(topLeft);
    widget->move(topLeft);
}

} // namespace

void WidgetUtils::showAnimated(QWidget* widget, int duration)
{
    fade(widget, duration, true, "WidgetUtils::showAnimated");
}

void WidgetUtils::hideAnimated(QWidget* widget, int duration)
{
    fade(widget, duration, false, "WidgetUtils::hideAnimated");
}

void WidgetUtils::createWidgetRoundedMask(QWidget* widget, int radius)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    if (widget->size().isEmpty())
        return;  // nothing to mask yet
    QBitmap bitmap(widget->size());
    bitmap.clear();
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(widget->size())), radius, radius, Qt::AbsoluteSize);
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(path, QBrush(Qt::color1));
    painter.end();
    widget->setMask(bitmap);
}

void WidgetUtils::RetainSizeWhenHidden(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

void WidgetUtils::setDeleteOnClose(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    widget->setAttribute(Qt::WA_DeleteOnClose);
}

void WidgetUtils::removeHelpToolBarButtonOnWindows(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    widget->setWindowFlags(widget->windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void WidgetUtils::customizeHeaderViewOnWindows(QHeaderView* header)
{
    if (!header) {
        LARK_CRITICAL << "null header view";
        return;
    }
    QPalette palette = header->palette();
    palette.setBrush(QPalette::ButtonText, QBrush(QColor(QStringLiteral("#3399FF")).darker(200)));
    header->setPalette(palette);
}

QRect WidgetUtils::mapToGlobal(const QWidget* widget, const QRect& rect)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return QRect();
    }
    return QRect(widget->mapToGlobal(rect.topLeft()), rect.size());
}

QRect WidgetUtils::rectToGlobal(const QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return QRect();
    }
    QRect rect = widget->geometry();
    rect.moveTopLeft(widget->mapToGlobal(QPoint(0, 0)));
    return rect;
}

bool WidgetUtils::moveDialogToCenterOfParent(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return false;
    }
    QWidget* parent = widget->parentWidget();
    if (!parent)
        return false;
    centreOn(widget, rectToGlobal(parent));
    return true;
}

void WidgetUtils::moveDialogToCenterOfScreen(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return;
    }
    QScreen* screen = widgetScreen(widget);
    if (!screen)
        return;
    centreOn(widget, screen->geometry());
}

bool WidgetUtils::saveDialogSize(QWidget* widget, QSize& size)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return false;
    }
    size = widget->size();
    return false;
}

bool WidgetUtils::restoreDialogSize(QWidget* widget, const QSize& size)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return false;
    }
    QScreen* screen = widgetScreen(widget);
    if (!screen)
        return false;
    const QRect screenRect = screen->geometry();
    // A size never saved (QSize()) would shrink the dialog to nothing: keep the current one.
    if (size.isValid()) {
        if (size.width() < screenRect.width() && size.height() < screenRect.height())
            widget->resize(size);
        else
            widget->resize(screenRect.size());
    }
    centreOn(widget, screenRect);
    return false;
}

QScreen* WidgetUtils::widgetScreen(QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return nullptr;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        LARK_WARNING << "no screen";
        return nullptr;
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    int number = QApplication::desktop()->screenNumber(widget);
    QT_WARNING_POP
#else
    int number = desktopScreenNumber(widget, screens);
#endif
    if (number < 0 || number >= screens.size())
        number = 0;
    return screens.at(number);
}

QMainWindow* WidgetUtils::topLevelMainWindow()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (auto* window = qobject_cast<QMainWindow*>(widget))
            return window;
    }
    return nullptr;
}

QLayout* WidgetUtils::findParentLayout(QLayout* layout, QWidget* widget)
{
    if (!widget) {
        // Spacers and nested layouts have no widget: a null widget would match them.
        LARK_CRITICAL << "null widget";
        return nullptr;
    }
    if (!layout)
        return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (!item)
            continue;
        if (item->widget() == widget)
            return layout;
        if (QLayout* found = findParentLayout(item->layout(), widget))
            return found;
    }
    return nullptr;
}

QLayout* WidgetUtils::findParentLayout(QWidget* container, QWidget* widget)
{
    if (!container) {
        LARK_CRITICAL << "null container";
        return nullptr;
    }
    return findParentLayout(container->layout(), widget);
}

QStringList WidgetUtils::parentsList(QObject* object)
{
    if (!object) {
        LARK_CRITICAL << "null object";
        return QStringList();
    }
    return ObjectTree::parentClassNames(object);
}
