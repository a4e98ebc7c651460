#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reading a response header: where it lies in the bytes received so far, and
// what the engine takes from it.

inline constexpr std::int64_t noContentLength = -1;
inline constexpr std::int64_t badContentLength = -2;  // present, but no size the engine can hold

struct HeaderSpan {
    std::size_t start = 0;  // the status line
    std::size_t end = 0;    // just after the empty line
};

// The header from a status line beginning "HTTP/1.1" or "HTTP/1.0" to the end
// of the empty line, once both have arrived.
std::optional<HeaderSpan> findHeader(std::string_view received);

struct ResponseHeader {
    int status = 0;
    std::int64_t contentLength = noContentLength;
    std::string location;
    std::string setCookie;
    std::string disposition;
    std::string contentRange;
};

ResponseHeader parseHeader(std::string_view header);

// A decimal number from 0 to 2147483647 with nothing but blanks after it.
std::int64_t parseContentLength(std::string_view value);

// The name after "filename=", between double quotes when it is quoted.
std::string dispositionFileName(std::string_view disposition);

// First byte and total size of "bytes first-last/total"; the total is -1
// when it is "*". Empty when the value has another form.
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t total = -1;
};
std::optional<ContentRange> parseContentRange(std::string_view value);
