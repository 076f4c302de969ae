#include <CoreApplicationUtils.h>

#include <QApplication>
#include <QLocale>
#include <QUrl>
#include <QtTest>

using Code = CoreApplicationUtils::CodeApplication;

class tst_CoreApplicationUtils : public QObject
{
    Q_OBJECT
private slots:
    void initStartupVarsRefusesUndefinedCode();
    void derivedNames_data();
    void derivedNames();
    void initStartupVarsSetsQtProperties();
    void urlDocumentation_data();
    void urlDocumentation();
    void urlDocumentationAutoTranslatedFollowsLanguage_data();
    void urlDocumentationAutoTranslatedFollowsLanguage();
};

// Runs first: the identity is still as the library loaded it.
void tst_CoreApplicationUtils::initStartupVarsRefusesUndefinedCode()
{
    QCOMPARE(CoreApplicationUtils::applicationCode(), CoreApplicationUtils::CodeUndefined);
    QVERIFY(CoreApplicationUtils::applicationName().isEmpty());
    QCoreApplication::setOrganizationName(QStringLiteral("before"));
    CoreApplicationUtils::setApplicationCompanyName(QStringLiteral("Larkspire"));
    QTest::ignoreMessage(QtDebugMsg, "initStartupVars FAILED ! initCoreApplication must be called in main.cpp !!!!");
    QVERIFY(!CoreApplicationUtils::initStartupVars());
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("before"));
}

void tst_CoreApplicationUtils::derivedNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("guiName");
    QTest::newRow("undefined") << 0 << "undefined key" << "undefined key" << "My App";
    QTest::newRow("lattice") << 1 << "lattice" << "Lattice" << "Brennick Lattice";
    QTest::newRow("bazaro") << 2 << "bazaro" << "Bazaro" << "My App";
    QTest::newRow("flare") << 3 << "flare" << "Flare" << "Brennick Flare";
    QTest::newRow("sollary2") << 4 << "sollary2" << "Sollary 2" << "Sollary";
    QTest::newRow("out of range") << 9 << "undefined key" << "undefined key" << "My App";
    QTest::newRow("negative") << -1 << "undefined key" << "undefined key" << "My App";
}

void tst_CoreApplicationUtils::derivedNames()
{
    QFETCH(int, code);
    CoreApplicationUtils::setApplicationName(QStringLiteral("My App"));
    CoreApplicationUtils::setApplicationCode(Code(code));
    QTEST(CoreApplicationUtils::applicationKey(), "key");
    QTEST(CoreApplicationUtils::applicationKeyToString(Code(code)), "key");
    QTEST(CoreApplicationUtils::applicationShortName(), "shortName");
    QTEST(CoreApplicationUtils::applicationGuiName(), "guiName");
    QCOMPARE(CoreApplicationUtils::iconApplication(), QStringLiteral(":/app-icons/icon.png"));
}

void tst_CoreApplicationUtils::initStartupVarsSetsQtProperties()
{
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeFlare);
    CoreApplicationUtils::setApplicationCompanyName(QStringLiteral("LarkSpire Studio"));
    CoreApplicationUtils::setApplicationName(QStringLiteral("Flare"));
    CoreApplicationUtils::setApplicationVersion(QStringLiteral("3.2.1"));
    CoreApplicationUtils::setApplicationRevision(QStringLiteral("r77"));
    QVERIFY(CoreApplicationUtils::initStartupVars());
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("LarkSpire Studio"));
    QCOMPARE(QCoreApplication::organizationDomain(), QStringLiteral("larkspire studio.com"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Flare"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("3.2.1"));
    QCOMPARE(CoreApplicationUtils::applicationRevision(), QStringLiteral("r77"));
    QCOMPARE(CoreApplicationUtils::applicationCompanyName(), QStringLiteral("LarkSpire Studio"));
}

void tst_CoreApplicationUtils::urlDocumentation_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("plain");
    const QString site = QStringLiteral("https://" LARKUTILS_DOC_HOST "/documentations/");
    QTest::newRow("undefined") << 0 << QString();
    QTest::newRow("lattice") << 1 << site + "LATTICE/index.html";
    QTest::newRow("bazaro") << 2 << QString();
    QTest::newRow("flare") << 3 << site + "FLARE/";
    QTest::newRow("sollary2") << 4 << site + "SOLLARY/";
}

void tst_CoreApplicationUtils::urlDocumentation()
{
    QFETCH(int, code);
    QFETCH(QString, plain);
    CoreApplicationUtils::setApplicationCode(Code(code));
    QCOMPARE(CoreApplicationUtils::urlDocumentation(false), plain);
    const QString prefix = QStringLiteral("https://" LARKUTILS_TRANSLATE_HOST "/translate?hl=en&sl=fr&tl=en&u=");
    const QString translated = CoreApplicationUtils::urlDocumentation(true);
    QVERIFY2(translated.startsWith(prefix), qPrintable(translated));
    QCOMPARE(translated.mid(prefix.size()), plain); // these addresses need no encoding
}

void tst_CoreApplicationUtils::urlDocumentationAutoTranslatedFollowsLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("translated");
    QTest::newRow("fr") << "fr" << false;
    QTest::newRow("fr_FR") << "fr_FR" << false;
    QTest::newRow("fr_CA") << "fr_CA" << false;
    QTest::newRow("en_US") << "en_US" << true;
    QTest::newRow("de_DE") << "de_DE" << true;
}

void tst_CoreApplicationUtils::urlDocumentationAutoTranslatedFollowsLanguage()
{
    QFETCH(QString, locale);
    QFETCH(bool, translated);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeSollary2);
    QCOMPARE(CoreApplicationUtils::urlDocumentationAutoTranslated(), CoreApplicationUtils::urlDocumentation(translated));
    QLocale::setDefault(saved);
}

QTEST_MAIN(tst_CoreApplicationUtils)
#include "tst_coreapplicationutils.moc"
