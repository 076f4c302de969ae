#ifndef COREAPPLICATIONUTILS_H
#define COREAPPLICATIONUTILS_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

/// Process-wide identity of the application, set once at the start of main().
class LARKUTILS_EXPORT CoreApplicationUtils : public QObject
{
    Q_OBJECT
public:
    /// The applications of the family; CodeUndefined until the application sets its own.
    enum CodeApplication : qint32 {
        CodeUndefined = 0,
        CodeLattice = 1,
        CodeBazaro = 2,
        CodeFlare = 3,
        CodeSollary2 = 4
    };
    Q_ENUM(CodeApplication)

    /// Not needed for anything: every member is static.
    explicit CoreApplicationUtils(QObject* parent = nullptr);

    ///@{
    /// Setters of the identity, called once at the start of main().
    static void setApplicationCode(const CodeApplication& code);
    static void setApplicationCompanyName(const QString& name);
    static void setApplicationName(const QString& name);
    static void setApplicationVersion(const QString& version);
    static void setApplicationRevision(const QString& revision);
    ///@}

    ///@{
    /// The stored identity (empty and CodeUndefined until set).
    static CodeApplication applicationCode();
    static QString applicationCompanyName();
    static QString applicationName();
    static QString applicationVersion();
    static QString applicationRevision();
    ///@}

    /// The key of a code ("lattice", ...); "undefined key" for any unknown code.
    static QString applicationKeyToString(CodeApplication code);
    /// The key of the application's own code.
    static QString applicationKey();
    /// The short name of the application's code ("Lattice", "Sollary 2"); "undefined key" otherwise.
    static QString applicationShortName();
    /// The display name; the application name for codes without one of their own.
    static QString applicationGuiName();
    /// Resource path of the application's icon (a resource of the application).
    static QString iconApplication();

    /// Passes the identity to Qt (organisation, name, version, window icon). False while the
    /// application code is undefined.
    static bool initStartupVars();

    /// The documentation address, wrapped in the translation service's address when autoTranslated.
    static QString urlDocumentation(bool autoTranslated);
    /// The documentation address, translated unless the current language is French.
    static QString urlDocumentationAutoTranslated();

    /// Nothing to do on this platform.
    static void fixOSXDialogFocusBug();
};

#endif // COREAPPLICATIONUTILS_H
