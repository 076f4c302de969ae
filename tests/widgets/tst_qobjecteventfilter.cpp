#include <LogCapture.h>
#include <QObjectEventFilter.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

struct KeySeen {
    QEvent::Type type;
    int key;
    QString text;
    Qt::KeyboardModifiers modifiers;
};

// A line edit that records the key events that reach it.
class RecordingLineEdit : public QLineEdit
{
public:
    QList<KeySeen> keys;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            keys.append({event->type(), key->key(), key->text(), key->modifiers()});
        }
        return QLineEdit::event(event);
    }
};

} // namespace

class tst_QObjectEventFilter : public QObject
{
    Q_OBJECT
private slots:
    void functionDecides();
    void withoutFunctionEventsPass();
    void diesWithWatchedObject();
    void keyReplacement();
    void keyReplacementKeepsModifiers();
    void keyReplacementWhileTyping();
    void keyReplacementRefused_data();
    void keyReplacementRefused();
    void nullWatchedObject();
};

void tst_QObjectEventFilter::functionDecides()
{
    QLineEdit edit;
    int calls = 0;
    QObject* seen = nullptr;
    QObjectEventFilter::filter(&edit, [&](QObject* watched, QEvent* event) {
        ++calls;
        seen = watched;
        return event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->text() == QLatin1String("x");
    });
    QTest::keyClicks(&edit, QStringLiteral("axbx"));
    QCOMPARE(edit.text(), QStringLiteral("ab"));
    QVERIFY(calls >= 8);
    QCOMPARE(seen, &edit);
}

void tst_QObjectEventFilter::withoutFunctionEventsPass()
{
    QLineEdit edit;
    auto* filter = new QObjectEventFilter(&edit);
    QCOMPARE(filter->parent(), &edit);
    QTest::keyClicks(&edit, QStringLiteral("abc"));
    QCOMPARE(edit.text(), QStringLiteral("abc"));
}

void tst_QObjectEventFilter::diesWithWatchedObject()
{
    auto token = std::make_shared<int>(1);
    auto* edit = new QLineEdit;
    QObjectEventFilter::filter(edit, [token](QObject*, QEvent*) { return false; });
    QPointer<QObjectEventFilter> filter = edit->findChild<QObjectEventFilter*>();
    QVERIFY(filter);
    QCOMPARE(token.use_count(), 2L);
    delete edit;
    QVERIFY(filter.isNull());
    QCOMPARE(token.use_count(), 1L);
}

void tst_QObjectEventFilter::keyReplacement()
{
    RecordingLineEdit edit;
    QObjectEventFilter::filter(&edit, QObjectEventFilter::inputKeyReplacement(QStringLiteral(","), QStringLiteral(".")));

    QTest::keyPress(&edit, ',');
    QVERIFY(edit.keys.isEmpty());  // consumed; the replacement is still queued
    QCoreApplication::sendPostedEvents(&edit);
    QTest::keyRelease(&edit, ',');
    QCoreApplication::sendPostedEvents(&edit);
    QCOMPARE(edit.keys.size(), 2);
    QCOMPARE(edit.keys[0].type, QEvent::KeyPress);
    QCOMPARE(edit.keys[1].type, QEvent::KeyRelease);
    for (const KeySeen& key : edit.keys) {
        QCOMPARE(key.key, int(Qt::Key_Period));
        QCOMPARE(key.text, QStringLiteral("."));
    }
    QCOMPARE(edit.text(), QStringLiteral("."));

    // Other keys pass unchanged.
    edit.keys.clear();
    QTest::keyClick(&edit, '7');
    QCoreApplication::sendPostedEvents(&edit);
    QCOMPARE(edit.keys.size(), 2);
    QCOMPARE(edit.keys[0].key, int(Qt::Key_7));
    QCOMPARE(edit.keys[0].text, QStringLiteral("7"));
    QCOMPARE(edit.text(), QStringLiteral(".7"));
}

void tst_QObjectEventFilter::keyReplacementKeepsModifiers()
{
    RecordingLineEdit edit;
    QObjectEventFilter::filter(&edit, QObjectEventFilter::inputKeyReplacement(QStringLiteral(";"), QStringLiteral("::")));
    QTest::keyPress(&edit, ';', Qt::ShiftModifier);
    QCoreApplication::sendPostedEvents(&edit);
    // QTest presses Shift itself first.
    QCOMPARE(edit.keys.size(), 2);
    QCOMPARE(edit.keys[0].key, int(Qt::Key_Shift));
    QCOMPARE(edit.keys[1].key, int(Qt::Key_Period));
    QCOMPARE(edit.keys[1].text, QStringLiteral("::"));
    QCOMPARE(edit.keys[1].modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));
    QCOMPARE(edit.text(), QStringLiteral("::"));
}

void tst_QObjectEventFilter::keyReplacementWhileTyping()
{
    QLineEdit edit;
    QObjectEventFilter::filter(&edit, QObjectEventFilter::inputKeyReplacement(QStringLiteral(","), QStringLiteral(".")));
    for (char c : QByteArray("12,50")) {
        QTest::keyClick(&edit, c);
        QCoreApplication::sendPostedEvents(&edit);
    }
    QCOMPARE(edit.text(), QStringLiteral("12.50"));
}

void tst_QObjectEventFilter::keyReplacementRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("replacement");
    QTest::newRow("empty typed text") << "" << ".";
    QTest::newRow("replacement equal to typed") << "." << ".";
}

void tst_QObjectEventFilter::keyReplacementRefused()
{
    QFETCH(QString, typed);
    QFETCH(QString, replacement);
    LogCapture logs;
    RecordingLineEdit edit;
    QObjectEventFilter::filter(&edit, QObjectEventFilter::inputKeyReplacement(typed, replacement));
    QVERIFY(logs.has(Logwell::LogCritical, "QObjectEventFilter::inputKeyReplacement", "refused"));

    QTest::keyClick(&edit, Qt::Key_Shift);
    QTest::keyClick(&edit, '.');
    QCoreApplication::sendPostedEvents(&edit);
    QCoreApplication::sendPostedEvents(&edit);
    QCOMPARE(edit.keys.size(), 4);
    QCOMPARE(edit.keys[0].key, int(Qt::Key_Shift));
    QCOMPARE(edit.text(), QStringLiteral("."));
}

void tst_QObjectEventFilter::nullWatchedObject()
{
    LogCapture logs;
    QObjectEventFilter::filter(nullptr, [](QObject*, QEvent*) { return true; });
    QVERIFY(logs.has(Logwell::LogCritical, "QObjectEventFilter::filter", "null watched object"));
    QObjectEventFilter orphan(nullptr);
    QVERIFY(logs.has(Logwell::LogCritical, "QObjectEventFilter::QObjectEventFilter", "null watched object"));
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Comma, Qt::NoModifier, QStringLiteral(","));
    QVERIFY(!QObjectEventFilter::inputKeyReplacement(QStringLiteral(","), QStringLiteral("."))(nullptr, &event));
}

QTEST_MAIN(tst_QObjectEventFilter)
#include "tst_qobjecteventfilter.moc"
