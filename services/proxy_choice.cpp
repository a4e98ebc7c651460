#include "services/proxy_choice.h"

#include <cstdlib>

namespace {

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view{};
}

std::string_view firstSet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (const auto value = environment(name); !value.empty()) return value;
    }
    return {};
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (suffix.size() > text.size()) return false;
    text.remove_prefix(text.size() - suffix.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != lower(suffix[i])) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool excluded(std::string_view host) {
    std::string_view list = firstSet({"no_proxy", "NO_PROXY"});
    if (trimmed(list) == "*") return true;
    if (host.size() > 1 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    while (!list.empty()) {
        const auto comma = list.find(',');
        std::string_view entry = trimmed(list.substr(0, comma));
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
        if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
        if (entry.empty()) continue;
        if (host.size() == entry.size() ? endsWithIgnoringCase(host, entry)
                                        : endsWithIgnoringCase(host, entry) &&
                                              host[host.size() - entry.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string proxyFor(bool secure, std::string_view host) {
    if (excluded(host)) return {};
    const auto proxy = secure ? firstSet({"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
                              : firstSet({"http_proxy", "all_proxy", "ALL_PROXY"});
    return std::string(proxy);
}
