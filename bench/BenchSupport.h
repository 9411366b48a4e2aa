// What the benchmarks share: a failure that ends the run, the median of a series and a timer.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

// Ends the benchmark with the reason, under the benchmark's name.
[[noreturn]] inline void Fail(const char* name, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", name, text.c_str());
    std::exit(1);
}

inline double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

template <class F> double TimeMs(F&& f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace bench
