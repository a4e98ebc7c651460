#pragma once

#include <optional>
#include <string>
#include <string_view>

// The parts of a task's URL: scheme, host text (with any ":" and port written
// there) and path (from the first "/" after the host, letter case kept).

enum class Scheme { none, http, ftp, mms, rtsp };

struct UrlParts {
    Scheme scheme = Scheme::none;
    std::string host;
    std::string path;
    int port = 0;  // the written port, or the scheme's default
};

// Empty when the scheme is unknown, the host is empty or no "/" follows it.
std::optional<UrlParts> splitUrl(std::string_view url);

int defaultPort(Scheme scheme);

// The number after the first ":" of a host text, or fallback when none is written.
int portOfHostText(std::string_view hostText, int fallback);

// The host text cut at its first ":".
std::string_view hostName(std::string_view hostText);

// Four parts separated by ".", each of at most three digits with a value up to 255.
bool isDottedAddress(std::string_view text);

// The request target as sent: every blank becomes %20, nothing else is encoded.
std::string encodeTarget(std::string_view target);

// The text up to its last "/", that "/" excluded; the whole text when it has none.
std::string_view upToLastSlash(std::string_view text);
