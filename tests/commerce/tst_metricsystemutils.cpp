#include <LogCapture.h>
#include <MetricSystemUtils.h>

#include <QtTest>

class tst_MetricSystemUtils : public QObject
{
    Q_OBJECT
private slots:
    void symbol_data();
    void symbol();
    void metaObject();
};

void tst_MetricSystemUtils::symbol_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("system");
    QTest::addColumn<int>("display");
    QTest::addColumn<QString>("expected");
    QTest::newRow("length") << 0 << 0 << 0 << "m";
    QTest::newRow("weight") << 1 << 0 << 0 << "Kg";
    QTest::newRow("distance") << 2 << 0 << 0 << "Km";
    QTest::newRow("type 3") << 3 << 0 << 0 << "";
    QTest::newRow("type -1") << -1 << 0 << 0 << "";
    for (int type = 0; type < 3; ++type) {
        QTest::addRow("type %d, system 1", type) << type << 1 << 0 << "";
        QTest::addRow("type %d, display 1", type) << type << 0 << 1 << "";
        QTest::addRow("type %d, system -1", type) << type << -1 << 0 << "";
    }
}

void tst_MetricSystemUtils::symbol()
{
    QFETCH(int, type);
    QFETCH(int, system);
    QFETCH(int, display);
    QFETCH(QString, expected);
    LogCapture logs;
    const QString symbol = MetricSystemUtils::symbol(MetricSystemUtils::TypeGrandeur(type),
                                                     MetricSystemUtils::SystemMetric(system),
                                                     MetricSystemUtils::Display(display));
    QCOMPARE(symbol, expected);
    QCOMPARE(logs.count(), 0);
}

void tst_MetricSystemUtils::metaObject()
{
    MetricSystemUtils utils;
    QCOMPARE(utils.metaObject()->className(), "MetricSystemUtils");
    QCOMPARE(utils.metaObject()->enumeratorCount(), 0);
    QObject parent;
    auto* child = new MetricSystemUtils(&parent);
    QCOMPARE(child->parent(), &parent);
}

QTEST_GUILESS_MAIN(tst_MetricSystemUtils)
#include "tst_metricsystemutils.moc"
