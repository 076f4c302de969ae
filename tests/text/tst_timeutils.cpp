#include <TimeUtils.h>

#include <QtTest>

class tst_TimeUtils : public QObject
{
    Q_OBJECT

private slots:
    void msecToString_data();
    void msecToString();
};

void tst_TimeUtils::msecToString_data()
{
    QTest::addColumn<qint64>("msec");
    QTest::addColumn<int>("precision");
    QTest::addColumn<QString>("expected");
    const int day = TimeUtils::DayPrecision;
    const int hour = TimeUtils::HourPrecision;
    const int minute = TimeUtils::MinutePrecision;
    const int second = TimeUtils::SecondPrecision;
    QTest::newRow("all pieces") << qint64(90061001) << second << "1j 1h 1mn 1sec";
    QTest::newRow("hours") << qint64(90061001) << hour << "1j 1h";
    QTest::newRow("days") << qint64(90061001) << day << "1j";
    QTest::newRow("below a minute at minutes") << qint64(59000) << minute << "";
    QTest::newRow("precision below days") << qint64(90061001) << 3 << "";
    QTest::newRow("precision above seconds") << qint64(90061001) << 9 << "1j 1h 1mn 1sec";
    QTest::newRow("zero pieces skipped") << qint64(86400000 + 60000) << second << "1j 1mn";
    QTest::newRow("negative") << qint64(-90061001) << second << "";
    QTest::newRow("zero") << qint64(0) << second << "";
    // Sub-second remainder in full, only while no minute is shown.
    QTest::newRow("seconds and ms") << qint64(1500) << second << "1sec 500ms";
    QTest::newRow("ms only") << qint64(42) << second << "42ms";
    QTest::newRow("ms hidden with minutes") << qint64(61500) << second << "1mn 1sec";
    QTest::newRow("ms hidden at minutes") << qint64(1500) << minute << "";
}

void tst_TimeUtils::msecToString()
{
    QFETCH(qint64, msec);
    QFETCH(int, precision);
    QFETCH(QString, expected);
    QCOMPARE(TimeUtils::msecToString(msec, TimeUtils::TimePrecision(precision)), expected);
}

QTEST_GUILESS_MAIN(tst_TimeUtils)
#include "tst_timeutils.moc"
