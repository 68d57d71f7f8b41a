#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Figures of several runs, or of many events within one run.
class Samples {
public:
    void Add(double value) { m_values.push_back(value); }
    std::size_t Count() const { return m_values.size(); }

    double Median() const { return Percentile(50); }
    double Highest() const;
    double Lowest() const;
    // Nearest-rank percentile, 0 < p <= 100.
    double Percentile(double p) const;

private:
    std::vector<double> m_values;
};

// A figure checked against its target; Report prints one line and returns whether it is met.
struct Target {
    std::string what;
    double measured;
    double limit;
    bool atLeast;  // true: the figure must reach the limit; false: it must stay at or under it
};
bool Report(const Target& target);

// printf-style formatting into a string, for table cells.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
