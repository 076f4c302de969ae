#include <LogCapture.h>
#include <SpeedTestAnalyzer.h>
#include <UnitTestInfo.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

namespace {

// What formatDurationFromMSec gives for any duration: "1h 2mn 3s 4ms ", "" for 0.
bool isDuration(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+h )?(\\d+mn )?(\\d+s )?(\\d+ms )?$"));
    return pattern.match(text).hasMatch();
}

QStringList reportLines(const SpeedTestAnalyzer& probe)
{
    const QString text = probe.toString();
    if (!text.endsWith(QLatin1Char('\n')))
        return QStringList{QStringLiteral("<no final line break>")};
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

} // namespace

class tst_SpeedTestAnalyzer : public QObject
{
    Q_OBJECT
private slots:
    void totalLineOnly();
    void stepsInOrder();
    void disabledRecordsNothing();
    void copyIsIndependent();
    void stepFromTimer();
    void stepFromInvalidTimer();
};

void tst_SpeedTestAnalyzer::totalLineOnly()
{
    const SpeedTestAnalyzer probe(QStringLiteral("Export"));
    QVERIFY(probe.elapsed() >= 0);
    const QStringList lines = reportLines(probe);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(QLatin1String("Export Speed total =")), qPrintable(lines[0]));
    QVERIFY(isDuration(lines[0].mid(20)));
    QVERIFY(isDuration(probe.speedTotalToString()));

    QVERIFY(reportLines(SpeedTestAnalyzer())[0].startsWith(QLatin1String(" Speed total =")));
}

void tst_SpeedTestAnalyzer::stepsInOrder()
{
    SpeedTestAnalyzer probe(QStringLiteral("Export"));
    probe << QStringLiteral("read");
    probe.append(QStringLiteral("write"));
    probe << QString() << QStringLiteral("close");
    const QStringList lines = reportLines(probe);
    QCOMPARE(lines.size(), 5);
    const QStringList names{"read", "write", "", "close"};
    for (int i = 0; i < names.size(); ++i) {
        const QString prefix = names[i] + QLatin1Char(' ');
        QVERIFY2(lines[i + 1].startsWith(prefix), qPrintable(lines[i + 1]));
        QVERIFY2(isDuration(lines[i + 1].mid(prefix.size())), qPrintable(lines[i + 1]));
    }
}

void tst_SpeedTestAnalyzer::disabledRecordsNothing()
{
    SpeedTestAnalyzer probe(QStringLiteral("Probe"));
    probe << QStringLiteral("before");
    probe.setEnabled(false);
    probe << QStringLiteral("hidden");
    probe.append(QStringLiteral("hidden too"));
    QCOMPARE(probe.elapsed(), -1);
    QVERIFY(probe.toString().isEmpty());
    QVERIFY(probe.speedTotalToString().isEmpty());

    probe.setEnabled(true);
    probe << QStringLiteral("after");
    QVERIFY(probe.elapsed() >= 0);
    const QStringList lines = reportLines(probe);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[1].startsWith(QLatin1String("before ")));
    QVERIFY(lines[2].startsWith(QLatin1String("after ")));
}

void tst_SpeedTestAnalyzer::copyIsIndependent()
{
    SpeedTestAnalyzer probe(QStringLiteral("Original"));
    probe << QStringLiteral("one");
    SpeedTestAnalyzer copy(probe);
    copy << QStringLiteral("two");
    QCOMPARE(reportLines(probe).size(), 2);
    QCOMPARE(reportLines(copy).size(), 3);
    QVERIFY(copy.elapsed() >= 0);

    SpeedTestAnalyzer assigned;
    assigned = copy;
    QVERIFY(reportLines(assigned)[0].startsWith(QLatin1String("Original Speed total =")));
    QCOMPARE(reportLines(assigned).size(), 3);
}

void tst_SpeedTestAnalyzer::stepFromTimer()
{
    QElapsedTimer timer;
    timer.start();
    const UnitTestInfo step(QStringLiteral("load"), timer);
    QVERIFY(timer.isValid());
    QVERIFY(step.toString().startsWith(QLatin1String("load ")));
    QVERIFY(isDuration(step.toString().mid(5)));

    const UnitTestInfo copy = step;
    QCOMPARE(copy.toString(), step.toString());
}

void tst_SpeedTestAnalyzer::stepFromInvalidTimer()
{
    LogCapture logs;
    QElapsedTimer timer;
    const UnitTestInfo step(QStringLiteral("load"), timer);
    QVERIFY(logs.has(Logwell::LogCritical, "UnitTestInfo::UnitTestInfo", "timer not started"));
    QCOMPARE(step.toString(), QStringLiteral("load "));
    QVERIFY(timer.isValid());
}

QTEST_GUILESS_MAIN(tst_SpeedTestAnalyzer)
#include "tst_speedtestanalyzer.moc"
