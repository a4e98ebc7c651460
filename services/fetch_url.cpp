#include "services/fetch_url.h"

#include <charconv>

namespace {

bool equalsLower(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

std::string removeDotSegments(std::string_view path) {
    std::string input(path);
    std::string output;
    // The steps of the generic URI syntax, on whole segments.
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.erase(0, 3);
        } else if (input.starts_with("./")) {
            input.erase(0, 2);
        } else if (input.starts_with("/./")) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input == "/.." ? "/" : input.substr(3);
            const auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            const auto next = input.find('/', input[0] == '/' ? 1 : 0);
            output += input.substr(0, next);
            input.erase(0, next == std::string::npos ? input.size() : next);
        }
    }
    return output;
}

std::optional<FetchUrl> FetchUrl::split(std::string_view url) {
    url = url.substr(0, url.find('#'));
    const auto colon = url.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    FetchUrl parts;
    const auto scheme = url.substr(0, colon);
    if (equalsLower(scheme, "http")) {
        parts.port = 80;
    } else if (equalsLower(scheme, "https")) {
        parts.secure = true;
        parts.port = 443;
    } else {
        return std::nullopt;
    }
    url.remove_prefix(colon + 3);

    const auto authorityEnd = url.find_first_of("/?");
    std::string_view authority = url.substr(0, authorityEnd);
    const std::string_view rest =
        authorityEnd == std::string_view::npos ? std::string_view{} : url.substr(authorityEnd);

    const auto at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const auto userInfo = authority.substr(0, at);
        const auto separator = userInfo.find(':');
        parts.user = userInfo.substr(0, separator);
        if (separator != std::string_view::npos) parts.password = userInfo.substr(separator + 1);
        authority.remove_prefix(at + 1);
    }

    std::string_view host = authority;
    std::string_view port;
    const auto bracket = authority.rfind(']');
    const auto portColon = authority.rfind(':');
    if (portColon != std::string_view::npos &&
        (bracket == std::string_view::npos || portColon > bracket)) {
        host = authority.substr(0, portColon);
        port = authority.substr(portColon + 1);
    }
    if (host.empty()) return std::nullopt;
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc{} || end != port.data() + port.size() || value == 0 ||
            value > 65535) {
            return std::nullopt;
        }
        parts.port = static_cast<std::uint16_t>(value);
    }
    parts.host = host;

    const auto query = rest.find('?');
    std::string path(rest.substr(0, query));
    if (path.empty()) path = "/";
    parts.object = removeDotSegments(path);
    if (parts.object.empty()) parts.object = "/";
    if (query != std::string_view::npos) parts.object += rest.substr(query);

    if (parts.host.size() > maxHost || parts.object.size() > maxObject ||
        parts.user.size() > maxCredential || parts.password.size() > maxCredential) {
        return std::nullopt;
    }
    return parts;
}
