#include "BenchClock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

long long Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double Frequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

constexpr double Megabyte = 1024.0 * 1024.0;

}  // namespace

Stopwatch::Stopwatch() : start_(Now()) {}

double Stopwatch::Seconds() const
{
    return static_cast<double>(Now() - start_) / Frequency();
}

double Samples::Min() const
{
    return *std::min_element(seconds_.begin(), seconds_.end());
}

double Samples::Median() const
{
    std::vector<double> sorted = seconds_;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 != 0 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

void PrintSamples(const std::string& label, const Samples& samples, double bytes)
{
    std::printf("  %-52s min %8.4f s  median %8.4f s", label.c_str(), samples.Min(), samples.Median());
    if (bytes > 0) {
        std::printf("  (%7.1f / %7.1f MB/s)", bytes / Megabyte / samples.Min(), bytes / Megabyte / samples.Median());
    }
    std::printf("\n");
    std::fflush(stdout);
}

void PrintFigure(const std::string& name, double value)
{
    std::printf("FIGURE\t%s\t%.6g\n", name.c_str(), value);
    std::fflush(stdout);
}
