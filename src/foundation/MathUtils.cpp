#include "MathUtils.h"

#include "LarkLog.h"

#include <QTime>
#include <QtGlobal>

#include <cstdlib>

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

namespace {
// The generator is seeded once, on the first draw.
bool srandinit = false;

void srandom()
{
    qsrand(uint(QTime::currentTime().msec()));
    srandinit = true;
}
} // namespace

int MathUtils::random(int min, int max)
{
    if (max < min) {
        LARK_CRITICAL << "bad usage!! max" << max << "is below min" << min;
        qSwap(min, max);
    }
    if (!srandinit)
        srandom();
    const quint64 span = quint64(qint64(max) - qint64(min) + 1);
    quint64 draw = quint64(qrand());
    // qrand() stops at RAND_MAX: a wider range takes a second draw.
    if (span > quint64(RAND_MAX) + 1)
        draw = (draw << 31) | quint64(qrand());
    return int(qint64(min) + qint64(draw % span));
}

bool MathUtils::randomTriggerOneIn(int n)
{
    qint64 divisor = n;
    if (n < 1) {
        LARK_CRITICAL << "bad usage!!";
        divisor = n == 0 ? 1 : -qint64(n);
    }
    if (!srandinit)
        srandom();
    return qint64(qrand()) % divisor == 0;
}

QT_WARNING_POP

bool MathUtils::counterTriggerOneIn(int n, int& counter)
{
    ++counter;
    if (counter < n)
        return false;
    counter = 0;
    return true;
}
