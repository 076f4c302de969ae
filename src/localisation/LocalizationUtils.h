#ifndef LOCALIZATIONUTILS_H
#define LOCALIZATIONUTILS_H

#include "larkutils_export.h"

#include <QString>

/// The system's language code and the names of language codes.
class LARKUTILS_EXPORT LocalizationUtils
{
public:
    /// Nothing to assign: every member is static.
    LocalizationUtils& operator=(const LocalizationUtils&) = default;

    /// The system locale's name in lower case ("fr_fr"); "en" when it has none.
    static QString currentSystemLangCode();
    /// "pt_BR" -> the language's own name ("português"); "fr" -> its English name ("French").
    static QString isoLangCodeToString(const QString& code);

private:
    LocalizationUtils() = default;
};

#endif // LOCALIZATIONUTILS_H
