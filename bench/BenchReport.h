// The lines every benchmark ends with, which scripts/run-bench collects into
// one table:
//   RATIO <key> <median> <runs>    a ratio to a reference measured in the same run
//   FIGURE <key> <median> <runs>   a figure of our own (a time, a rate)
// Each value is the median of the per-run values given.
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

inline void PrintRatio(const char* key, const std::vector<double>& perRun)
{
    std::printf("RATIO %s %.3f %zu\n", key, Median(perRun), perRun.size());
}

inline void PrintFigure(const char* key, const std::vector<double>& perRun)
{
    std::printf("FIGURE %s %.3f %zu\n", key, Median(perRun), perRun.size());
}

} // namespace bench
