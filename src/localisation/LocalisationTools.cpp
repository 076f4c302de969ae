#include "LocalisationTools.h"

#include "ApplicationUtils.h"
#include "CoreApplicationUtils.h"
#include "LanguageMatch.h"
#include "LarkLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTranslator>

QList<QTranslator*> LocalisationTools::mAppTranslators;

namespace {
const QString QTBASE_KEY = QStringLiteral("qtbase_");
}

QStringList LocalisationTools::findLanguagesFromTranslationMask(const QString& folder, const QString& mask)
{
    QStringList codes;
    const QStringList names = QDir(folder).entryList({mask + QStringLiteral("*.qm")}, QDir::Files,
                                                     QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        QString code = name.mid(mask.length());
        const int dot = code.indexOf(QLatin1Char('.'));
        if (dot >= 0)
            code.truncate(dot);
        codes.append(code);
    }
    return codes;
}

QList<QLocale> LocalisationTools::applicationLanguages()
{
    QList<QLocale> locales;
    const QStringList codes = findLanguagesFromTranslationMask(ApplicationUtils::pathLanguages(), QStringLiteral("app_"));
    for (const QString& code : codes)
        locales.append(QLocale(code));
    return locales;
}

QStringList LocalisationTools::applicationTranslationKeys()
{
    QSet<QString> keys;
    const QStringList names = QDir(ApplicationUtils::pathLanguages()).entryList({QStringLiteral("*.qm")}, QDir::Files);
    for (const QString& name : names) {
        const int i = name.lastIndexOf(QLatin1Char('_'));
        if (i < 0)
            continue;
        QString key = name.left(i + 1);
        const int j = i > 0 ? name.lastIndexOf(QLatin1Char('_'), i - 1) : -1;
        if (j >= 0) {
            QString text = name.mid(j + 1);
            const int dot = text.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                text.truncate(dot);
            if (QLocale(text).name() == text)
                key = name.left(j + 1);
        }
        keys.insert(key);
    }
    // Qt's base translations come first and only once.
    keys.remove(QTBASE_KEY);
    QStringList sorted = keys.values();
    sorted.sort();
    return QStringList{QTBASE_KEY} + sorted;
}

QString LocalisationTools::pathFile_QM(const QString& key)
{
    QString path = ApplicationUtils::pathLanguages();
    if (key == QLatin1String("qt_"))
        path += QStringLiteral("qt/");
    else if (key == QTBASE_KEY)
        path += QStringLiteral("qtbase/");
    return path;
}

namespace {
// The translator helpers, with the class's protected members at hand.
class Translators : public LocalisationTools
{
public:
    static QTranslator* newTranslator()
    {
        QTranslator* translator = new QTranslator(QCoreApplication::instance());
        // The application deletes its children when it goes: forget them then, never delete twice.
        QObject::connect(translator, &QObject::destroyed, [translator] { mAppTranslators.removeAll(translator); });
        return translator;
    }

    static bool loadLocale(QTranslator* translator, const QLocale& locale, const QString& key)
    {
        return translator->load(locale, key, QString(), QDir::cleanPath(pathFile_QM(key)), QStringLiteral(".qm"));
    }
};
} // namespace

bool LocalisationTools::installTranslator(QTranslator* translator)
{
    return QCoreApplication::installTranslator(translator);
}

bool LocalisationTools::loadDefaultLanguage(const QString& key)
{
    if (!QCoreApplication::instance()) {
        LARK_CRITICAL << "no application object: cannot install translations";
        return false;
    }
    QTranslator* translator = Translators::newTranslator();
    const bool loaded = Translators::loadLocale(translator, QLocale(QStringLiteral("en")), key);
    const QString path = pathFile_QM(key) + key + QStringLiteral("en.qm");
    if (!loaded && !QFileInfo::exists(path) && !path.endsWith(QLatin1String("qtbase_en.qm")))
        LARK_DEBUG << "ERROR reading : " << path;
    installTranslator(translator);
    mAppTranslators.append(translator);
    return loaded;
}

void LocalisationTools::clearAppTranslators()
{
    const QList<QTranslator*> translators = mAppTranslators;
    mAppTranslators.clear();
    qDeleteAll(translators); // a translator leaves the application when deleted
}

bool LocalisationTools::changeApplicationLanguage(const QString& language)
{
    if (!QCoreApplication::instance()) {
        LARK_CRITICAL << "no application object: cannot change the language to" << language;
        return false;
    }
    if (language.isEmpty()) {
        changeApplicationLanguageByLocale(QLocale::system());
        return true;
    }
    clearAppTranslators();
    bool anyLoaded = false;
    const QLocale locale(language);
    const QStringList keys = applicationTranslationKeys();
    for (const QString& key : keys) {
        loadDefaultLanguage(key);
        const QString labelPath = pathFile_QM(key) + key + language + QStringLiteral(".qm");
        QTranslator* translator = Translators::newTranslator();
        if (Translators::loadLocale(translator, locale, key)) {
            if (!installTranslator(translator))
                LARK_WARNING << "installTranslator error " << labelPath;
            mAppTranslators.append(translator);
            anyLoaded = true;
        } else {
            if (QFileInfo(labelPath).fileName() != QLatin1String("qtbase_en_US.qm"))
                LARK_WARNING << "can't load translation file " << labelPath << " lang=" << language;
            delete translator;
        }
    }
    if (anyLoaded) {
        QLocale::setDefault(locale);
        return true;
    }
    // Back to the system's language, and the default locale with it, so that the language
    // reported matches the translations now installed.
    changeApplicationLanguageByLocale(QLocale::system());
    QLocale::setDefault(QLocale::system());
    return false;
}

void LocalisationTools::changeApplicationLanguageByLocale(const QLocale& locale)
{
    if (!QCoreApplication::instance()) {
        LARK_CRITICAL << "no application object: cannot install translations";
        return;
    }
    clearAppTranslators();
    const QStringList keys = applicationTranslationKeys();
    for (const QString& key : keys) {
        loadDefaultLanguage(key);
        QTranslator* translator = Translators::newTranslator();
        Translators::loadLocale(translator, locale, key);
        installTranslator(translator);
        mAppTranslators.append(translator);
    }
}

bool LocalisationTools::currentLanguageMatch(const QString& language)
{
    return LanguageMatch::matches(QLocale().name(), language);
}

QString LocalisationTools::translateQt(const char* context, const char* sourceText)
{
    return QCoreApplication::translate(context, sourceText, nullptr, -1);
}

QString LocalisationTools::trQtMessages(LocalisationTools::QtMessages message)
{
    switch (message) {
    case MacPreferences: return translateQt("MAC_APPLICATION_MENU", "Preferences...");
    case MacAbout: return translateQt("MAC_APPLICATION_MENU", "About %1").arg(CoreApplicationUtils::applicationGuiName());
    case Ok: return translateQt("QPlatformTheme", "Ok");
    case Cancel: return translateQt("QPlatformTheme", "Cancel");
    case Close: return translateQt("QPlatformTheme", "Close");
    case MacQuit: return translateQt("MAC_APPLICATION_MENU", "Quit %1").arg(CoreApplicationUtils::applicationGuiName());
    case WizardDone: return translateQt("QWizard", "Done");
    case WizardNext: return translateQt("QWizard", "&Next >");
    case WizardBack: return translateQt("QWizard", "< &Back");
    case ShortcutDelete: return translateQt("QShortcut", "Delete");
    case MenuCut: return translateQt("QCocoaMenuItem", "Cut");
    case MenuCopy: return translateQt("QCocoaMenuItem", "Copy");
    case MenuPaste: return translateQt("QCocoaMenuItem", "Paste");
    case MenuSelectAll: return translateQt("QCocoaMenuItem", "Select All");
    case ShortcutSearch: return translateQt("QShortcut", "Search");
    case Save: return translateQt("QPlatformTheme", "Save");
    case Apply: return translateQt("QPlatformTheme", "Apply");
    case Reset: return translateQt("QPlatformTheme", "Reset");
    case FileDialogAllFiles: return translateQt("QFileDialog", "All Files (*)");
    case Pictures: return translateQt("QStandardPaths", "Pictures");
    case FileDialogListView: return translateQt("QFileDialog", "List View");
    case FileDialogDetailView: return translateQt("QFileDialog", "Detail View");
    case FileDialogRename: return translateQt("QFileDialog", "&Rename");
    case FileDialogDelete: return translateQt("QFileDialog", "Delete");
    case FileDialogNewFolder: return translateQt("QFileDialog", "Create New Folder");
    case FileDialogConfirmDelete: return translateQt("QFileDialog", "Are you sure you want to delete '%1'?");
    case Duplicate: return tr("Duplicate");
    case UnselectAll: return tr("Unselect All");
    }
    return QString();
}
