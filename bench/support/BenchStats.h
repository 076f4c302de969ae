#ifndef BENCHSTATS_H
#define BENCHSTATS_H

// Statistics shared by the benchmarks.

#include <algorithm>

namespace Bench {

// The median of the values (the upper one of an even count); a default value when there are none.
template <typename Container>
typename Container::value_type median(Container values)
{
    if (values.empty())
        return typename Container::value_type();
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace Bench

#endif // BENCHSTATS_H
