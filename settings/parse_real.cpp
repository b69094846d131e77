#include "settings/parse_real.h"

#include <cstdio>
#include <string>

namespace qv {

namespace {

double larger(double a, double b) {
    return a < b ? b : a;
}

}  // namespace

double ParseReal(std::string_view text, double defaultValue) {
    if (text.empty()) return defaultValue;
    std::string changed(text);

    double a = 0.0;
    std::sscanf(changed.c_str(), "%lf", &a);

    const std::size_t comma = changed.find(',');
    if (comma != std::string::npos) {
        changed[comma] = '.';
    } else {
        const std::size_t point = changed.find('.');
        if (point == std::string::npos) return larger(a, -1.0);
        changed[point] = ',';
    }

    double b = -1.0;
    std::sscanf(changed.c_str(), "%lf", &b);
    return larger(a, b);
}

}  // namespace qv
