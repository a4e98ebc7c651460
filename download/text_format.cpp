#include "download/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace {

// The views of the fixed texts are not guaranteed to end in a zero byte, so
// every caller passes a zero-ended copy.

std::string vformat(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), pattern, args);
        result.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}

}  // namespace

std::string formatText(std::string_view format, std::string_view text) {
    return vformat(std::string(format).c_str(), std::string(text).c_str());
}

std::string formatText(std::string_view format, std::string_view text, int number) {
    return vformat(std::string(format).c_str(), std::string(text).c_str(), number);
}

std::string formatText(std::string_view format, int a) {
    return vformat(std::string(format).c_str(), a);
}

std::string formatText(std::string_view format, int a, int b) {
    return vformat(std::string(format).c_str(), a, b);
}

std::string formatText(std::string_view format, int a, int b, int c) {
    return vformat(std::string(format).c_str(), a, b, c);
}
