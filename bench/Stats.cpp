#include "bench/Stats.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

double Samples::Highest() const {
    return m_values.empty() ? 0.0 : *std::max_element(m_values.begin(), m_values.end());
}

double Samples::Lowest() const {
    return m_values.empty() ? 0.0 : *std::min_element(m_values.begin(), m_values.end());
}

double Samples::Percentile(double p) const {
    if (m_values.empty()) {
        return 0.0;
    }
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

bool Report(const Target& target) {
    const bool met = target.atLeast ? target.measured >= target.limit : target.measured <= target.limit;
    std::printf("target %-58s %12.3f %s %-10.3f %s\n", target.what.c_str(), target.measured,
                target.atLeast ? ">=" : "<=", target.limit, met ? "met" : "MISSED");
    return met;
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}
