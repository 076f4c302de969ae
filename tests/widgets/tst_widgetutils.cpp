#include <LogCapture.h>
#include <WidgetUtils.h>

#include <QDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

class tst_WidgetUtils : public QObject
{
    Q_OBJECT
private slots:
    void showAnimatedFadesIn();
    void hideAnimatedHidesAtOnce();
    void fadeOutlivedByItsWidget();
    void roundedMask();
    void windowTweaks();
    void deleteOnClose();
    void globalRects();
    void centreOnParent();
    void centreOnParentWithoutParent();
    void centreChildWidgetOnParent();
    void centreOnScreen();
    void saveDialogSize();
    void restoreDialogSize_data();
    void restoreDialogSize();
    void screensAndMainWindow();
    void findParentLayout();
    void parentsList();
    void nullArguments();
};

void tst_WidgetUtils::showAnimatedFadesIn()
{
    QWidget widget;
    WidgetUtils::showAnimated(&widget, 40);
    QVERIFY(widget.isVisible());
    QVERIFY(widget.windowOpacity() < 0.5);
    QTRY_COMPARE_WITH_TIMEOUT(widget.windowOpacity(), 1.0, 10000);
}

void tst_WidgetUtils::hideAnimatedHidesAtOnce()
{
    QWidget widget;
    widget.show();
    WidgetUtils::hideAnimated(&widget, 40);
    QVERIFY(widget.isHidden());
    QVERIFY(widget.windowOpacity() > 0.5);
    QTRY_COMPARE_WITH_TIMEOUT(widget.windowOpacity(), 0.0, 10000);
}

void tst_WidgetUtils::fadeOutlivedByItsWidget()
{
    auto* widget = new QWidget;
    WidgetUtils::showAnimated(widget, 100000);
    delete widget;
    // The running animation must notice that its target is gone.
    QTest::qWait(50);
}

void tst_WidgetUtils::roundedMask()
{
    QWidget widget;
    widget.resize(100, 60);
    WidgetUtils::createWidgetRoundedMask(&widget, 20);
    const QRegion mask = widget.mask();
    QVERIFY(!mask.isEmpty());
    QVERIFY(mask.contains(QPoint(50, 30)));
    QVERIFY(mask.contains(QPoint(50, 0)));
    QVERIFY(mask.contains(QPoint(0, 30)));
    QVERIFY(mask.contains(QPoint(99, 30)));
    for (const QPoint& corner : {QPoint(1, 1), QPoint(98, 1), QPoint(98, 58), QPoint(1, 58)})
        QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
    QVERIFY(mask.boundingRect().width() <= 100 && mask.boundingRect().height() <= 60);
}

void tst_WidgetUtils::windowTweaks()
{
    QLabel label;
    WidgetUtils::RetainSizeWhenHidden(&label);
    QVERIFY(label.sizePolicy().retainSizeWhenHidden());

    QDialog dialog;
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint);
    WidgetUtils::removeHelpToolBarButtonOnWindows(&dialog);
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    QHeaderView header(Qt::Horizontal);
    WidgetUtils::customizeHeaderViewOnWindows(&header);
    QCOMPARE(header.palette().brush(QPalette::ButtonText).color().rgb(), qRgb(0x19, 0x4c, 0x7f));
    QCOMPARE(header.palette().brush(QPalette::ButtonText).style(), Qt::SolidPattern);
}

void tst_WidgetUtils::deleteOnClose()
{
    QPointer<QWidget> widget = new QWidget;
    WidgetUtils::setDeleteOnClose(widget);
    widget->show();
    widget->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(widget.isNull());
}

void tst_WidgetUtils::globalRects()
{
    QWidget top;
    top.setGeometry(100, 50, 300, 200);
    auto* child = new QWidget(&top);
    child->setGeometry(10, 20, 30, 40);
    top.show();

    const QRect topRect = WidgetUtils::rectToGlobal(&top);
    QCOMPARE(topRect.size(), QSize(300, 200));
    const QRect childRect = WidgetUtils::rectToGlobal(child);
    QCOMPARE(childRect, QRect(topRect.topLeft() + QPoint(10, 20), QSize(30, 40)));
    QCOMPARE(WidgetUtils::mapToGlobal(child, QRect(5, 6, 7, 8)), QRect(childRect.topLeft() + QPoint(5, 6), QSize(7, 8)));
}

void tst_WidgetUtils::centreOnParent()
{
    QWidget parent;
    parent.setGeometry(100, 80, 400, 300);
    parent.show();
    QDialog dialog(&parent);
    dialog.resize(100, 50);
    QVERIFY(WidgetUtils::moveDialogToCenterOfParent(&dialog));
    const QRect parentRect = WidgetUtils::rectToGlobal(&parent);
    QCOMPARE(QRect(dialog.pos(), dialog.size()).center(), parentRect.center());
}

void tst_WidgetUtils::centreOnParentWithoutParent()
{
    QDialog dialog;
    dialog.move(33, 44);
    const QPoint before = dialog.pos();
    LogCapture logs;
    QVERIFY(!WidgetUtils::moveDialogToCenterOfParent(&dialog));
    QCOMPARE(dialog.pos(), before);
    QCOMPARE(logs.count(), 0);
}

void tst_WidgetUtils::centreChildWidgetOnParent()
{
    // A child (not a window) moves in its parent's coordinates.
    QWidget parent;
    parent.setGeometry(120, 90, 400, 300);
    parent.show();
    QVERIFY(parent.mapToGlobal(QPoint(0, 0)) != QPoint(0, 0));
    auto* child = new QWidget(&parent);
    child->resize(100, 50);
    QVERIFY(WidgetUtils::moveDialogToCenterOfParent(child));
    QCOMPARE(child->geometry().center(), parent.rect().center());
}

void tst_WidgetUtils::centreOnScreen()
{
    QWidget widget;
    widget.resize(200, 100);
    WidgetUtils::moveDialogToCenterOfScreen(&widget);
    QCOMPARE(QRect(widget.pos(), widget.size()).center(), WidgetUtils::widgetScreen(&widget)->geometry().center());
}

void tst_WidgetUtils::saveDialogSize()
{
    QWidget widget;
    widget.resize(123, 45);
    QSize size;
    QVERIFY(!WidgetUtils::saveDialogSize(&widget, size));
    QCOMPARE(size, QSize(123, 45));
}

void tst_WidgetUtils::restoreDialogSize_data()
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("fits") << QSize(300, 200) << QSize(300, 200);
    QTest::newRow("width of the screen") << QSize(screen.width(), 200) << screen;
    QTest::newRow("higher than the screen") << QSize(300, screen.height() + 10) << screen;
    QTest::newRow("not saved keeps the size") << QSize() << QSize(150, 120);
}

void tst_WidgetUtils::restoreDialogSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, expected);
    QWidget widget;
    widget.resize(150, 120);
    QVERIFY(!WidgetUtils::restoreDialogSize(&widget, size));
    QCOMPARE(widget.size(), expected);
    QCOMPARE(QRect(widget.pos(), widget.size()).center(), QGuiApplication::primaryScreen()->geometry().center());
}

void tst_WidgetUtils::screensAndMainWindow()
{
    QWidget widget;
    QCOMPARE(WidgetUtils::widgetScreen(&widget), QGuiApplication::primaryScreen());

    QWidget plain;
    QCOMPARE(WidgetUtils::topLevelMainWindow(), static_cast<QMainWindow*>(nullptr));
    QMainWindow window;
    QCOMPARE(WidgetUtils::topLevelMainWindow(), &window);
}

void tst_WidgetUtils::findParentLayout()
{
    QWidget container;
    auto* outer = new QVBoxLayout(&container);
    auto* top = new QPushButton;
    outer->addWidget(top);
    outer->addStretch();
    auto* row = new QHBoxLayout;
    outer->addLayout(row);
    row->addSpacing(5);
    auto* grid = new QGridLayout;
    row->addLayout(grid);
    auto* deep = new QPushButton;
    grid->addWidget(new QLabel, 0, 0);
    grid->addWidget(deep, 1, 1);
    auto* beside = new QPushButton;
    row->addWidget(beside);
    QPushButton stranger;

    QCOMPARE(WidgetUtils::findParentLayout(&container, top), static_cast<QLayout*>(outer));
    QCOMPARE(WidgetUtils::findParentLayout(&container, deep), static_cast<QLayout*>(grid));
    QCOMPARE(WidgetUtils::findParentLayout(&container, beside), static_cast<QLayout*>(row));
    QCOMPARE(WidgetUtils::findParentLayout(row, deep), static_cast<QLayout*>(grid));
    QCOMPARE(WidgetUtils::findParentLayout(&container, &stranger), static_cast<QLayout*>(nullptr));
    QCOMPARE(WidgetUtils::findParentLayout(static_cast<QLayout*>(nullptr), deep), static_cast<QLayout*>(nullptr));
    QWidget empty;
    QCOMPARE(WidgetUtils::findParentLayout(&empty, deep), static_cast<QLayout*>(nullptr));

    // Spacers hold no widget: a null widget must not find their layout.
    LogCapture logs;
    QCOMPARE(WidgetUtils::findParentLayout(&container, nullptr), static_cast<QLayout*>(nullptr));
    QVERIFY(logs.has(Logwell::LogCritical, "WidgetUtils::findParentLayout", "null widget"));
}

void tst_WidgetUtils::parentsList()
{
    QObject alone;
    QVERIFY(WidgetUtils::parentsList(&alone).isEmpty());

    QMainWindow window;
    auto* central = new QWidget(&window);
    auto* timer = new QTimer(central);
    QCOMPARE(WidgetUtils::parentsList(timer), (QStringList{"QWidget", "QMainWindow"}));
    QCOMPARE(WidgetUtils::parentsList(central), QStringList{"QMainWindow"});
}

void tst_WidgetUtils::nullArguments()
{
    LogCapture logs;
    WidgetUtils::showAnimated(nullptr, 10);
    WidgetUtils::hideAnimated(nullptr, 10);
    WidgetUtils::createWidgetRoundedMask(nullptr, 5);
    WidgetUtils::RetainSizeWhenHidden(nullptr);
    WidgetUtils::setDeleteOnClose(nullptr);
    WidgetUtils::removeHelpToolBarButtonOnWindows(nullptr);
    WidgetUtils::customizeHeaderViewOnWindows(nullptr);
    QCOMPARE(WidgetUtils::mapToGlobal(nullptr, QRect(1, 2, 3, 4)), QRect());
    QCOMPARE(WidgetUtils::rectToGlobal(nullptr), QRect());
    QVERIFY(!WidgetUtils::moveDialogToCenterOfParent(nullptr));
    WidgetUtils::moveDialogToCenterOfScreen(nullptr);
    QSize size(7, 8);
    QVERIFY(!WidgetUtils::saveDialogSize(nullptr, size));
    QCOMPARE(size, QSize(7, 8));
    QVERIFY(!WidgetUtils::restoreDialogSize(nullptr, QSize(10, 10)));
    QCOMPARE(WidgetUtils::widgetScreen(nullptr), static_cast<QScreen*>(nullptr));
    QVERIFY(WidgetUtils::parentsList(nullptr).isEmpty());
    QWidget orphan;
    QCOMPARE(WidgetUtils::findParentLayout(static_cast<QWidget*>(nullptr), &orphan), static_cast<QLayout*>(nullptr));
    for (const char* function :
         {"showAnimated", "hideAnimated", "createWidgetRoundedMask", "RetainSizeWhenHidden", "setDeleteOnClose",
          "removeHelpToolBarButtonOnWindows", "customizeHeaderViewOnWindows", "mapToGlobal", "rectToGlobal",
          "moveDialogToCenterOfParent", "moveDialogToCenterOfScreen", "saveDialogSize", "restoreDialogSize",
          "widgetScreen", "parentsList", "findParentLayout"})
        QVERIFY2(logs.has(Logwell::LogCritical, QStringLiteral("WidgetUtils::") + function, "null"), function);

    QWidget widget;
    logs.clear();
    WidgetUtils::showAnimated(&widget, -5);
    QVERIFY(widget.isVisible());
    QVERIFY(logs.has(Logwell::LogCritical, "WidgetUtils::showAnimated", "negative duration"));
}

QTEST_MAIN(tst_WidgetUtils)
#include "tst_widgetutils.moc"
