#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "download/http_header.h"
#include "download/http_target.h"
#include "download/tcp_socket.h"

// The HTTP side of a connection: the opening exchange, which learns the file's
// size, and the range exchange, which asks for the rest of a range. Each ends
// in success (the socket stays open for the body), a failure worth a retry, or
// a final failure.

enum class Outcome { success, retry, final };

struct ExchangeContext {
    int connectTimeout = 20000;
    int sendTimeout = 20000;
    int receiveTimeout = 20000;
    StopCheck stopping;
    std::function<void(int level, const std::string& text)> log;  // may be empty
};

struct ExchangeResult {
    Outcome outcome = Outcome::final;
    ResponseHeader header;
    std::string body;  // body bytes that arrived with the header
    bool noUsableSize = false;
};

// Redirections followed before a further one is refused as a loop.
inline constexpr int maxRedirections = 20;

ExchangeResult openingExchange(TcpSocket& socket, HttpTarget& target,
                               const ExchangeContext& context);

ExchangeResult rangeExchange(TcpSocket& socket, const HttpTarget& target, std::int64_t nextByte,
                             std::int64_t totalSize, const ExchangeContext& context);
