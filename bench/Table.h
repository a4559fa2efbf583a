// SPDX-License-Identifier: MIT
#pragma once
// One row of the table that bench/run prints: a figure, the reference measured in the same run,
// their ratio, the target and whether it is met.
#include <cstdio>
#include <string>

namespace bench {

inline std::string Fixed(double value, int decimals, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

// verdict: "ok", "MISSED" or "" (no target).
inline void Row(const std::string& measure, const std::string& measured,
                const std::string& reference, const std::string& ratio, const std::string& target,
                const char* verdict) {
    std::printf("%-46s | %-13s | %-24s | %-9s | %-9s | %s\n", measure.c_str(), measured.c_str(),
                reference.c_str(), ratio.c_str(), target.c_str(), verdict);
    std::fflush(stdout);
}

inline const char* Verdict(bool met) {
    return met ? "ok" : "MISSED";
}

} // namespace bench
