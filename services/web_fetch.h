#pragma once

#include <string>
#include <string_view>

// The program's view of the network: one GET of a whole body, a name lookup,
// and the body as text. None of them reports an error other than by an empty
// result.

// The body of an http:// or https:// resource, whatever the status; the bytes
// received before a failure; empty when nothing arrived.
std::string fetchUrl(std::string_view url);

// Dotted-decimal text of the host's first IPv4 address, or the empty text.
std::string resolveHost(std::string_view name);

// The bytes before the first zero byte.
std::string bytesToText(std::string_view data);
