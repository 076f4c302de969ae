#include <Errorable.h>
#include <ErrorableCode.h>

#include <QtTest>

class tst_ErrorableCode : public QObject
{
    Q_OBJECT
private slots:
    void defaultValue();
    void validity_data();
    void validity();
    void equalityIgnoresStepsDetailAndText();
    void orderingIsByText_data();
    void orderingIsByText();
    void sameTextIsTheSameMapKey();
    void toString_data();
    void toString();
    void callStepsNE();
    void messagesComeFromErrorable();
};

void tst_ErrorableCode::defaultValue()
{
    const ErrorableCode code;
    QCOMPARE(code.domain(), QStringLiteral("ErrorableCode : N0 ERROR"));
    QCOMPARE(code.code(), -1);
    QVERIFY(code.callSteps().isEmpty());
    QVERIFY(code.detail().isEmpty());
    QVERIFY(code.enumText().isEmpty());
    QVERIFY(!code.isValid());
}

void tst_ErrorableCode::validity_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("valid");
    QTest::newRow("default domain, -1") << "ErrorableCode : N0 ERROR" << -1 << false;
    QTest::newRow("default domain, 0") << "ErrorableCode : N0 ERROR" << 0 << true;
    QTest::newRow("other domain, -1") << "Files" << -1 << true;
    QTest::newRow("other domain, 3") << "Files" << 3 << true;
}

void tst_ErrorableCode::validity()
{
    QFETCH(QString, domain);
    QFETCH(int, number);
    QFETCH(bool, valid);
    ErrorableCode code(domain, number, QStringLiteral("E"), QStringLiteral("detail"));
    code.addCallStep(QStringLiteral("step"));
    QCOMPARE(code.isValid(), valid);
}

void tst_ErrorableCode::equalityIgnoresStepsDetailAndText()
{
    ErrorableCode a(QStringLiteral("D"), 7, QStringLiteral("E1"), QStringLiteral("T1"));
    ErrorableCode b(QStringLiteral("D"), 7, QStringLiteral("E2"), QStringLiteral("T2"));
    b.addCallStep(QStringLiteral("x:1"));
    QVERIFY(a == b);
    QVERIFY(!(a == ErrorableCode(QStringLiteral("D"), 8)));
    QVERIFY(!(a == ErrorableCode(QStringLiteral("d"), 7)));
}

void tst_ErrorableCode::orderingIsByText_data()
{
    QTest::addColumn<QString>("leftDomain");
    QTest::addColumn<int>("leftCode");
    QTest::addColumn<QString>("rightDomain");
    QTest::addColumn<int>("rightCode");
    QTest::addColumn<bool>("less");
    QTest::newRow("10 before 9") << "D" << 10 << "D" << 9 << true;
    QTest::newRow("9 after 10") << "D" << 9 << "D" << 10 << false;
    QTest::newRow("domain first") << "A" << 99 << "B" << 1 << true;
    QTest::newRow("capitals first") << "Z" << 1 << "a" << 1 << true;
    QTest::newRow("negative") << "D" << -1 << "D" << 0 << true;
    QTest::newRow("same text") << "A1" << 0 << "A" << 10 << false;
}

void tst_ErrorableCode::orderingIsByText()
{
    QFETCH(QString, leftDomain);
    QFETCH(int, leftCode);
    QFETCH(QString, rightDomain);
    QFETCH(int, rightCode);
    QFETCH(bool, less);
    QCOMPARE(ErrorableCode(leftDomain, leftCode) < ErrorableCode(rightDomain, rightCode), less);
}

void tst_ErrorableCode::sameTextIsTheSameMapKey()
{
    const ErrorableCode a(QStringLiteral("A1"), 0);
    const ErrorableCode b(QStringLiteral("A"), 10);
    QVERIFY(!(a == b));
    QMap<ErrorableCode, QString> map;
    map.insert(a, QStringLiteral("first"));
    map.insert(b, QStringLiteral("second"));
    QCOMPARE(map.size(), 1);
    QCOMPARE(map.value(a), QStringLiteral("second"));
}

void tst_ErrorableCode::toString_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("withStack");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no stack") << QStringList{"A", "B"} << false << "D:E (#7) (T)";
    QTest::newRow("stack") << QStringList{"A", "B"} << true << "D:E (#7) (T)\n#Call Stack\n=>A\n=>B";
    QTest::newRow("empty stack") << QStringList() << true << "D:E (#7) (T)\n#Call Stack empty";
}

void tst_ErrorableCode::toString()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, withStack);
    ErrorableCode code(QStringLiteral("D"), 7, QStringLiteral("E"), QStringLiteral("T"));
    for (const QString& step : steps)
        code.addCallStep(step);
    QTEST(code.toString(withStack), "expected");
    QCOMPARE(code.callSteps(), steps);
}

void tst_ErrorableCode::callStepsNE()
{
    ErrorableCode code(QStringLiteral("D"), 1);
    code.addCallStepsNE(QStringList());
    QVERIFY(code.callSteps().isEmpty());
    code.addCallStep(QStringLiteral("f:10"));
    code.addCallStepsNE({QStringLiteral("MainWindow"), QStringLiteral("QApplication")});
    QCOMPARE(code.callSteps(), (QStringList{"f:10", "MainWindow (NE)", "QApplication (NE)"}));
    // Percent signs in the fields are not substituted again.
    const ErrorableCode odd(QStringLiteral("%2"), 3, QStringLiteral("%1"), QStringLiteral("%4"));
    QCOMPARE(odd.toString(false), QStringLiteral("%2:%1 (#3) (%4)"));
}

void tst_ErrorableCode::messagesComeFromErrorable()
{
    const ErrorableCode known(QStringLiteral("Msg"), 1, QStringLiteral("KNOWN"));
    const ErrorableCode withText(QStringLiteral("Msg"), 2, QStringLiteral("ENUM_TEXT"));
    const ErrorableCode bare(QStringLiteral("Msg"), 3, QString(), QStringLiteral("d"));
    Errorable::sErrorMessages.insert(known, QStringLiteral("Known message"));
    Errorable::sOverriddenErrorMessage.insert(withText, QStringLiteral("Overridden"));
    QCOMPARE(known.errorMessage(), QStringLiteral("Known message"));
    QCOMPARE(withText.errorMessage(), QStringLiteral("ENUM_TEXT"));
    QCOMPARE(bare.errorMessage(), QStringLiteral("Msg: (#3) (d)"));
    QCOMPARE(known.overriddenErrorMessage(), QStringLiteral("Known message"));
    QCOMPARE(withText.overriddenErrorMessage(), QStringLiteral("Overridden"));
    Errorable::sErrorMessages.clear();
    Errorable::sOverriddenErrorMessage.clear();
}

QTEST_APPLESS_MAIN(tst_ErrorableCode)
#include "tst_errorablecode.moc"
