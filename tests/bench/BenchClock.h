#pragma once

#include <string>
#include <vector>

// Wall-clock time of one measured operation, from the performance counter.
class Stopwatch {
public:
    Stopwatch();
    double Seconds() const;

private:
    long long start_;
};

// The times of several repetitions of one operation.
class Samples {
public:
    void Add(double seconds) { seconds_.push_back(seconds); }
    double Min() const;
    double Median() const;

private:
    std::vector<double> seconds_;
};

// "label: min X s, median Y s" and, when bytes is given, the throughput of
// both in MB/s. The line is flushed at once, so a slow run shows progress.
void PrintSamples(const std::string& label, const Samples& samples, double bytes = 0);

// One figure for the closing table, read by tests/bench/bench.py:
// "FIGURE<TAB>name<TAB>value".
void PrintFigure(const std::string& name, double value);
