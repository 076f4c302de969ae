#ifndef LOCALISATIONTOOLS_H
#define LOCALISATIONTOOLS_H

#include "larkutils_export.h"

#include <QCoreApplication>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

class QTranslator;

/// Finds the application's languages, installs their translation files (each above its English
/// fallback) and switches language at run time. Also gives Qt's own common texts.
class LARKUTILS_EXPORT LocalisationTools
{
    Q_DECLARE_TR_FUNCTIONS(LocalisationTools)
public:
    /// Qt texts that trQtMessages translates.
    enum QtMessages {
        MacPreferences = 0,
        MacAbout,
        Ok,
        Cancel,
        Close,
        MacQuit,
        WizardDone,
        WizardNext,
        WizardBack,
        ShortcutDelete,
        MenuCut,
        MenuCopy,
        MenuPaste,
        MenuSelectAll,
        ShortcutSearch,
        Save,
        Apply,
        Reset,
        FileDialogAllFiles,
        Pictures,
        FileDialogListView,
        FileDialogDetailView,
        FileDialogRename,
        FileDialogDelete,
        FileDialogNewFolder,
        FileDialogConfirmDelete,
        Duplicate,
        UnselectAll
    };

    /// Nothing to assign: every member is static.
    LocalisationTools& operator=(const LocalisationTools&) = default;

    /// One locale per "app_" file of the language folder, in file name order.
    static QList<QLocale> applicationLanguages();
    /// Language codes of the files mask + code + ".qm" in folder; empty for a missing folder.
    static QStringList findLanguagesFromTranslationMask(const QString& folder, const QString& mask);
    /// Installs the translations of language (a locale name; empty: the system's language).
    /// False when no file of the language loaded: the system's language is used instead.
    static bool changeApplicationLanguage(const QString& language);
    /// Installs the translations of locale, whatever loads; logs nothing.
    static void changeApplicationLanguageByLocale(const QLocale& locale);
    /// Whether the default locale is language ("fr" matches "fr_FR" and "fr_CA"), ignoring case.
    static bool currentLanguageMatch(const QString& language);
    /// Qt's translation of a common text; empty for a value outside the enumeration.
    static QString trQtMessages(LocalisationTools::QtMessages message);

protected:
    LocalisationTools() = default;

    /// "qtbase_" first, then the keys of the files in the language folder.
    static QStringList applicationTranslationKeys();
    /// Installs the English file of key; false when it did not load.
    static bool loadDefaultLanguage(const QString& key);
    /// The folder of a key's files (the "qt/" and "qtbase/" sub-folders for Qt's keys).
    static QString pathFile_QM(const QString& key);
    /// QCoreApplication::installTranslator(translator).
    static bool installTranslator(QTranslator* translator);
    /// Deletes every translator installed by this class.
    static void clearAppTranslators();
    /// Qt's translation of sourceText in context (no disambiguation).
    static QString translateQt(const char* context, const char* sourceText);

    /// Every translator installed by this class, in installation order.
    static QList<QTranslator*> mAppTranslators;
};

#endif // LOCALISATIONTOOLS_H
