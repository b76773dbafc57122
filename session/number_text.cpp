#include "session/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace meshara {

std::string FormatNumber(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

bool ParseNumber(const std::string& text, float& value) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
    if (std::fabs(parsed) > std::numeric_limits<float>::max()) return false;
    value = static_cast<float>(parsed);
    return true;
}

}  // namespace meshara
