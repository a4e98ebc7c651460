#include "download/url_parts.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lowerCopy(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

struct SchemePrefix {
    std::string_view prefix;
    Scheme scheme;
};

constexpr SchemePrefix schemePrefixes[] = {
    {"http://", Scheme::http}, {"ftp://", Scheme::ftp},   {"mms://", Scheme::mms},
    {"mmst://", Scheme::mms},  {"rtsp://", Scheme::rtsp},
};

}  // namespace

std::optional<UrlParts> splitUrl(std::string_view url) {
    const std::string lower = lowerCopy(url);
    UrlParts parts;
    std::size_t hostStart = 0;
    for (const auto& [prefix, scheme] : schemePrefixes) {
        if (lower.starts_with(prefix)) {
            parts.scheme = scheme;
            hostStart = prefix.size();
            break;
        }
    }
    if (parts.scheme == Scheme::none) return std::nullopt;
    const std::size_t slash = url.find('/', hostStart);
    if (slash == std::string_view::npos || slash == hostStart) return std::nullopt;
    parts.host = std::string(url.substr(hostStart, slash - hostStart));
    parts.path = std::string(url.substr(slash));
    parts.port = portOfHostText(parts.host, defaultPort(parts.scheme));
    return parts;
}

int defaultPort(Scheme scheme) {
    switch (scheme) {
        case Scheme::http:
            return 80;
        case Scheme::ftp:
            return 21;
        case Scheme::mms:
            return 1755;
        case Scheme::rtsp:
            return 554;
        case Scheme::none:
            break;
    }
    return 0;
}

int portOfHostText(std::string_view hostText, int fallback) {
    const std::size_t colon = hostText.find(':');
    if (colon == std::string_view::npos) return fallback;
    int port = 0;
    for (char c : hostText.substr(colon + 1)) {
        if (c < '0' || c > '9') break;
        port = port * 10 + (c - '0');
        if (port > 65535)
            return 0;  // no such port: the connect fails and is retried like any other
    }
    return port;
}

std::string_view hostName(std::string_view hostText) {
    return hostText.substr(0, hostText.find(':'));
}

bool isDottedAddress(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part =
            text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (part.empty() || part.size() > 3) return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255) return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

std::string encodeTarget(std::string_view target) {
    std::string encoded;
    encoded.reserve(target.size());
    for (char c : target) {
        if (c == ' ')
            encoded += "%20";
        else
            encoded += c;
    }
    return encoded;
}

std::string_view upToLastSlash(std::string_view text) {
    const std::size_t slash = text.rfind('/');
    return slash == std::string_view::npos ? text : text.substr(0, slash);
}
