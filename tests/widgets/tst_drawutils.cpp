#include <DrawUtils.h>
#include <LogCapture.h>

#include <QLabel>
#include <QPainter>
#include <QtTest>

namespace {

QImage canvas(int width, int height, const QColor& fill)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// A tile whose top-left pixel is red and the rest green: each drawn tile leaves one red marker.
QPixmap markerTile(int size)
{
    QImage tile(size, size, QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::green);
    tile.setPixelColor(0, 0, Qt::red);
    return QPixmap::fromImage(tile);
}

QList<QPoint> pixelsOfColor(const QImage& image, QRgb rgb)
{
    QList<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == rgb)
                points.append(QPoint(x, y));
    return points;
}

bool isBackground(const QImage& image, int x, int y, const QColor& background)
{
    return image.pixelColor(x, y) == background;
}

} // namespace

class tst_DrawUtils : public QObject
{
    Q_OBJECT
private slots:
    void tiledPixmapTiles_data();
    void tiledPixmapTiles();
    void tiledPixmapCoversLastColumnAndRow();
    void tiledPixmapNothingToDraw_data();
    void tiledPixmapNothingToDraw();
    void smoothPixmapAveragesWhenShrinkingFar();
    void smoothPixmapDrawsSmallPixmapDirectly();
    void undefinedRectStraight_data();
    void undefinedRectStraight();
    void undefinedRectOblique();
    void informativeMessage();
    void informativeMessageRectF();
    void roundedShapeCorners_data();
    void roundedShapeCorners();
    void roundedShapeRadiusLimited();
    void roundedShapeVector_data();
    void roundedShapeVector();
    void roundedShapeNegativeRadius();
    void widgetColors();
    void widgetColorsNullWidget();
    void widgetFont();
    void nullPainter();
};

void tst_DrawUtils::tiledPixmapTiles_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QList<QPoint>>("markers");
    const QList<int> steps{0, 10, 20};
    QList<QPoint> all, topRow, leftColumn, shifted;
    for (int y : steps)
        for (int x : steps)
            all.append(QPoint(x, y));
    for (int x : steps)
        topRow.append(QPoint(x, 0));
    for (int y : steps)
        leftColumn.append(QPoint(0, y));
    for (int y : steps)
        for (int x : {0, 10})
            shifted.append(QPoint(x + 7, y + 3));
    QTest::newRow("both directions") << QRect(0, 0, 25, 25) << true << true << all;
    QTest::newRow("horizontal only") << QRect(0, 0, 25, 25) << true << false << topRow;
    QTest::newRow("vertical only") << QRect(0, 0, 25, 25) << false << true << leftColumn;
    QTest::newRow("no repetition") << QRect(0, 0, 25, 25) << false << false << QList<QPoint>{QPoint(0, 0)};
    QTest::newRow("offset area") << QRect(7, 3, 20, 25) << true << true << shifted;
}

void tst_DrawUtils::tiledPixmapTiles()
{
    QFETCH(QRect, area);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    QFETCH(QList<QPoint>, markers);

    QImage image = canvas(40, 40, Qt::black);
    QPainter painter(&image);
    DrawUtils::drawTiledPixmap(&painter, markerTile(10), QRect(1, 2, 3, 4), area, horizontal, vertical);
    QVERIFY(!painter.hasClipping());
    painter.end();

    QCOMPARE(pixelsOfColor(image, qRgb(255, 0, 0)), markers);
    // Painted exactly over the union of the drawn tiles, cut by the area.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            bool covered = false;
            for (const QPoint& m : markers)
                covered = covered || QRect(m, QSize(10, 10)).contains(x, y);
            covered = covered && area.contains(x, y);
            QVERIFY2(isBackground(image, x, y, Qt::black) != covered,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void tst_DrawUtils::tiledPixmapCoversLastColumnAndRow()
{
    // One pixel wider and higher than two tiles: the last column and row get a third, cut tile.
    QImage image = canvas(30, 30, Qt::black);
    QPainter painter(&image);
    DrawUtils::drawTiledPixmap(&painter, markerTile(10), QRect(), QRect(0, 0, 21, 21), true, true);
    painter.end();
    QCOMPARE(image.pixelColor(20, 20), QColor(Qt::red));
    QCOMPARE(image.pixelColor(20, 5), QColor(Qt::green));
    QCOMPARE(image.pixelColor(5, 20), QColor(Qt::green));
    QCOMPARE(image.pixelColor(21, 20), QColor(Qt::black));
    QCOMPARE(image.pixelColor(20, 21), QColor(Qt::black));
    QCOMPARE(pixelsOfColor(image, qRgb(255, 0, 0)).size(), 9);
}

void tst_DrawUtils::tiledPixmapNothingToDraw_data()
{
    QTest::addColumn<QPixmap>("pixmap");
    QTest::addColumn<QRect>("area");
    QTest::newRow("null pixmap") << QPixmap() << QRect(0, 0, 20, 20);
    QTest::newRow("null area") << markerTile(10) << QRect();
    QTest::newRow("invalid area") << markerTile(10) << QRect(10, 10, -5, 8);
    QTest::newRow("zero width") << markerTile(10) << QRect(0, 0, 0, 20);
}

void tst_DrawUtils::tiledPixmapNothingToDraw()
{
    QFETCH(QPixmap, pixmap);
    QFETCH(QRect, area);
    QImage image = canvas(20, 20, Qt::black);
    const QImage before = image;
    LogCapture logs;
    QPainter painter(&image);
    DrawUtils::drawTiledPixmap(&painter, pixmap, QRect(), area, true, true);
    painter.end();
    QCOMPARE(image, before);
    QCOMPARE(logs.count(), 0);
}

void tst_DrawUtils::smoothPixmapAveragesWhenShrinkingFar()
{
    // One-pixel stripes: sampling them straight down to 32 pixels gives uneven greys, the averaged
    // half-way copy an even mid grey everywhere.
    QImage stripes(200, 200, QImage::Format_RGB32);
    for (int x = 0; x < stripes.width(); ++x)
        for (int y = 0; y < stripes.height(); ++y)
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));

    QImage image = canvas(48, 48, Qt::red);
    QPainter painter(&image);
    DrawUtils::drawSmoothPixmap(&painter, QRect(8, 8, 32, 32), QPixmap::fromImage(stripes));
    QVERIFY(!painter.testRenderHint(QPainter::SmoothPixmapTransform));
    painter.end();

    QCOMPARE(image.pixelColor(7, 20), QColor(Qt::red));
    QCOMPARE(image.pixelColor(40, 20), QColor(Qt::red));
    for (int y = 9; y < 39; ++y) {
        for (int x = 9; x < 39; ++x) {
            const QColor c = image.pixelColor(x, y);
            QVERIFY2(qAbs(c.red() - 128) <= 12 && c.red() == c.blue(),
                     qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(c.name())));
        }
    }
}

void tst_DrawUtils::smoothPixmapDrawsSmallPixmapDirectly()
{
    QImage halves(40, 40, QImage::Format_RGB32);
    halves.fill(Qt::blue);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 20; ++x)
            halves.setPixel(x, y, qRgb(255, 255, 0));

    QImage image = canvas(30, 30, Qt::black);
    QPainter painter(&image);
    DrawUtils::drawSmoothPixmap(&painter, QRect(5, 5, 20, 20), QPixmap::fromImage(halves));
    painter.end();
    QCOMPARE(image.pixelColor(7, 15), QColor(255, 255, 0));
    QCOMPARE(image.pixelColor(22, 15), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(4, 15), QColor(Qt::black));
    QCOMPARE(image.pixelColor(25, 15), QColor(Qt::black));
}

void tst_DrawUtils::undefinedRectStraight_data()
{
    QTest::addColumn<bool>("black");
    QTest::addColumn<QColor>("stroke");
    // The pen's alpha of 0.9 over white.
    QTest::newRow("black") << true << QColor(25, 25, 25);
    QTest::newRow("red") << false << QColor(255, 25, 25);
}

void tst_DrawUtils::undefinedRectStraight()
{
    QFETCH(bool, black);
    QFETCH(QColor, stroke);
    const QRect rect(10, 4, 40, 21);  // stroke at y = 4 + 10, from x 15 to 28 and 32 to 44
    QImage image = canvas(60, 30, Qt::white);
    QPainter painter(&image);
    DrawUtils::drawUndefinedRectStraight(&painter, rect, black);
    painter.end();

    const int y = 14;
    const auto near = [](const QColor& a, const QColor& b) {
        return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
    };
    for (int x : {15, 20, 28, 32, 40, 44})
        QVERIFY2(near(image.pixelColor(x, y), stroke), qPrintable(QStringLiteral("x %1: %2").arg(x).arg(image.pixelColor(x, y).name())));
    // The gap in the middle and the ends stay clear.
    for (int x : {29, 30, 31, 14, 45})
        QVERIFY2(isBackground(image, x, y, Qt::white), qPrintable(QStringLiteral("x %1").arg(x)));
    // One pixel high, no antialiasing.
    for (int x = 0; x < image.width(); ++x) {
        QVERIFY(isBackground(image, x, y - 1, Qt::white));
        QVERIFY(isBackground(image, x, y + 1, Qt::white));
    }
}

void tst_DrawUtils::undefinedRectOblique()
{
    QImage image = canvas(44, 44, Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::green);
    DrawUtils::drawUndefinedRectOblique(&painter, QRect(0, 0, 44, 44));
    QCOMPARE(painter.pen().color(), QColor(Qt::green));
    painter.end();
    // Diagonal from (2,2) to (41,41), dark at about 0.8 alpha; the corners beyond stay white.
    for (int i : {3, 10, 22, 40}) {
        const QColor c = image.pixelColor(i, i);
        QVERIFY2(c.red() < 100 && c.red() == c.green(), qPrintable(QStringLiteral("%1: %2").arg(i).arg(c.name())));
    }
    QVERIFY(isBackground(image, 0, 0, Qt::white));
    QVERIFY(isBackground(image, 43, 43, Qt::white));
    QVERIFY(isBackground(image, 40, 3, Qt::white));
    QVERIFY(isBackground(image, 3, 40, Qt::white));
}

void tst_DrawUtils::informativeMessage()
{
    QImage image = canvas(300, 200, Qt::black);
    QPainter painter(&image);
    painter.setPen(Qt::red);
    DrawUtils::drawInformativeMessage(&painter, nullptr, QStringLiteral("Hello"), QRect(0, 0, 300, 200));
    QCOMPARE(painter.pen().color(), QColor(Qt::red));
    painter.end();

    const QRgb grey = QColor(Qt::lightGray).rgb();
    QRect boxRect;  // everything painted
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isBackground(image, x, y, Qt::black))
                boxRect |= QRect(x, y, 1, 1);
    // A small box centred in the area.
    QVERIFY2(qAbs(boxRect.center().x() - 150) <= 1 && qAbs(boxRect.center().y() - 100) <= 1,
             qPrintable(QStringLiteral("box %1,%2 %3x%4").arg(boxRect.x()).arg(boxRect.y()).arg(boxRect.width()).arg(boxRect.height())));
    QVERIFY(boxRect.width() < 150 && boxRect.height() < 60 && boxRect.height() > 20);
    // Light grey, with rounded corners left unpainted.
    QCOMPARE(image.pixel(boxRect.left() + 5, boxRect.center().y()), grey);
    QCOMPARE(image.pixel(boxRect.center().x(), boxRect.top() + 5), grey);
    QVERIFY(isBackground(image, boxRect.left(), boxRect.top(), Qt::black));
    QVERIFY(isBackground(image, boxRect.right(), boxRect.top(), Qt::black));
    QVERIFY(isBackground(image, boxRect.left(), boxRect.bottom(), Qt::black));
    QVERIFY(isBackground(image, boxRect.right(), boxRect.bottom(), Qt::black));
    // White text inside the box, 10 pixels in from its edges.
    const QRect textArea = boxRect.adjusted(10, 10, -10, -10);
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255)) {
                ++white;
                QVERIFY(textArea.contains(x, y));
            }
        }
    }
    QVERIFY(white > 10);
}

void tst_DrawUtils::informativeMessageRectF()
{
    QImage byRect = canvas(200, 120, Qt::black);
    QImage byRectF = canvas(200, 120, Qt::black);
    QPainter first(&byRect);
    DrawUtils::drawInformativeMessage(&first, nullptr, QStringLiteral("Rien"), QRect(20, 10, 160, 100));
    first.end();
    QPainter second(&byRectF);
    DrawUtils::drawInformativeMessage(&second, nullptr, QStringLiteral("Rien"), QRectF(19.6, 10.2, 160.3, 99.8));
    second.end();
    QCOMPARE(byRectF, byRect);
}

void tst_DrawUtils::roundedShapeCorners_data()
{
    QTest::addColumn<QVector<int>>("radii");
    QTest::addColumn<QPoint>("roundCorner");
    QTest::newRow("top-left") << QVector<int>{10, 0, 0, 0} << QPoint(1, 1);
    QTest::newRow("top-right") << QVector<int>{0, 10, 0, 0} << QPoint(58, 1);
    QTest::newRow("bottom-right") << QVector<int>{0, 0, 10, 0} << QPoint(58, 38);
    QTest::newRow("bottom-left") << QVector<int>{0, 0, 0, 10} << QPoint(1, 38);
}

void tst_DrawUtils::roundedShapeCorners()
{
    QFETCH(QVector<int>, radii);
    QFETCH(QPoint, roundCorner);
    const QPainterPath path = DrawUtils::makePathRoundedShape(QRectF(20, 10, 60, 40), radii[0], radii[1], radii[2], radii[3]);
    QCOMPARE(path.boundingRect(), QRectF(20, 10, 60, 40));

    QImage image = canvas(100, 60, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, Qt::blue);
    painter.end();

    const QPoint origin(20, 10);
    for (const QPoint& corner : {QPoint(1, 1), QPoint(58, 1), QPoint(58, 38), QPoint(1, 38)}) {
        const int alpha = image.pixelColor(origin + corner).alpha();
        if (corner == roundCorner)
            QCOMPARE(alpha, 0);
        else
            QCOMPARE(alpha, 255);
    }
    QCOMPARE(image.pixelColor(origin + QPoint(30, 20)).alpha(), 255);
    QCOMPARE(image.pixelColor(QPoint(10, 20)).alpha(), 0);
}

void tst_DrawUtils::roundedShapeRadiusLimited()
{
    // 100x40 with a top-left radius of 30: limited to 20 (half the height).
    const QPainterPath path = DrawUtils::makePathRoundedShape(QRectF(0, 0, 100, 40), 30, 0, 0, 0);
    QCOMPARE(path, DrawUtils::makePathRoundedShape(QRectF(0, 0, 100, 40), 20, 0, 0, 0));
    QImage image = canvas(100, 40, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, Qt::blue);
    painter.end();
    QCOMPARE(image.pixelColor(4, 4).alpha(), 0);     // outside a radius of 20 around (20,20)
    QCOMPARE(image.pixelColor(8, 8).alpha(), 255);   // inside it (outside a radius of 30)
    QCOMPARE(image.pixelColor(1, 20).alpha(), 255);
}

void tst_DrawUtils::roundedShapeVector_data()
{
    QTest::addColumn<QVector<int>>("radii");
    QTest::addColumn<QVector<int>>("four");
    QTest::newRow("empty") << QVector<int>{} << QVector<int>{0, 0, 0, 0};
    QTest::newRow("one for all") << QVector<int>{7} << QVector<int>{7, 7, 7, 7};
    QTest::newRow("two") << QVector<int>{5, 6} << QVector<int>{5, 6, 0, 0};
    QTest::newRow("three") << QVector<int>{5, 6, 8} << QVector<int>{5, 6, 8, 0};
    QTest::newRow("five") << QVector<int>{1, 2, 3, 4, 5} << QVector<int>{1, 2, 3, 4};
}

void tst_DrawUtils::roundedShapeVector()
{
    QFETCH(QVector<int>, radii);
    QFETCH(QVector<int>, four);
    const QRectF rect(3, 4, 50, 30);
    QCOMPARE(DrawUtils::makePathRoundedShape(rect, radii),
             DrawUtils::makePathRoundedShape(rect, four[0], four[1], four[2], four[3]));
}

void tst_DrawUtils::roundedShapeNegativeRadius()
{
    LogCapture logs;
    const QPainterPath path = DrawUtils::makePathRoundedShape(QRectF(0, 0, 40, 40), -5, 0, 0, 0);
    QVERIFY(logs.has(Logwell::LogCritical, "DrawUtils::makePathRoundedShape", "negative radius"));
    QCOMPARE(path, DrawUtils::makePathRoundedShape(QRectF(0, 0, 40, 40), 0, 0, 0, 0));
}

void tst_DrawUtils::widgetColors()
{
    QLabel label(QStringLiteral("MMMM"));
    label.resize(80, 30);
    DrawUtils::setBootstrapColor(&label, ColorUtils::NotificationError);
    QVERIFY(label.autoFillBackground());
    QCOMPARE(label.palette().color(QPalette::Button), QColor("#FFBABA"));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        QCOMPARE(label.palette().color(role), QColor("#D8000C"));

    const QImage shot = label.grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QColor("#FFBABA"));
    QVERIFY(!pixelsOfColor(shot, QColor("#D8000C").rgb()).isEmpty());
}

void tst_DrawUtils::widgetColorsNullWidget()
{
    LogCapture logs;
    DrawUtils::setWidgetColorBackground(nullptr, Qt::red);
    DrawUtils::setWidgetColorText(nullptr, Qt::red);
    DrawUtils::setBootstrapColor(nullptr, ColorUtils::NotificationInfo);
    QCOMPARE(logs.count(), 0);
}

void tst_DrawUtils::widgetFont()
{
    QLabel label;
    DrawUtils::setWidgetTextBold(&label, true);
    DrawUtils::setWidgetTextPixelSize(&label, 23);
    QVERIFY(label.font().bold());
    QCOMPARE(label.font().pixelSize(), 23);
    DrawUtils::setWidgetTextBold(&label, false);
    QVERIFY(!label.font().bold());

    LogCapture logs;
    DrawUtils::setWidgetTextPixelSize(&label, 0);
    QCOMPARE(label.font().pixelSize(), 23);
    QVERIFY(logs.has(Logwell::LogCritical, "DrawUtils::setWidgetTextPixelSize", "below 1"));
    DrawUtils::setWidgetTextBold(nullptr, true);
    DrawUtils::setWidgetTextPixelSize(nullptr, 12);
    QVERIFY(logs.has(Logwell::LogCritical, "DrawUtils::setWidgetTextBold", "null widget"));
    QVERIFY(logs.has(Logwell::LogCritical, "DrawUtils::setWidgetTextPixelSize", "null widget"));
}

void tst_DrawUtils::nullPainter()
{
    LogCapture logs;
    DrawUtils::drawInformativeMessage(nullptr, nullptr, QStringLiteral("x"), QRect(0, 0, 10, 10));
    DrawUtils::drawSmoothPixmap(nullptr, QRect(0, 0, 10, 10), markerTile(4));
    DrawUtils::drawTiledPixmap(nullptr, markerTile(4), QRect(), QRect(0, 0, 10, 10), true, true);
    DrawUtils::drawUndefinedRectOblique(nullptr, QRect(0, 0, 10, 10));
    DrawUtils::drawUndefinedRectStraight(nullptr, QRect(0, 0, 10, 10), true);
    for (const char* function : {"DrawUtils::drawInformativeMessage", "DrawUtils::drawSmoothPixmap",
                                 "DrawUtils::drawTiledPixmap", "DrawUtils::drawUndefinedRectOblique",
                                 "DrawUtils::drawUndefinedRectStraight"})
        QVERIFY2(logs.has(Logwell::LogCritical, function, "null painter"), qPrintable(logs.dump()));
}

QTEST_MAIN(tst_DrawUtils)
#include "tst_drawutils.moc"
