#ifndef OBJECTTREE_H
#define OBJECTTREE_H

// Walks of the QObject tree shared inside the library (not installed).

#include <QStringList>

class QObject;

namespace ObjectTree {

// Class names of the object's parent, grandparent and so on up to the root, nearest first.
QStringList parentClassNames(const QObject* object);

} // namespace ObjectTree

#endif // OBJECTTREE_H
