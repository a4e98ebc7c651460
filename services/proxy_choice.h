#pragma once

#include <string>
#include <string_view>

// The proxy the environment names for a request to `host`, as the usual
// variables say: http_proxy (lower case only) for http, https_proxy or
// HTTPS_PROXY for https, else all_proxy or ALL_PROXY; none when no_proxy or
// NO_PROXY is "*" or lists the host or one of its parent domains. Empty when
// the request goes direct.
std::string proxyFor(bool secure, std::string_view host);
