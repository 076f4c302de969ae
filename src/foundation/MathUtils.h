#ifndef MATHUTILS_H
#define MATHUTILS_H

#include "larkutils_export.h"

/// Random numbers and triggers that fire once in a number of calls.
class LARKUTILS_EXPORT MathUtils
{
public:
    /// A number from min to max, both included (bounds given the wrong way round are swapped).
    static int random(int min, int max);
    /// True about once in n calls; n below 1 is misuse (logged), its magnitude is used.
    static bool randomTriggerOneIn(int n);
    /// Increments counter; true (and counter back to 0) once it reaches n.
    static bool counterTriggerOneIn(int n, int& counter);
};

#endif // MATHUTILS_H
