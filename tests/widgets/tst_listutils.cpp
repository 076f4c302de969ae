#include <ListUtils.h>
#include <LogCapture.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class tst_ListUtils : public QObject
{
    Q_OBJECT
private slots:
    void allObjectInherits_data();
    void allObjectInherits();
    void allObjectIsSameClass_data();
    void allObjectIsSameClass();
    void nullArguments();

private:
    QLabel mLabel;
    QLabel mOtherLabel;
    QPushButton mButton;
    QTimer mTimer;
};

void tst_ListUtils::allObjectInherits_data()
{
    QTest::addColumn<QList<QObject*>>("objects");
    QTest::addColumn<QString>("className");
    QTest::addColumn<bool>("inherits");
    QTest::newRow("empty") << QList<QObject*>{} << "QObject" << false;
    QTest::newRow("one label is a QWidget") << QList<QObject*>{&mLabel} << "QWidget" << true;
    QTest::newRow("one label is no QTimer") << QList<QObject*>{&mLabel} << "QTimer" << false;
    QTest::newRow("label and button are QWidgets") << QList<QObject*>{&mLabel, &mButton} << "QWidget" << true;
    QTest::newRow("label and button are not both QLabels") << QList<QObject*>{&mLabel, &mButton} << "QLabel" << false;
    QTest::newRow("timer among widgets") << QList<QObject*>{&mLabel, &mTimer, &mButton} << "QWidget" << false;
    QTest::newRow("all are QObjects") << QList<QObject*>{&mLabel, &mTimer, &mButton} << "QObject" << true;
}

void tst_ListUtils::allObjectInherits()
{
    QFETCH(QList<QObject*>, objects);
    QFETCH(QString, className);
    QFETCH(bool, inherits);
    QCOMPARE(ListUtils::allObjectInherits(objects, className.toLatin1().constData()), inherits);
}

void tst_ListUtils::allObjectIsSameClass_data()
{
    QTest::addColumn<QList<QObject*>>("objects");
    QTest::addColumn<bool>("same");
    QTest::newRow("empty") << QList<QObject*>{} << false;
    QTest::newRow("one") << QList<QObject*>{&mTimer} << true;
    QTest::newRow("two labels") << QList<QObject*>{&mLabel, &mOtherLabel} << true;
    QTest::newRow("label and button") << QList<QObject*>{&mLabel, &mOtherLabel, &mButton} << false;
}

void tst_ListUtils::allObjectIsSameClass()
{
    QFETCH(QList<QObject*>, objects);
    QFETCH(bool, same);
    QCOMPARE(ListUtils::allObjectIsSameClass(objects), same);
}

void tst_ListUtils::nullArguments()
{
    LogCapture logs;
    QVERIFY(!ListUtils::allObjectInherits({&mLabel}, nullptr));
    QVERIFY(logs.has(Logwell::LogCritical, "ListUtils::allObjectInherits", "null class name"));
    QVERIFY(!ListUtils::allObjectInherits({&mLabel, nullptr}, "QObject"));
    QVERIFY(logs.has(Logwell::LogCritical, "ListUtils::allObjectInherits", "null object"));
    QVERIFY(!ListUtils::allObjectIsSameClass({nullptr}));
    QVERIFY(!ListUtils::allObjectIsSameClass({&mLabel, nullptr}));
    QVERIFY(logs.has(Logwell::LogCritical, "ListUtils::allObjectIsSameClass", "null object"));
}

QTEST_MAIN(tst_ListUtils)
#include "tst_listutils.moc"
