#include "download/http_header.h"

#include <algorithm>

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::int64_t largestSize = 2147483647;

// The value of a field, looked up at the start of a line, up to the line's
// end; CR and LF never reach a later request.
std::optional<std::string> fieldValue(std::string_view header, std::string_view name) {
    const std::string pattern = std::string(lineEnd) + std::string(name);
    const std::size_t at = header.find(pattern);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t start = at + pattern.size();
    const std::size_t end = header.find(lineEnd, start);
    std::string value(header.substr(start, end == std::string_view::npos ? end : end - start));
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
    return value;
}

std::string firstOf(std::string_view header, std::string_view name, std::string_view variant) {
    if (auto value = fieldValue(header, name)) return *value;
    return fieldValue(header, variant).value_or(std::string());
}

std::optional<std::int64_t> parseNumber(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

std::optional<HeaderSpan> findHeader(std::string_view received) {
    const std::size_t status = std::min(received.find("HTTP/1.1"), received.find("HTTP/1.0"));
    if (status == std::string_view::npos) return std::nullopt;
    const std::size_t empty = received.find("\r\n\r\n", status);
    if (empty == std::string_view::npos) return std::nullopt;
    return HeaderSpan{status, empty + 4};
}

ResponseHeader parseHeader(std::string_view header) {
    ResponseHeader parsed;
    for (char c : header.substr(std::min<std::size_t>(9, header.size()), 3)) {
        if (c < '0' || c > '9') break;
        parsed.status = parsed.status * 10 + (c - '0');
    }
    const int status = parsed.status;
    if (status == 200 || status == 301 || status == 302) {
        if (auto value = fieldValue(header, "Content-Length: "))
            parsed.contentLength = parseContentLength(*value);
        else if (auto variant = fieldValue(header, "Content-length: "))
            parsed.contentLength = parseContentLength(*variant);
    }
    if (status == 301 || status == 302)
        parsed.location = fieldValue(header, "Location: ").value_or(std::string());
    if (status == 200 || status == 206 || status == 301 || status == 302) {
        parsed.setCookie = firstOf(header, "Set-Cookie: ", "Set-cookie: ");
        parsed.disposition = firstOf(header, "Content-Disposition: ", "Content-disposition: ");
    }
    if (status == 206) parsed.contentRange = firstOf(header, "Content-Range: ", "Content-range: ");
    return parsed;
}

std::int64_t parseContentLength(std::string_view value) {
    const std::size_t last = value.find_last_not_of(" \t");
    const auto number = parseNumber(value.substr(0, last == std::string_view::npos ? 0 : last + 1));
    if (!number || *number > largestSize) return badContentLength;
    return *number;
}

std::string dispositionFileName(std::string_view disposition) {
    constexpr std::string_view key = "filename=";
    const std::size_t at = disposition.find(key);
    if (at == std::string_view::npos) return {};
    std::string_view name = disposition.substr(at + key.size());
    if (name.starts_with('"')) {
        name.remove_prefix(1);
        name = name.substr(0, name.find('"'));
    }
    return std::string(name);
}

std::optional<ContentRange> parseContentRange(std::string_view value) {
    constexpr std::string_view unit = "bytes ";
    if (!value.starts_with(unit)) return std::nullopt;
    value.remove_prefix(unit.size());
    const std::size_t dash = value.find('-');
    const std::size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = parseNumber(value.substr(0, dash));
    const auto last = parseNumber(value.substr(dash + 1, slash - dash - 1));
    if (!first || !last || *last < *first) return std::nullopt;
    ContentRange range{*first, -1};
    const std::string_view total = value.substr(slash + 1);
    if (total != "*") {
        const auto number = parseNumber(total);
        if (!number) return std::nullopt;
        range.total = *number;
    }
    return range;
}
