#include <FlagsUtils.h>
#include <LogCapture.h>
#include <MathUtils.h>
#include <TypeUtils.h>

#include <QtTest>

#include <climits>

class tst_RuntimeHelpers : public QObject
{
    Q_OBJECT
private slots:
    void randomStaysInRange_data();
    void randomStaysInRange();
    void randomReachesUpperPartOfWideRanges();
    void randomWithBoundsReversed();
    void randomTriggerOneIn();
    void randomTriggerMisuse_data();
    void randomTriggerMisuse();
    void counterTriggerOneIn_data();
    void counterTriggerOneIn();
    void typeName_data();
    void typeName();
    void setFlag();
};

void tst_RuntimeHelpers::randomStaysInRange_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::newRow("5..5") << 5 << 5;
    QTest::newRow("0..9") << 0 << 9;
    QTest::newRow("-3..3") << -3 << 3;
    QTest::newRow("0..INT_MAX") << 0 << INT_MAX;
    QTest::newRow("INT_MIN..INT_MAX") << INT_MIN << INT_MAX;
    QTest::newRow("INT_MIN..INT_MIN") << INT_MIN << INT_MIN;
    QTest::newRow("INT_MAX-1..INT_MAX") << INT_MAX - 1 << INT_MAX;
}

void tst_RuntimeHelpers::randomStaysInRange()
{
    QFETCH(int, min);
    QFETCH(int, max);
    LogCapture logs;
    for (int i = 0; i < 2000; ++i) {
        const int value = MathUtils::random(min, max);
        QVERIFY2(value >= min && value <= max, qPrintable(QString::number(value)));
    }
    QCOMPARE(logs.count(), 0);
}

void tst_RuntimeHelpers::randomReachesUpperPartOfWideRanges()
{
    // The platform's generator gives 31 bits; both halves of a 32-bit range must come out.
    bool low = false, high = false, negative = false;
    for (int i = 0; i < 2000; ++i) {
        const int wide = MathUtils::random(INT_MIN, INT_MAX);
        negative = negative || wide < 0;
        high = high || wide > INT_MAX / 2;
        low = low || MathUtils::random(0, 9) == 0;
    }
    QVERIFY(low && high && negative);
    QSet<int> seen;
    for (int i = 0; i < 500; ++i)
        seen.insert(MathUtils::random(0, 9));
    QCOMPARE(seen.size(), 10);
}

void tst_RuntimeHelpers::randomWithBoundsReversed()
{
    LogCapture logs;
    for (int i = 0; i < 200; ++i) {
        const int value = MathUtils::random(9, 3);
        QVERIFY(value >= 3 && value <= 9);
    }
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("MathUtils::random"), QStringLiteral("bad usage!!")));
}

void tst_RuntimeHelpers::randomTriggerOneIn()
{
    LogCapture logs;
    for (int i = 0; i < 100; ++i)
        QVERIFY(MathUtils::randomTriggerOneIn(1));
    int hits = 0;
    for (int i = 0; i < 4000; ++i)
        hits += MathUtils::randomTriggerOneIn(4) ? 1 : 0;
    QVERIFY2(hits > 700 && hits < 1300, qPrintable(QString::number(hits))); // about 1000
    QCOMPARE(logs.count(), 0);
}

void tst_RuntimeHelpers::randomTriggerMisuse_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("zero") << 0;
    QTest::newRow("minus four") << -4;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void tst_RuntimeHelpers::randomTriggerMisuse()
{
    QFETCH(int, n);
    LogCapture logs;
    int hits = 0;
    for (int i = 0; i < 4000; ++i)
        hits += MathUtils::randomTriggerOneIn(n) ? 1 : 0;
    QCOMPARE(logs.count(Logwell::LogCritical), 4000);
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("MathUtils::randomTriggerOneIn"), QStringLiteral("bad usage!!")));
    if (n == 0)
        QCOMPARE(hits, 4000); // no divisor: fires every time, like a trigger of one in one
    else if (n == -4)
        QVERIFY2(hits > 700 && hits < 1300, qPrintable(QString::number(hits)));
}

void tst_RuntimeHelpers::counterTriggerOneIn_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("3") << 3 << "FFTFFT";
    QTest::newRow("1") << 1 << "TTTT";
    QTest::newRow("0") << 0 << "TTTT";
    QTest::newRow("-2") << -2 << "TTT";
    QTest::newRow("2") << 2 << "FTFTFT";
}

void tst_RuntimeHelpers::counterTriggerOneIn()
{
    QFETCH(int, n);
    QFETCH(QString, pattern);
    int counter = 0;
    QString result;
    for (int i = 0; i < pattern.size(); ++i)
        result += MathUtils::counterTriggerOneIn(n, counter) ? QLatin1Char('T') : QLatin1Char('F');
    QCOMPARE(result, pattern);
}

void tst_RuntimeHelpers::typeName_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("class pointer") << QByteArray("class Thread *") << "Thread*";
    QTest::newRow("int") << QByteArray("int") << "int";
    QTest::newRow("struct") << QByteArray("struct QPoint") << "struct QPoint";
    QTest::newRow("template") << QByteArray("class QList<class QString *>") << "QList<QString*>";
    QTest::newRow("case sensitive") << QByteArray("Class X *") << "Class X*";
}

void tst_RuntimeHelpers::typeName()
{
    QFETCH(QByteArray, raw);
    QTEST(TypeUtils::name(raw.constData()), "expected");
    LogCapture logs;
    QVERIFY(TypeUtils::name(nullptr).isEmpty());
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("TypeUtils::name")));
}

void tst_RuntimeHelpers::setFlag()
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    FlagsUtils::setFlag(flags, Qt::ItemIsEditable, true);
    QCOMPARE(flags, Qt::ItemIsEnabled | Qt::ItemIsEditable);
    FlagsUtils::setFlag(flags, Qt::ItemIsEditable, true);
    QCOMPARE(flags, Qt::ItemIsEnabled | Qt::ItemIsEditable);
    FlagsUtils::setFlag(flags, Qt::ItemIsEnabled, false);
    QCOMPARE(flags, Qt::ItemFlags(Qt::ItemIsEditable));
    FlagsUtils::setFlag(flags, Qt::ItemIsSelectable, false);
    QCOMPARE(flags, Qt::ItemFlags(Qt::ItemIsEditable));
}

QTEST_APPLESS_MAIN(tst_RuntimeHelpers)
#include "tst_runtimehelpers.moc"
