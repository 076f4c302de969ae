#ifndef TYPEUTILS_H
#define TYPEUTILS_H

#include "larkutils_export.h"

#include <QString>

/// Readable class names from run-time type names.
class LARKUTILS_EXPORT TypeUtils
{
public:
    /// "class Thread *" -> "Thread*"; empty for a null name.
    static QString name(const char* typeName);

};

#endif // TYPEUTILS_H
