#ifndef METAOBJECTUTILS_H
#define METAOBJECTUTILS_H

#include "larkutils_export.h"

#include <QString>

class QObject;

/// Finds and calls signals and slots by name: a bare name, a signature, or the text of Qt's
/// SIGNAL() / SLOT() macros ("2name()", "1name()").
class LARKUTILS_EXPORT MetaObjectUtils
{
public:
    /// Whether the object has a method of that signature, e.g. "refresh()" or "1refresh()".
    /// False for a null object or signature; logs nothing.
    static bool hasMethod(QObject* object, const char* signature);
    /// Invokes the method without arguments (automatic connection); false (logged) on failure.
    static bool invokeSignalOrSlot(QObject* object, const QString& name);
    /// The same, with a Latin-1 name.
    static bool invokeSignalOrSlot(QObject* object, const char* name);
    /// Calls the method directly and stores its bool result; false (logged, result untouched) on failure.
    static bool invokeSlotReturningBoolean(QObject* object, const QString& name, bool& result);
};

#endif // METAOBJECTUTILS_H
