#pragma once

#include <string>
#include <string_view>

#include "download/http_header.h"
#include "download/url_parts.h"

// What a task's HTTP requests are made of: the request target, the Host text,
// the Referer text, the extra header line of a redirection, and where to
// connect. Set up when the task is added; changed only by a redirection of
// the opening exchange, before any other connection exists.

inline constexpr std::size_t maxRequestLength = 1023;

struct HttpTarget {
    std::string url;     // as the task was given it
    std::string target;  // the path, or the whole URL through a proxy; not yet encoded
    std::string hostText;
    std::string referer;
    std::string cookieLine;  // "Cookie: ...\r\n" after a redirection that set one
    int port = 80;
    std::string proxyHost;  // empty: a direct connection
    int proxyPort = 80;
    std::string address;  // dotted, once looked up; the range exchange reuses it
};

HttpTarget makeHttpTarget(std::string_view url, const UrlParts& parts, std::string_view referer,
                          std::string_view proxy);

// The request text; extraLine is the cookie line or a Range line (with its
// line end). Empty when it would be longer than maxRequestLength.
std::string buildRequest(const HttpTarget& target, std::string_view extraLine);

std::string rangeLine(std::int64_t nextByte);

// False when the redirection cannot be applied (cookie too long, an ftp://
// location, an http:// location without a path, or a request that would grow
// past its limit).
bool applyRedirection(HttpTarget& target, const ResponseHeader& header);
