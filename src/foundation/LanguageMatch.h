#ifndef LANGUAGEMATCH_H
#define LANGUAGEMATCH_H

// The language test shared by the identity and the translation loader (not installed).

#include <QString>

namespace LanguageMatch {

// True when localeName is language, or language followed by "_" and a territory, ignoring case.
bool matches(const QString& localeName, const QString& language);

} // namespace LanguageMatch

#endif // LANGUAGEMATCH_H
