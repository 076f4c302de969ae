#ifndef EVENTUTILS_H
#define EVENTUTILS_H

#include "larkutils_export.h"

class QKeyEvent;

/// Recognition of common key events.
class LARKUTILS_EXPORT EventUtils
{
public:
    /// True for the platform's delete key sequence and for a bare Backspace; false for null (logged).
    static bool match_KeyDelete(QKeyEvent* event);
};

#endif // EVENTUTILS_H
