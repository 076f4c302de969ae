#include "ListUtils.h"

#include "LarkLog.h"

#include <QObject>

#include <cstring>

bool ListUtils::allObjectInherits(const QList<QObject*>& objects, const char* className)
{
    if (!className) {
        LARK_CRITICAL << "null class name";
        return false;
    }
    if (objects.isEmpty())
        return false;
    for (const QObject* object : objects) {
        if (!object) {
            LARK_CRITICAL << "null object in the list";
            return false;
        }
        if (!object->inherits(className))
            return false;
    }
    return true;
}

bool ListUtils::allObjectIsSameClass(const QList<QObject*>& objects)
{
    if (objects.isEmpty())
        return false;
    const char* firstClass = nullptr;
    for (const QObject* object : objects) {
        if (!object) {
            LARK_CRITICAL << "null object in the list";
            return false;
        }
        const char* name = object->metaObject()->className();
        if (!firstClass)
            firstClass = name;
        else if (std::strcmp(name, firstClass) != 0)
            return false;
    }
    return true;
}
