#ifndef RANDOMPRIVATE_H
#define RANDOMPRIVATE_H

// The per-thread pseudo-random generator behind MathUtils, StringUtils::getRandomString and
// ColorUtils::randomColor (not installed). On Qt 5 it is qsrand/qrand itself, so an application's
// qsrand still seeds it; Qt 6 has no qrand, and the same sequence is drawn here: the C library's
// rand_r on a seed per thread that starts at 1 (rand/srand on Windows, whose state is per thread).

namespace LarkRandom {

void seed(unsigned int value);
int next(); // 0 to RAND_MAX

} // namespace LarkRandom

#endif // RANDOMPRIVATE_H
