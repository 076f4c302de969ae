#ifndef WIDGETUTILS_H
#define WIDGETUTILS_H

#include "larkutils_export.h"

#include <QRect>
#include <QSize>
#include <QStringList>

class QHeaderView;
class QLayout;
class QMainWindow;
class QObject;
class QScreen;
class QWidget;

/// Fades, masks, centring, dialog sizes, screens, layouts and small window tweaks.
class LARKUTILS_EXPORT WidgetUtils
{
public:
    /// Shows the widget and fades its window opacity from 0 to 1 over duration milliseconds.
    static void showAnimated(QWidget* widget, int duration);
    /// Hides the widget at once and fades its window opacity from 1 to 0 over duration milliseconds.
    static void hideAnimated(QWidget* widget, int duration);

    /// Masks the widget to a rectangle of its size with rounded corners of the radius.
    static void createWidgetRoundedMask(QWidget* widget, int radius);
    /// Keeps the widget's place in its layout while it is hidden.
    static void RetainSizeWhenHidden(QWidget* widget);
    /// Deletes the widget when it is closed.
    static void setDeleteOnClose(QWidget* widget);
    /// Removes the context help button from the window's title bar.
    static void removeHelpToolBarButtonOnWindows(QWidget* widget);
    /// Gives the header's button text a dark blue.
    static void customizeHeaderViewOnWindows(QHeaderView* header);

    /// The rectangle, given in the widget's coordinates, moved to global coordinates; empty for null.
    static QRect mapToGlobal(const QWidget* widget, const QRect& rect);
    /// The widget's rectangle in global coordinates; empty for null.
    static QRect rectToGlobal(const QWidget* widget);

    /// Centres the widget on its parent widget; false when it has none.
    static bool moveDialogToCenterOfParent(QWidget* widget);
    /// Centres the widget on its screen.
    static void moveDialogToCenterOfScreen(QWidget* widget);
    /// Stores the widget's size in size; always returns false.
    static bool saveDialogSize(QWidget* widget, QSize& size);
    /// Resizes the widget to the size (the whole screen when it does not fit) and centres it on
    /// its screen; an invalid size keeps the current one. Always returns false.
    static bool restoreDialogSize(QWidget* widget, const QSize& size);

    /// The screen showing the widget; null for a null widget or without any screen.
    static QScreen* widgetScreen(QWidget* widget);
    /// The first top-level main window of the application, or null.
    static QMainWindow* topLevelMainWindow();

    /// The layout, at any depth below layout, that directly holds the widget; null when none does.
    static QLayout* findParentLayout(QLayout* layout, QWidget* widget);
    /// The same search, starting at the container's own layout.
    static QLayout* findParentLayout(QWidget* container, QWidget* widget);

    /// Class names of the object's parents, nearest first, up to the root.
    static QStringList parentsList(QObject* object);
};

#endif // WIDGETUTILS_H
