#ifndef LISTUTILS_H
#define LISTUTILS_H

#include "larkutils_export.h"

#include <QList>

class QObject;

/// Questions about a list of objects.
class LARKUTILS_EXPORT ListUtils
{
public:
    /// True when the list is not empty and every object inherits the class; false for a null
    /// object or class name (logged).
    static bool allObjectInherits(const QList<QObject*>& objects, const char* className);
    /// True when the list is not empty and every object is of the first object's class; false for
    /// a null object (logged).
    static bool allObjectIsSameClass(const QList<QObject*>& objects);
};

#endif // LISTUTILS_H
