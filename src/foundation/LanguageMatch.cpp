#include "LanguageMatch.h"

bool LanguageMatch::matches(const QString& localeName, const QString& language)
{
    return localeName.compare(language, Qt::CaseInsensitive) == 0
        || localeName.startsWith(language + QLatin1Char('_'), Qt::CaseInsensitive);
}
