#ifndef FLAGSUTILS_H
#define FLAGSUTILS_H

#include "larkutils_export.h"

#include <QFlags>
#include <Qt>

/// Switches one item flag on or off.
class LARKUTILS_EXPORT FlagsUtils
{
public:
    /// Adds flag to flags when on, removes it otherwise.
    static void setFlag(QFlags<Qt::ItemFlag>& flags, Qt::ItemFlag flag, bool on);
};

#endif // FLAGSUTILS_H
