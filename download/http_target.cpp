#include "download/http_target.h"

#include "services/texts.h"

namespace {

constexpr std::size_t maxCookieLength = 4086;

std::string lineOf(std::string_view name, std::string_view value) {
    std::string line(name);
    line += value;
    line += "\r\n";
    return line;
}

}  // namespace

HttpTarget makeHttpTarget(std::string_view url, const UrlParts& parts, std::string_view referer,
                          std::string_view proxy) {
    HttpTarget target;
    target.url = std::string(url);
    target.hostText = parts.host;
    target.port = parts.port;
    target.referer = referer.empty() ? std::string(upToLastSlash(url)) : std::string(referer);
    if (!proxy.empty()) {
        const std::size_t colon = proxy.rfind(':');
        target.proxyHost = std::string(proxy.substr(0, colon));
        target.proxyPort =
            colon == std::string_view::npos ? 80 : portOfHostText(proxy.substr(colon), 80);
        target.target = target.url;
    } else {
        target.target = parts.path;
    }
    return target;
}

std::string buildRequest(const HttpTarget& target, std::string_view extraLine) {
    const std::string encoded = encodeTarget(target.target);
    if (encoded.size() > maxRequestLength) return {};
    std::string request = lineOf("GET ", encoded + " HTTP/1.1");
    request += lineOf("Host: ", target.hostText);
    if (target.proxyHost.empty()) {
        request += "Accept: */*\r\n";
        request += lineOf("Referer: ", target.referer);
        request += lineOf("User-Agent: ", texts::engineAgent);
        request += extraLine;
        request += "Pragma: no-cache\r\n";
        request += "Cache-Control: no-cache\r\n";
        request += "Connection: close";
    } else {
        request += lineOf("User-Agent: ", texts::engineAgent);
        request += "Proxy-Connection: Keep-Alive\r\n";
    }
    request += "\r\n\r\n";
    if (request.size() > maxRequestLength) return {};
    return request;
}

std::string rangeLine(std::int64_t nextByte) {
    return lineOf("Range: bytes=", std::to_string(nextByte) + "-");
}

bool applyRedirection(HttpTarget& target, const ResponseHeader& header) {
    HttpTarget next = target;
    if (!header.setCookie.empty()) {
        if (header.setCookie.size() > maxCookieLength) return false;
        next.cookieLine =
            lineOf("Cookie: ", header.setCookie.substr(0, header.setCookie.find(';')));
    }
    const std::string& location = header.location;
    if (location.starts_with("http://")) {
        const auto parts = splitUrl(location);
        if (!parts) return false;
        next.hostText = parts->host;
        next.port = portOfHostText(parts->host, target.port);
        next.target = target.proxyHost.empty() ? parts->path : location;
        next.referer = std::string(upToLastSlash(location));
    } else if (location.starts_with("ftp://")) {
        return false;
    } else if (location.starts_with('/') && target.proxyHost.empty()) {
        // A path from the server's root replaces the whole target; joining it
        // to the current folder would ask for a file that does not exist.
        next.target = location;
        next.referer = "http://" + next.hostText + std::string(upToLastSlash(location));
    } else {
        const std::size_t slash = target.target.rfind('/');
        next.target =
            slash == std::string::npos ? location : target.target.substr(0, slash + 1) + location;
        next.referer = std::string(upToLastSlash("http://" + next.hostText + "/" + location));
    }
    if (buildRequest(next, next.cookieLine).empty()) return false;
    target = std::move(next);
    return true;
}
