#include "ObjectTree.h"

#include <QObject>

QStringList ObjectTree::parentClassNames(const QObject* object)
{
    QStringList names;
    for (const QObject* parent = object ? object->parent() : nullptr; parent; parent = parent->parent())
        names.append(QString::fromLatin1(parent->metaObject()->className()));
    return names;
}
