#include "MathUtils.h"

#include "LarkLog.h"
#include "RandomPrivate.h"

#include <QTime>
#include <QtGlobal>

#include <cstdlib>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
namespace {
unsigned int& randomState()
{
    thread_local unsigned int state = 1;
    return state;
}
} // namespace
#endif

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

void LarkRandom::seed(unsigned int value)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    qsrand(value);
#elif defined(Q_OS_WIN)
    std::srand(value);
#else
    randomState() = value;
#endif
}

int LarkRandom::next()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return qrand();
#elif defined(Q_OS_WIN)
    return std::rand();
#else
    return rand_r(&randomState());
#endif
}

namespace {
// The generator is seeded once, on the first draw.
bool srandinit = false;

void srandom()
{
    LarkRandom::seed(uint(QTime::currentTime().msec()));
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
    quint64 draw = quint64(LarkRandom::next());
    // A draw stops at RAND_MAX: a wider range takes a second one.
    if (span > quint64(RAND_MAX) + 1)
        draw = (draw << 31) | quint64(LarkRandom::next());
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
    return qint64(LarkRandom::next()) % divisor == 0;
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
