#include "CoreApplicationUtils.h"

#include "LanguageMatch.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QUrl>

namespace {
// The identity, process-wide; set at start-up on the main thread.
CoreApplicationUtils::CodeApplication mCodeApplication = CoreApplicationUtils::CodeUndefined;
QString mApplicationCompanyName;
QString mApplicationName;
QString mApplicationVersion;
QString mApplicationRevision;
} // namespace

CoreApplicationUtils::CoreApplicationUtils(QObject* parent)
    : QObject(parent)
{
}

void CoreApplicationUtils::setApplicationCode(const CodeApplication& code) { mCodeApplication = code; }
void CoreApplicationUtils::setApplicationCompanyName(const QString& name) { mApplicationCompanyName = name; }
void CoreApplicationUtils::setApplicationName(const QString& name) { mApplicationName = name; }
void CoreApplicationUtils::setApplicationVersion(const QString& version) { mApplicationVersion = version; }
void CoreApplicationUtils::setApplicationRevision(const QString& revision) { mApplicationRevision = revision; }

CoreApplicationUtils::CodeApplication CoreApplicationUtils::applicationCode() { return mCodeApplication; }
QString CoreApplicationUtils::applicationCompanyName() { return mApplicationCompanyName; }
QString CoreApplicationUtils::applicationName() { return mApplicationName; }
QString CoreApplicationUtils::applicationVersion() { return mApplicationVersion; }
QString CoreApplicationUtils::applicationRevision() { return mApplicationRevision; }

QString CoreApplicationUtils::applicationKeyToString(CodeApplication code)
{
    switch (code) {
    case CodeLattice: return QStringLiteral("lattice");
    case CodeBazaro: return QStringLiteral("bazaro");
    case CodeFlare: return QStringLiteral("flare");
    case CodeSollary2: return QStringLiteral("sollary2");
    default: return QStringLiteral("undefined key");
    }
}

QString CoreApplicationUtils::applicationKey()
{
    return applicationKeyToString(applicationCode());
}

QString CoreApplicationUtils::applicationShortName()
{
    switch (mCodeApplication) {
    case CodeLattice: return QStringLiteral("Lattice");
    case CodeBazaro: return QStringLiteral("Bazaro");
    case CodeFlare: return QStringLiteral("Flare");
    case CodeSollary2: return QStringLiteral("Sollary 2");
    default: return QStringLiteral("undefined key");
    }
}

QString CoreApplicationUtils::applicationGuiName()
{
    switch (mCodeApplication) {
    case CodeLattice: return QStringLiteral("Brennick Lattice");
    case CodeFlare: return QStringLiteral("Brennick Flare");
    case CodeSollary2: return QStringLiteral("Sollary");
    default: return applicationName();
    }
}

QString CoreApplicationUtils::iconApplication()
{
    return QStringLiteral(":/app-icons/icon.png");
}

bool CoreApplicationUtils::initStartupVars()
{
    if (mCodeApplication == CodeUndefined) {
        qDebug() << "initStartupVars FAILED ! initCoreApplication must be called in main.cpp !!!!";
        return false;
    }
    QCoreApplication::setOrganizationName(mApplicationCompanyName);
    QCoreApplication::setOrganizationDomain(mApplicationCompanyName.toLower() + QStringLiteral(".com"));
    QCoreApplication::setApplicationName(mApplicationName);
    QCoreApplication::setApplicationVersion(mApplicationVersion);
    // The window icon needs a GUI application.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setWindowIcon(QIcon(iconApplication()));
    return true;
}

QString CoreApplicationUtils::urlDocumentation(bool autoTranslated)
{
    QString folder;
    switch (mCodeApplication) {
    case CodeLattice: folder = QStringLiteral("LATTICE/index.html"); break;
    case CodeFlare: folder = QStringLiteral("FLARE/"); break;
    case CodeSollary2: folder = QStringLiteral("SOLLARY/"); break;
    default: break;
    }
    QString result;
    if (!folder.isEmpty())
        result = QStringLiteral("https://" LARKUTILS_DOC_HOST "/documentations/") + folder;
    if (autoTranslated) {
        const QString encoded = QString::fromLatin1(QUrl(result, QUrl::TolerantMode).toEncoded(QUrl::FullyEncoded));
        result = QStringLiteral("https://" LARKUTILS_TRANSLATE_HOST "/translate?hl=en&sl=fr&tl=en&u=%1").arg(encoded);
    }
    return result;
}

QString CoreApplicationUtils::urlDocumentationAutoTranslated()
{
    // Same test as LocalisationTools::currentLanguageMatch("fr").
    return urlDocumentation(!LanguageMatch::matches(QLocale().name(), QStringLiteral("fr")));
}

void CoreApplicationUtils::fixOSXDialogFocusBug()
{
}
