#include <EventUtils.h>
#include <LogCapture.h>

#include <QKeyEvent>
#include <QKeySequence>
#include <QtTest>

class tst_EventUtils : public QObject
{
    Q_OBJECT
private slots:
    void matchKeyDelete_data();
    void matchKeyDelete();
    void platformDeleteSequences();
    void nullEvent();
};

void tst_EventUtils::matchKeyDelete_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("match");
    QTest::newRow("Delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << true;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << true;
    QTest::newRow("Shift+Backspace") << int(Qt::Key_Backspace) << int(Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Backspace") << int(Qt::Key_Backspace) << int(Qt::ControlModifier) << false;
    QTest::newRow("A") << int(Qt::Key_A) << int(Qt::NoModifier) << false;
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << false;
}

void tst_EventUtils::matchKeyDelete()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, match);
    QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(EventUtils::match_KeyDelete(&event), match);
}

void tst_EventUtils::platformDeleteSequences()
{
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(QKeySequence::Delete);
    QVERIFY(!bindings.isEmpty());
    for (const QKeySequence& sequence : bindings) {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        const int combined = sequence[0];
#else
        const int combined = sequence[0].toCombined();
#endif
        QKeyEvent event(QEvent::KeyPress, combined & ~int(Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(combined & int(Qt::KeyboardModifierMask)));
        QVERIFY2(EventUtils::match_KeyDelete(&event), qPrintable(sequence.toString()));
    }
}

void tst_EventUtils::nullEvent()
{
    LogCapture logs;
    QVERIFY(!EventUtils::match_KeyDelete(nullptr));
    QVERIFY(logs.has(Logwell::LogCritical, "EventUtils::match_KeyDelete", "null event"));
}

QTEST_MAIN(tst_EventUtils)
#include "tst_eventutils.moc"
