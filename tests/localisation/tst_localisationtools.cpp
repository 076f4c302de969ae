#include <ApplicationUtils.h>
#include <CoreApplicationUtils.h>
#include <LocalisationTools.h>
#include <LogCapture.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTranslator>
#include <QtTest>

// Opens the protected side of the class to the test.
class Probe : public LocalisationTools
{
public:
    using LocalisationTools::applicationTranslationKeys;
    using LocalisationTools::clearAppTranslators;
    using LocalisationTools::loadDefaultLanguage;
    using LocalisationTools::mAppTranslators;
    using LocalisationTools::pathFile_QM;
};

class tst_LocalisationTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void languagesAndKeys();
    void findLanguagesFromTranslationMask_data();
    void findLanguagesFromTranslationMask();
    void pathFileQm();
    void switchToFrenchWithEnglishBeneath();
    void switchingTwiceKeepsOneSet();
    void qtBaseTranslationsFollowTheLanguage();
    void unknownLanguageFallsBackToSystem();
    void emptyLanguageFollowsSystem();
    void missingEnglishFileLogsDebugTrace();
    void badFolders_data();
    void badFolders();
    void currentLanguageMatch_data();
    void currentLanguageMatch();
    void trQtMessagesInEnglish();
    void translatorsDeletedByOthersAreForgotten();

private:
    void install(const QStringList& names);
    QString mLanguages;
};

static QString qm(const char* name)
{
    return QStringLiteral(LARK_TEST_QM_DIR "/") + QLatin1String(name);
}

void tst_LocalisationTools::initTestCase()
{
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeFlare);
    CoreApplicationUtils::setApplicationName(QStringLiteral("Flare"));
    mLanguages = ApplicationUtils::pathLanguages();
    QVERIFY(mLanguages.startsWith(QCoreApplication::applicationDirPath()));
    QVERIFY(mLanguages.endsWith(QLatin1String("/languages/")));
    QVERIFY2(QFile::exists(QStringLiteral(LARK_QT_TRANSLATIONS_DIR "/qtbase_fr.qm")), "qttranslations5-l10n is missing");
}

void tst_LocalisationTools::init()
{
    Probe::clearAppTranslators();
    QLocale::setDefault(QLocale::system());
    QDir(mLanguages).removeRecursively();
    install({"app_en.qm", "app_fr.qm", "app_pt_BR.qm", "qtbase/qtbase_fr.qm", "qtbase/qtbase_de.qm"});
}

void tst_LocalisationTools::cleanupTestCase()
{
    Probe::clearAppTranslators();
    QDir(mLanguages).removeRecursively();
}

// Copies our compiled files, and Qt's real base files, into the language folder.
void tst_LocalisationTools::install(const QStringList& names)
{
    QDir().mkpath(mLanguages + QStringLiteral("qtbase"));
    for (const QString& name : names) {
        const QString source = name.startsWith(QLatin1String("qtbase/"))
            ? QStringLiteral(LARK_QT_TRANSLATIONS_DIR "/") + name.mid(7)
            : qm(name.toUtf8().constData());
        QVERIFY2(QFile::copy(source, mLanguages + name), qPrintable(source));
    }
}

void tst_LocalisationTools::languagesAndKeys()
{
    install({"my_tool_fr.qm"});
    QVERIFY(QFile::copy(qm("app_fr.qm"), mLanguages + QStringLiteral("app_en_US.qm")));
    QVERIFY(QFile::copy(qm("app_fr.qm"), mLanguages + QStringLiteral(".hidden_fr.qm")));
    QVERIFY(QFile::copy(qm("app_fr.qm"), mLanguages + QStringLiteral("nounderscore.qm")));
    QDir().mkpath(mLanguages + QStringLiteral("folder_de.qm"));

    const QList<QLocale> languages = LocalisationTools::applicationLanguages();
    QStringList names;
    for (const QLocale& locale : languages)
        names << locale.name();
    QCOMPARE(names, (QStringList{"en_US", "en_US", "fr_FR", "pt_BR"})); // app_en, app_en_US, app_fr, app_pt_BR
    QCOMPARE(Probe::applicationTranslationKeys(), (QStringList{"qtbase_", "app_", "my_tool_"}));
}

void tst_LocalisationTools::findLanguagesFromTranslationMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("app_") << "app_" << QStringList{"de", "en", "fr", "pt_BR"};
    QTest::newRow("qtbase_ not in the folder itself") << "qtbase_" << QStringList();
    QTest::newRow("no match") << "zz_" << QStringList();
}

void tst_LocalisationTools::findLanguagesFromTranslationMask()
{
    QFETCH(QString, mask);
    install({"app_de.qm"});
    QVERIFY(QFile::copy(qm("app_fr.qm"), mLanguages + QStringLiteral("app_fr.qm.bak")));
    QTEST(LocalisationTools::findLanguagesFromTranslationMask(mLanguages, mask), "codes");
    QCOMPARE(LocalisationTools::findLanguagesFromTranslationMask(mLanguages + QStringLiteral("qtbase"), QStringLiteral("qtbase_")),
             (QStringList{"de", "fr"}));
    QVERIFY(LocalisationTools::findLanguagesFromTranslationMask(mLanguages + QStringLiteral("missing"), mask).isEmpty());
}

void tst_LocalisationTools::pathFileQm()
{
    QCOMPARE(Probe::pathFile_QM(QStringLiteral("app_")), mLanguages);
    QCOMPARE(Probe::pathFile_QM(QStringLiteral("qt_")), mLanguages + QStringLiteral("qt/"));
    QCOMPARE(Probe::pathFile_QM(QStringLiteral("qtbase_")), mLanguages + QStringLiteral("qtbase/"));
    QCOMPARE(Probe::pathFile_QM(QStringLiteral("qtbase")), mLanguages);
}

void tst_LocalisationTools::switchToFrenchWithEnglishBeneath()
{
    LogCapture logs;
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    QCOMPARE(logs.count(Logwell::LogWarning), 0);
    QCOMPARE(QLocale().name(), QStringLiteral("fr_FR"));
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Bonjour"));
    QCOMPARE(QCoreApplication::translate("Demo", "Only in English"), QStringLiteral("English fallback"));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Duplicate), QStringLiteral("Dupliquer"));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::UnselectAll), QStringLiteral("Tout désélectionner"));
    // qtbase (en, fr) and app (en, fr).
    QCOMPARE(Probe::mAppTranslators.size(), 4);

    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("pt_BR")));
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Olá"));
    QCOMPARE(QLocale().name(), QStringLiteral("pt_BR"));
}

void tst_LocalisationTools::switchingTwiceKeepsOneSet()
{
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    QList<QPointer<QTranslator>> first;
    for (QTranslator* translator : qAsConst(Probe::mAppTranslators))
        first << translator;
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    QCOMPARE(Probe::mAppTranslators.size(), 4);
    // The first set is deleted, which also takes it out of the application.
    for (const QPointer<QTranslator>& translator : first)
        QVERIFY(translator.isNull());
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Bonjour"));
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("en")));
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Hello (en)"));
    Probe::clearAppTranslators();
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Hello"));
}

void tst_LocalisationTools::qtBaseTranslationsFollowTheLanguage()
{
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Cancel), QStringLiteral("Annuler"));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Close), QStringLiteral("Fermer"));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::FileDialogConfirmDelete),
             QCoreApplication::translate("QFileDialog", "Are you sure you want to delete '%1'?"));
    QVERIFY(LocalisationTools::trQtMessages(LocalisationTools::FileDialogConfirmDelete).contains(QLatin1String("%1")));
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("en")));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Cancel), QStringLiteral("Cancel"));
}

void tst_LocalisationTools::unknownLanguageFallsBackToSystem()
{
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    LogCapture logs;
    QVERIFY(!LocalisationTools::changeApplicationLanguage(QStringLiteral("xx")));
    QVERIFY(logs.has(Logwell::LogWarning, QStringLiteral("LocalisationTools::changeApplicationLanguage"),
                     QStringList{"can't load translation file", mLanguages + QStringLiteral("qtbase/qtbase_xx.qm"), "lang= xx"}));
    QVERIFY(logs.has(Logwell::LogWarning, QStringLiteral("LocalisationTools::changeApplicationLanguage"),
                     QStringList{"can't load translation file", mLanguages + QStringLiteral("app_xx.qm")}));
    QCOMPARE(logs.count(Logwell::LogWarning), 2);
    // The system's language (LC_ALL=de_DE) is installed, and the default locale follows it.
    QCOMPARE(QLocale().name(), QStringLiteral("de_DE"));
    QVERIFY(LocalisationTools::currentLanguageMatch(QStringLiteral("de")));
    QVERIFY(!LocalisationTools::currentLanguageMatch(QStringLiteral("fr")));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Cancel), QStringLiteral("Abbrechen"));
    QCOMPARE(Probe::mAppTranslators.size(), 4);

    // No warning for the US English base file, which Qt does not ship.
    logs.clear();
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("en_US")));
    QCOMPARE(logs.count(Logwell::LogWarning), 0);
}

void tst_LocalisationTools::emptyLanguageFollowsSystem()
{
    QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
    QVERIFY(LocalisationTools::changeApplicationLanguage(QString()));
    QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::Cancel), QStringLiteral("Abbrechen"));
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Hello (en)")); // no app_de.qm here
    QCOMPARE(Probe::mAppTranslators.size(), 4);
    QCOMPARE(QLocale().name(), QStringLiteral("pt_BR")); // the by-locale switch leaves the default alone
}

void tst_LocalisationTools::missingEnglishFileLogsDebugTrace()
{
    QVERIFY(QFile::remove(mLanguages + QStringLiteral("app_en.qm")));
    LogCapture logs;
    QVERIFY(!Probe::loadDefaultLanguage(QStringLiteral("app_")));
    QVERIFY(logs.has(Logwell::LogDebug, QStringLiteral("LocalisationTools::loadDefaultLanguage"),
                     QStringList{"ERROR reading : ", mLanguages + QStringLiteral("app_en.qm")}));
    QVERIFY(!Probe::loadDefaultLanguage(QStringLiteral("qtbase_"))); // Qt ships no English base file
    QCOMPARE(logs.count(Logwell::LogDebug), 1);
    QCOMPARE(Probe::mAppTranslators.size(), 2); // installed even when empty
}

void tst_LocalisationTools::badFolders_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("result");
    QTest::newRow("missing folder") << "missing" << QStringList{"qtbase_"} << false;
    QTest::newRow("not qm files") << "text" << QStringList{"qtbase_"} << false;
    QTest::newRow("truncated app file") << "truncated" << QStringList{"qtbase_", "app_"} << false;
    QTest::newRow("qm that is a folder") << "folder" << QStringList{"qtbase_"} << false;
}

void tst_LocalisationTools::badFolders()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, keys);
    QFETCH(bool, result);
    QDir(mLanguages).removeRecursively();
    if (setup == QLatin1String("text")) {
        QDir().mkpath(mLanguages);
        QFile file(mLanguages + QStringLiteral("app_fr.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a translation");
    } else if (setup == QLatin1String("truncated")) {
        QDir().mkpath(mLanguages);
        QFile source(qm("app_fr.qm"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QFile file(mLanguages + QStringLiteral("app_fr.qm"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(source.read(source.size() / 2));
    } else if (setup == QLatin1String("folder")) {
        QDir().mkpath(mLanguages + QStringLiteral("app_fr.qm"));
    }
    LogCapture logs;
    QCOMPARE(Probe::applicationTranslationKeys(), keys);
    QCOMPARE(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")), result);
    QVERIFY(logs.has(Logwell::LogWarning, QStringLiteral("LocalisationTools::changeApplicationLanguage"),
                     QStringList{"can't load translation file", "qtbase_fr.qm"}));
    QCOMPARE(QCoreApplication::translate("Demo", "Hello"), QStringLiteral("Hello"));
    QCOMPARE(QLocale().name(), QStringLiteral("de_DE"));
}

void tst_LocalisationTools::currentLanguageMatch_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("match");
    QTest::newRow("fr in fr_FR") << "fr_FR" << "fr" << true;
    QTest::newRow("FR in fr_FR") << "fr_FR" << "FR" << true;
    QTest::newRow("fr_FR in fr_FR") << "fr_FR" << "fr_FR" << true;
    QTest::newRow("fr in fr_CA") << "fr_CA" << "fr" << true;
    QTest::newRow("fr_FR in fr_CA") << "fr_CA" << "fr_FR" << false;
    QTest::newRow("en in fr_FR") << "fr_FR" << "en" << false;
    QTest::newRow("f in fr_FR") << "fr_FR" << "f" << false;
    QTest::newRow("empty") << "fr_FR" << "" << false;
}

void tst_LocalisationTools::currentLanguageMatch()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QLocale::setDefault(QLocale(locale));
    QTEST(LocalisationTools::currentLanguageMatch(language), "match");
}

void tst_LocalisationTools::trQtMessagesInEnglish()
{
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeLattice);
    const QStringList expected{
        "Preferences...", "About Brennick Lattice", "Ok", "Cancel", "Close", "Quit Brennick Lattice", "Done",
        "&Next >", "< &Back", "Delete", "Cut", "Copy", "Paste", "Select All", "Search", "Save", "Apply", "Reset",
        "All Files (*)", "Pictures", "List View", "Detail View", "&Rename", "Delete", "Create New Folder",
        "Are you sure you want to delete '%1'?", "Duplicate", "Unselect All"};
    for (int value = 0; value < expected.size(); ++value)
        QCOMPARE(LocalisationTools::trQtMessages(LocalisationTools::QtMessages(value)), expected.at(value));
    QVERIFY(LocalisationTools::trQtMessages(LocalisationTools::QtMessages(28)).isEmpty());
    QVERIFY(LocalisationTools::trQtMessages(LocalisationTools::QtMessages(-1)).isEmpty());
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeFlare);
}

void tst_LocalisationTools::translatorsDeletedByOthersAreForgotten()
{
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr")));
    delete Probe::mAppTranslators.takeFirst(); // e.g. with the application object's children
    delete Probe::mAppTranslators.first();
    QCOMPARE(Probe::mAppTranslators.size(), 2);
    QVERIFY(LocalisationTools::changeApplicationLanguage(QStringLiteral("fr"))); // no double delete
    QCOMPARE(Probe::mAppTranslators.size(), 4);
}

QTEST_MAIN(tst_LocalisationTools)
#include "tst_localisationtools.moc"
