#include <LogCapture.h>
#include <MetaObjectUtils.h>

#include <QSignalSpy>
#include <QtTest>

class Probe : public QObject
{
    Q_OBJECT
public:
    int refreshed = 0;
    bool ready = true;
    QString text;

signals:
    void changed();

public slots:
    void refresh() { ++refreshed; }
    bool isReady() const { return ready; }
    void setText(const QString& value) { text = value; }
};

class tst_MetaObjectUtils : public QObject
{
    Q_OBJECT
private slots:
    void invokeSignalOrSlot_data();
    void invokeSignalOrSlot();
    void invokeSignal();
    void invokeSlotReturningBoolean_data();
    void invokeSlotReturningBoolean();
    void hasMethod_data();
    void hasMethod();
    void nullArguments();
};

void tst_MetaObjectUtils::invokeSignalOrSlot_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("logged");
    QTest::newRow("bare name") << "refresh" << true << "";
    QTest::newRow("slot macro text") << "1refresh()" << true << "";
    QTest::newRow("spaces") << " re fresh " << true << "";
    QTest::newRow("slot macro text with spaces") << "1 refresh ( )" << true << "";
    QTest::newRow("signature without prefix") << "refresh()" << false << "refresh()";
    QTest::newRow("unknown") << "reload" << false << "reload";
}

void tst_MetaObjectUtils::invokeSignalOrSlot()
{
    QFETCH(QString, name);
    QFETCH(bool, ok);
    QFETCH(QString, logged);
    Probe probe;
    LogCapture logs;
    QCOMPARE(MetaObjectUtils::invokeSignalOrSlot(&probe, name), ok);
    QCOMPARE(MetaObjectUtils::invokeSignalOrSlot(&probe, name.toLatin1().constData()), ok);
    QCOMPARE(probe.refreshed, ok ? 2 : 0);
    if (ok) {
        QCOMPARE(logs.count(), 0);
    } else {
        const QString address = QString::asprintf("%p", static_cast<void*>(&probe));
        QVERIFY2(logs.has(Logwell::LogCritical, "MetaObjectUtils::invokeSignalOrSlot",
                          QStringList{"Impossible dinvoquer " + logged + " ", " sur ", address.mid(2)}),
                 qPrintable(logs.dump()));
        QCOMPARE(logs.count(Logwell::LogCritical), 2);
    }
}

void tst_MetaObjectUtils::invokeSignal()
{
    Probe probe;
    QSignalSpy spy(&probe, &Probe::changed);
    QVERIFY(MetaObjectUtils::invokeSignalOrSlot(&probe, SIGNAL(changed())));
    QVERIFY(MetaObjectUtils::invokeSignalOrSlot(&probe, QStringLiteral("changed")));
    QCOMPARE(spy.count(), 2);
    QVERIFY(MetaObjectUtils::invokeSignalOrSlot(&probe, SLOT(deleteLater())));
}

void tst_MetaObjectUtils::invokeSlotReturningBoolean_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("ok");
    QTest::newRow("bare name, true") << "isReady" << true << true;
    QTest::newRow("bare name, false") << "isReady" << false << true;
    QTest::newRow("slot macro text") << "1isReady()" << true << true;
    QTest::newRow("spaces") << " is Ready" << false << true;
    QTest::newRow("signature without prefix") << "isReady()" << true << false;
    QTest::newRow("signal macro text keeps its 2") << "2changed()" << true << false;
    QTest::newRow("slot returning nothing") << "refresh" << true << false;
}

void tst_MetaObjectUtils::invokeSlotReturningBoolean()
{
    QFETCH(QString, name);
    QFETCH(bool, ready);
    QFETCH(bool, ok);
    Probe probe;
    probe.ready = ready;
    // A value the call cannot give, to see whether it was written.
    bool result = !ready;
    LogCapture logs;
    QCOMPARE(MetaObjectUtils::invokeSlotReturningBoolean(&probe, name, result), ok);
    QCOMPARE(result, ok ? ready : !ready);
    QCOMPARE(probe.refreshed, 0);
    QCOMPARE(logs.has(Logwell::LogCritical, "MetaObjectUtils::invokeSlotReturningBoolean",
                      QStringList{"Impossible dinvoquer", " sur "}),
             !ok);
}

void tst_MetaObjectUtils::hasMethod_data()
{
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<bool>("found");
    QTest::newRow("inherited slot") << QByteArray("deleteLater()") << true;
    QTest::newRow("bare name") << QByteArray("deleteLater") << false;
    QTest::newRow("slot macro text") << QByteArray(SLOT(deleteLater())) << true;
    QTest::newRow("signal macro text") << QByteArray(SIGNAL(changed())) << true;
    QTest::newRow("spaces") << QByteArray(" refresh ( ) ") << true;
    QTest::newRow("own slot") << QByteArray("isReady()") << true;
    QTest::newRow("normal form of an argument") << QByteArray("setText(QString)") << true;
    QTest::newRow("const reference argument") << QByteArray("setText(const QString &)") << true;
    QTest::newRow("slot macro with const reference") << QByteArray(SLOT(setText(const QString&))) << true;
    QTest::newRow("wrong arguments") << QByteArray("setText(int)") << false;
    QTest::newRow("unknown") << QByteArray("reload()") << false;
    QTest::newRow("empty") << QByteArray("") << false;
}

void tst_MetaObjectUtils::hasMethod()
{
    QFETCH(QByteArray, signature);
    QFETCH(bool, found);
    Probe probe;
    LogCapture logs;
    QCOMPARE(MetaObjectUtils::hasMethod(&probe, signature.constData()), found);
    QCOMPARE(logs.count(), 0);
}

void tst_MetaObjectUtils::nullArguments()
{
    LogCapture logs;
    Probe probe;
    QVERIFY(!MetaObjectUtils::hasMethod(nullptr, "deleteLater()"));
    QVERIFY(!MetaObjectUtils::hasMethod(&probe, nullptr));
    QCOMPARE(logs.count(), 0);

    QVERIFY(!MetaObjectUtils::invokeSignalOrSlot(nullptr, QStringLiteral("refresh")));
    QVERIFY(logs.has(Logwell::LogCritical, "MetaObjectUtils::invokeSignalOrSlot", QStringList{"Impossible dinvoquer refresh ", " sur 0x0"}));
    QVERIFY(!MetaObjectUtils::invokeSignalOrSlot(&probe, static_cast<const char*>(nullptr)));
    QVERIFY(logs.has(Logwell::LogCritical, "MetaObjectUtils::invokeSignalOrSlot", "null name"));
    bool result = true;
    QVERIFY(!MetaObjectUtils::invokeSlotReturningBoolean(nullptr, QStringLiteral("isReady"), result));
    QVERIFY(result);
    QVERIFY(logs.has(Logwell::LogCritical, "MetaObjectUtils::invokeSlotReturningBoolean", QStringList{"Impossible dinvoquer isReady ", " sur 0x0"}));
}

QTEST_GUILESS_MAIN(tst_MetaObjectUtils)
#include "tst_metaobjectutils.moc"
