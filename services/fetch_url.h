#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An absolute http:// or https:// URL taken apart the way the web fetch needs
// it: fragment dropped, dot segments of the path resolved, nothing encoded or
// decoded. The parts must fit the sizes the fetch has always used.
struct FetchUrl {
    bool secure = false;  // https
    std::string host;     // as written; an IPv6 literal keeps its brackets
    std::uint16_t port = 0;
    std::string user;
    std::string password;
    std::string object;  // path and query, never empty ("/" at least)

    static constexpr std::size_t maxHost = 255;
    static constexpr std::size_t maxObject = 2047;
    static constexpr std::size_t maxCredential = 127;

    // Nothing for a text without a scheme, another scheme than http and https,
    // a malformed authority or port, or a part too long for its size.
    static std::optional<FetchUrl> split(std::string_view url);
};

// The path with its "." and ".." segments resolved, as for a base path.
std::string removeDotSegments(std::string_view path);
