#include <KeyPressCheatCodeDetection.h>
#include <LogCapture.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>

class Receiver : public QObject
{
    Q_OBJECT
public:
    int detected = 0;

public slots:
    void onDetected() { ++detected; }
};

class tst_KeyPressCheatCodeDetection : public QObject
{
    Q_OBJECT
private slots:
    void sequences_data();
    void sequences();
    void otherObjectsIgnored();
    void diesWithWidget();
    void nullArguments();
};

void tst_KeyPressCheatCodeDetection::sequences_data()
{
    // In the typed keys, '^' stands for Shift and '<' for the left arrow.
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("detected");
    QTest::newRow("exact") << "abc" << "abc" << 1;
    QTest::newRow("case ignored") << "abc" << "aBc" << 1;
    QTest::newRow("sequence in capitals") << "ABC" << "abc" << 1;
    QTest::newRow("broken by x") << "abc" << "axbc" << 0;
    QTest::newRow("repeated first letter only resets") << "abc" << "aabc" << 0;
    QTest::newRow("twice") << "abc" << "abcabc" << 2;
    QTest::newRow("after a false start") << "abc" << "abxabc" << 1;
    QTest::newRow("shift and arrow keep the match") << "abc" << "a^b<c" << 1;
    QTest::newRow("incomplete") << "abc" << "ab" << 0;
    QTest::newRow("empty sequence") << "" << "abc" << 0;
    QTest::newRow("digits and signs") << "4-2" << "x4-2" << 1;
}

void tst_KeyPressCheatCodeDetection::sequences()
{
    QFETCH(QString, sequence);
    QFETCH(QString, keys);
    QFETCH(int, detected);

    QLineEdit edit;
    Receiver receiver;
    KeyPressCheatCodeDetection::setCheatCode(&edit, sequence, &receiver, SLOT(onDetected()));
    QString letters;
    for (const QChar c : keys) {
        if (c == QLatin1Char('^')) {
            QTest::keyClick(&edit, Qt::Key_Shift);
        } else if (c == QLatin1Char('<')) {
            QTest::keyClick(&edit, Qt::Key_Left);
            QTest::keyClick(&edit, Qt::Key_End);
        } else {
            QTest::keyClick(&edit, c.toLatin1());
            letters.append(c);
        }
    }
    QCOMPARE(receiver.detected, detected);
    // The keys still reach the widget.
    QCOMPARE(edit.text(), letters);
}

void tst_KeyPressCheatCodeDetection::otherObjectsIgnored()
{
    QLineEdit edit;
    QObject other;
    auto* detection = new KeyPressCheatCodeDetection(&edit);
    QCOMPARE(detection->parent(), &edit);
    Receiver receiver;
    KeyPressCheatCodeDetection::setCheatCode(&edit, QStringLiteral("ab"), &receiver, SLOT(onDetected()));
    auto* watching = edit.findChildren<KeyPressCheatCodeDetection*>().last();
    for (const char* text : {"a", "b"}) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString::fromLatin1(text));
        QVERIFY(!watching->eventFilter(&other, &event));
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QVERIFY(!watching->eventFilter(&edit, &release));
    QCOMPARE(receiver.detected, 0);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QCOMPARE(receiver.detected, 1);
}

void tst_KeyPressCheatCodeDetection::diesWithWidget()
{
    auto* edit = new QLineEdit;
    Receiver receiver;
    KeyPressCheatCodeDetection::setCheatCode(edit, QStringLiteral("xyz"), &receiver, SLOT(onDetected()));
    QPointer<KeyPressCheatCodeDetection> detection = edit->findChild<KeyPressCheatCodeDetection*>();
    QVERIFY(detection);
    delete edit;
    QVERIFY(detection.isNull());
}

void tst_KeyPressCheatCodeDetection::nullArguments()
{
    LogCapture logs;
    Receiver receiver;
    QLineEdit edit;
    KeyPressCheatCodeDetection::setCheatCode(nullptr, QStringLiteral("ab"), &receiver, SLOT(onDetected()));
    KeyPressCheatCodeDetection::setCheatCode(&edit, QStringLiteral("ab"), nullptr, SLOT(onDetected()));
    KeyPressCheatCodeDetection::setCheatCode(&edit, QStringLiteral("ab"), &receiver, nullptr);
    QCOMPARE(logs.count(Logwell::LogCritical), 3);
    QVERIFY(logs.has(Logwell::LogCritical, "KeyPressCheatCodeDetection::setCheatCode", "null"));
    QVERIFY(edit.findChildren<KeyPressCheatCodeDetection*>().isEmpty());
    KeyPressCheatCodeDetection orphan(nullptr);
    QVERIFY(logs.has(Logwell::LogCritical, "KeyPressCheatCodeDetection::KeyPressCheatCodeDetection", "null watched object"));
}

QTEST_MAIN(tst_KeyPressCheatCodeDetection)
#include "tst_keypresscheatcodedetection.moc"
