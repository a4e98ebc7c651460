#include "services/text_number.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// A text ends at its first zero byte.
std::string_view asText(std::string_view s) {
    const auto zero = s.find('\0');
    return zero == std::string_view::npos ? s : s.substr(0, zero);
}

// Half away from zero of a non-negative value, after the push of 1e-12.
double roundHalfUp(double s) {
    double whole = 0;
    const double fraction = std::modf(s + 1e-12, &whole);
    return fraction >= 0.5 ? whole + 1 : whole;
}

}  // namespace

std::string concatTexts(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const auto part : parts) size += asText(part).size();
    std::string result;
    result.reserve(size);
    for (const auto part : parts) result += asText(part);
    return result;
}

int compareTexts(std::string_view a, std::string_view b) {
    const int order = asText(a).compare(asText(b));  // memcmp: bytes as unsigned
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

double roundTo(double x, int digits) {
    if (x == 0 || std::isnan(x)) return x;
    const double magnitude = std::fabs(x);
    double result = 0;
    if (digits > 0) {
        const double p = std::pow(10.0, digits);
        result = roundHalfUp(magnitude * p) / p;
    } else if (digits == 0) {
        result = roundHalfUp(magnitude);
    } else {
        const double p = std::pow(10.0, -digits);
        result = roundHalfUp(magnitude / p) * p;
    }
    return x < 0 ? -result : result;
}

std::string numberToText(std::int32_t value) { return std::to_string(value); }

std::string numberToText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    std::string text = buffer;
    // The C library writes at least two exponent digits; the window shows three.
    const auto e = text.find('e');
    if (e != std::string::npos && e + 2 < text.size()) {
        const std::size_t digits = text.size() - (e + 2);
        if (digits < 3) text.insert(e + 2, 3 - digits, '0');
    }
    return text;
}

std::int32_t truncateToInteger(double x) {
    constexpr double limit = 9223372036854775808.0;  // 2 to the 63rd
    if (!std::isfinite(x) || std::fabs(x) >= limit) return 0;
    const auto whole = static_cast<std::int64_t>(x);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
}
