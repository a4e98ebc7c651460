#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "services/web_fetch.h"

std::string resolveHost(std::string_view name) {
    if (name.empty()) return {};
    const std::string host = bytesToText(name);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::string result;
    char text[INET_ADDRSTRLEN];
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) result = text;
    ::freeaddrinfo(found);
    return result;
}
