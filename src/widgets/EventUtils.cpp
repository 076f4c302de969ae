#include "EventUtils.h"

#include "LarkLog.h"

#include <QKeyEvent>
#include <QKeySequence>

bool EventUtils::match_KeyDelete(QKeyEvent* event)
{
    if (!event) {
        LARK_CRITICAL << "null event";
        return false;
    }
    if (event->matches(QKeySequence::Delete))
        return true;
    return event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier;
}
