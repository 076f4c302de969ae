#include "LocalizationUtils.h"

#include <QLocale>

QString LocalizationUtils::currentSystemLangCode()
{
    const QString name = QLocale::system().name().toLower();
    return name.isEmpty() ? QStringLiteral("en") : name;
}

QString LocalizationUtils::isoLangCodeToString(const QString& code)
{
    if (code.contains(QLatin1Char('_')))
        return QLocale(code).nativeLanguageName();
    return QLocale::languageToString(QLocale(code).language());
}
