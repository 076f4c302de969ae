#include <NetUtils.h>

#include <QtTest>

class tst_NetUtils : public QObject
{
    Q_OBJECT

private slots:
    void expressions();
    void checkEmailAdress_data();
    void checkEmailAdress();
    void emailLengthLimit();
    void emailAddressMultiRx_data();
    void emailAddressMultiRx();
    void webAddress_data();
    void webAddress();
    void mainIpAddress_data();
    void mainIpAddress();
    void mainIpAddressOfThisMachine();
};

void tst_NetUtils::expressions()
{
    const QString single =
        R"(^([\d\w]+([\d\w]*[-._+])*[\d\w]+@[\d\w]+([-.][\d\w]+)*([\d\w]*[.])[\w]{2,12})$)";
    const QString multi =
        R"(^(([\d\w]+([\d\w]*[-._+])*[\d\w]+@[\d\w]+([-.][\d\w]+)*([\d\w]*[.])[\w]{2,12}))(\s*[,;]\s*(([\d\w]+([\d\w]*[-._+])*[\d\w]+@[\d\w]+([-.][\d\w]+)*([\d\w]*[.])[\w]{2,12})))*$)";
    const QString web =
        R"(^(https?:\/\/)%1(([\.\d\w-]+)|((\d{1,3}\.){3}\d{1,3}))(:\d{1,5})?(/[\~\/\w\.-]*)*\/?$)";
    const auto unicode = QRegularExpression::PatternOptions(QRegularExpression::UseUnicodePropertiesOption);

    const QList<QPair<QRegularExpression, QString>> expected = {
        {NetUtils::emailAddressRx(), single},
        {NetUtils::emailAddressMultiRx(), multi},
        {NetUtils::webAddressRx(true), web.arg(QString())},
        {NetUtils::webAddressRx(false), web.arg("?")},
    };
    for (const auto& pair : expected) {
        QCOMPARE(pair.first.pattern(), pair.second);
        QCOMPARE(pair.first.patternOptions(), unicode);
        QVERIFY2(pair.first.isValid(), qPrintable(pair.first.errorString()));
    }
    QCOMPARE(NetUtils::MAX_EMAIL_LENTGH, 254);
}

void tst_NetUtils::checkEmailAdress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("valid");
    QTest::newRow("two-letter local") << "jo@example.com" << true;
    QTest::newRow("dotted local") << "john.doe@example.com" << true;
    QTest::newRow("underscore local") << "john_doe@example.com" << true;
    QTest::newRow("plus local") << "john+tag@example.com" << true;
    QTest::newRow("sub-domain") << "jo@mail.example-shop.co.uk" << true;
    QTest::newRow("one-letter local") << "j@example.com" << false;
    QTest::newRow("local ends with dash") << "john-@example.com" << false;
    QTest::newRow("local ends with dot") << "john.@example.com" << false;
    QTest::newRow("local ends with plus") << "john+@example.com" << false;
    QTest::newRow("local starts with dot") << ".john@example.com" << false;
    QTest::newRow("local starts with underscore") << "_john@example.com" << true; // "_" is a word character
    QTest::newRow("one-letter label") << "jo@example.c" << false;
    QTest::newRow("12-letter label") << "jo@example.abcdefghijkl" << true;
    QTest::newRow("13-letter label") << "jo@example.abcdefghijklm" << false;
    QTest::newRow("accented") << "élodie.müller@société.fr" << true;
    QTest::newRow("no domain point") << "jo@localhost" << false;
    QTest::newRow("leading space") << " jo@example.com" << false;
    QTest::newRow("trailing space") << "jo@example.com " << false;
    QTest::newRow("two at signs") << "jo@ex@example.com" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_NetUtils::checkEmailAdress()
{
    QFETCH(QString, address);
    QFETCH(bool, valid);
    QCOMPARE(NetUtils::checkEmailAdress(address), valid);
}

void tst_NetUtils::emailLengthLimit()
{
    const QString domain = QStringLiteral("@example.com");
    const QString at254 = QString(254 - domain.size(), QLatin1Char('a')) + domain;
    const QString at255 = QLatin1Char('a') + at254;
    QCOMPARE(at254.size(), 254);
    QVERIFY(NetUtils::checkEmailAdress(at254));
    QVERIFY(NetUtils::emailAddressRx().match(at255).hasMatch());
    QVERIFY(!NetUtils::checkEmailAdress(at255));
}

void tst_NetUtils::emailAddressMultiRx_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("valid");
    QTest::newRow("one") << "jo@example.com" << true;
    QTest::newRow("comma and space") << "jo@example.com, ann@example.org" << true;
    QTest::newRow("semicolon") << "jo@example.com;ann@example.org" << true;
    QTest::newRow("three, spaces around") << "jo@example.com ;ann@example.org ,  bo@ex.fr" << true;
    QTest::newRow("space only") << "jo@example.com ann@example.org" << false;
    QTest::newRow("trailing separator") << "jo@example.com, ann@example.org," << false;
    QTest::newRow("one invalid") << "jo@example.com, a@example.org" << false;
}

void tst_NetUtils::emailAddressMultiRx()
{
    QFETCH(QString, list);
    QFETCH(bool, valid);
    QCOMPARE(NetUtils::emailAddressMultiRx().match(list).hasMatch(), valid);
}

void tst_NetUtils::webAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("schemeRequired");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ip, port, slash") << "http://192.168.1.20:8080/" << true << true;
    QTest::newRow("host and page") << "https://shop/en/products/page.html" << true << true;
    QTest::newRow("ip without scheme") << "192.168.1.20:8080/" << true << false;
    QTest::newRow("page without scheme") << "shop/en/products/page.html" << true << false;
    QTest::newRow("query") << "https://www.example.com/page.php?id=3&x=y" << true << false;
    QTest::newRow("fragment") << "https://www.example.com/#top" << true << false;
    QTest::newRow("user") << "https://me@example.com/" << true << false;
    QTest::newRow("space") << "https://www.example.com/a b" << true << false;
    QTest::newRow("ftp") << "ftp://example.com/" << true << false;
    QTest::newRow("six-digit port") << "http://example.com:123456/" << true << false;
    QTest::newRow("optional scheme") << "shop/en/" << false << true;
    QTest::newRow("optional scheme given") << "https://www.example.com/" << false << true;
    QTest::newRow("unicode host") << "https://café.fr/menu" << true << true;
}

void tst_NetUtils::webAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, schemeRequired);
    QFETCH(bool, valid);
    QCOMPARE(NetUtils::webAddressRx(schemeRequired).match(address).hasMatch(), valid);
    if (schemeRequired)
        QCOMPARE(NetUtils::checkInternetAdress(address), valid);
}

void tst_NetUtils::mainIpAddress_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("expected");
    QTest::newRow("loopback and 10.x") << QStringList{"127.0.0.1", "10.0.0.5"} << "";
    QTest::newRow("192 after 10.x") << QStringList{"10.0.0.5", "192.168.1.20"} << "192.168.1.20";
    QTest::newRow("first 192 wins") << QStringList{"192.168.1.20", "192.168.2.1"} << "192.168.1.20";
    QTest::newRow("172.16 never") << QStringList{"172.16.0.2"} << "";
    QTest::newRow("IPv6 skipped") << QStringList{"::1", "fe80::1", "192.0.2.7"} << "192.0.2.7";
    QTest::newRow("none") << QStringList() << "";
}

void tst_NetUtils::mainIpAddress()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, expected);
    QList<QHostAddress> hosts;
    for (const QString& text : addresses)
        hosts << QHostAddress(text);
    QCOMPARE(NetUtils::mainIpAddress(hosts), expected);
}

void tst_NetUtils::mainIpAddressOfThisMachine()
{
    const QString address = NetUtils::mainIpAddress();
    QVERIFY2(address.isEmpty() || (address.startsWith("192") && QHostAddress(address).protocol() == QAbstractSocket::IPv4Protocol),
             qPrintable(address));
}

QTEST_GUILESS_MAIN(tst_NetUtils)
#include "tst_netutils.moc"
