#include <ColorUtils.h>

#include <QtTest>

class tst_ColorUtils : public QObject
{
    Q_OBJECT
private slots:
    void notificationColors_data();
    void notificationColors();
    void colorFromCss_data();
    void colorFromCss();
    void colorToCss_data();
    void colorToCss();
    void grayColor_data();
    void grayColor();
    void randomColorIsOpaqueBelow255();
};

void tst_ColorUtils::notificationColors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    QTest::newRow("info") << 0 << QColor("#BDE5F8") << QColor("#00529B");
    QTest::newRow("success") << 1 << QColor("#DFF2BF") << QColor("#4F8A10");
    QTest::newRow("warning") << 2 << QColor("#FEEFB3") << QColor("#9F6000");
    QTest::newRow("error") << 3 << QColor("#FFBABA") << QColor("#D8000C");
    QTest::newRow("unknown 7") << 7 << QColor(Qt::black) << QColor(Qt::black);
    QTest::newRow("unknown -1") << -1 << QColor(Qt::black) << QColor(Qt::black);
}

void tst_ColorUtils::notificationColors()
{
    QFETCH(int, type);
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    const auto kind = ColorUtils::NotificationType(type);
    QCOMPARE(ColorUtils::bootstrapColorBackground(kind), background);
    QCOMPARE(ColorUtils::bootstrapColorText(kind), text);
}

void tst_ColorUtils::colorFromCss_data()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::addColumn<double>("alpha");
    QTest::newRow("rgba") << "rgba(10,20,30,0.5)" << true << 10 << 20 << 30 << 0.5;
    QTest::newRow("RGBA upper case") << "RGBA(10,20,30,1)" << true << 10 << 20 << 30 << 1.0;
    QTest::newRow("rgba with spaces") << "rgba(10, 20, 30, 0.25)" << true << 10 << 20 << 30 << 0.25;
    QTest::newRow("RGB upper case") << "RGB(1,2,3)" << true << 1 << 2 << 3 << 1.0;
    QTest::newRow("rgb") << "rgb(255,128,0)" << true << 255 << 128 << 0 << 1.0;
    QTest::newRow("rgba with three parts falls to a name") << "rgba(1,2,3)" << false << 0 << 0 << 0 << 0.0;
    QTest::newRow("rgb with four parts falls to a name") << "rgb(1,2,3,4)" << false << 0 << 0 << 0 << 0.0;
    QTest::newRow("rgba without closing parenthesis") << "rgba(1,2,3,0.5" << false << 0 << 0 << 0 << 0.0;
    QTest::newRow("hex") << "#ff0000" << true << 255 << 0 << 0 << 1.0;
    QTest::newRow("name") << "blue" << true << 0 << 0 << 255 << 1.0;
    QTest::newRow("unknown name") << "notacolour" << false << 0 << 0 << 0 << 0.0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0.0;
}

void tst_ColorUtils::colorFromCss()
{
    QFETCH(QString, css);
    QFETCH(bool, valid);
    const QColor color = ColorUtils::colorFromCss(css);
    QCOMPARE(color.isValid(), valid);
    if (!valid)
        return;
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    QFETCH(double, alpha);
    QCOMPARE(color.red(), red);
    QCOMPARE(color.green(), green);
    QCOMPARE(color.blue(), blue);
    QVERIFY2(qAbs(color.alphaF() - alpha) < 0.01, qPrintable(QString::number(color.alphaF())));
}

void tst_ColorUtils::colorToCss_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("css");
    QTest::newRow("opaque red") << QColor(255, 0, 0) << "#ff0000";
    QTest::newRow("opaque from a name") << QColor("#BDE5F8") << "#bde5f8";
    QTest::newRow("red at alpha 128") << QColor(255, 0, 0, 128) << "rgba(255,0,0,0.501961)";
    QTest::newRow("transparent") << QColor(1, 2, 3, 0) << "rgba(1,2,3,0)";
}

void tst_ColorUtils::colorToCss()
{
    QFETCH(QColor, color);
    QFETCH(QString, css);
    QCOMPARE(ColorUtils::colorToCss(color), css);
    // Read back to the same colour.
    QCOMPARE(ColorUtils::colorFromCss(css).rgba(), color.rgba());
}

void tst_ColorUtils::grayColor_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("gray");
    QTest::newRow("red") << QColor(255, 0, 0) << 87;
    QTest::newRow("green") << QColor(0, 255, 0) << 127;
    QTest::newRow("blue") << QColor(0, 0, 255) << 39;
    QTest::newRow("white") << QColor(255, 255, 255) << 255;
    QTest::newRow("translucent red") << QColor(255, 0, 0, 100) << 87;
}

void tst_ColorUtils::grayColor()
{
    QFETCH(QColor, color);
    QFETCH(int, gray);
    const QColor result = ColorUtils::grayColor(color);
    QCOMPARE(result, QColor(gray, gray, gray, color.alpha()));
}

void tst_ColorUtils::randomColorIsOpaqueBelow255()
{
    for (int i = 0; i < 500; ++i) {
        const QColor color = ColorUtils::randomColor();
        QCOMPARE(color.alpha(), 255);
        QVERIFY(color.red() < 255 && color.green() < 255 && color.blue() < 255);
    }
}

QTEST_GUILESS_MAIN(tst_ColorUtils)
#include "tst_colorutils.moc"
