#include "FlagsUtils.h"

void FlagsUtils::setFlag(QFlags<Qt::ItemFlag>& flags, Qt::ItemFlag flag, bool on)
{
    if (on)
        flags |= flag;
    else
        flags &= ~QFlags<Qt::ItemFlag>(flag);
}
