#include "download/http_transfer.h"

#include "download/text_format.h"
#include "download/url_parts.h"
#include "services/texts.h"

namespace {

constexpr int headerBlock = 4096;
constexpr std::size_t maxHeaderLength = 4097;

enum class Level { progress = 0, request = 1, header = 2, error = 3 };

void log(const ExchangeContext& context, Level level, const std::string& text) {
    if (context.log) context.log(static_cast<int>(level), text);
}

ExchangeResult finalFailure(const ExchangeContext& context, std::string_view text) {
    log(context, Level::error, std::string(text));
    return {Outcome::final};
}

// Name lookup of the opening exchange: dotted addresses are used as they are.
bool lookUp(HttpTarget& target, const ExchangeContext& context) {
    const bool viaProxy = !target.proxyHost.empty();
    const std::string hostText = viaProxy ? target.proxyHost : target.hostText;
    if (isDottedAddress(hostText)) {
        target.address = hostText;
        return true;
    }
    const std::string name(hostName(hostText));
    log(context, Level::progress,
        formatText(viaProxy ? texts::logResolvingProxy : texts::logResolving, name));
    target.address = lookupAddress(name);
    if (target.address.empty()) {
        log(context, Level::error,
            formatText(viaProxy ? texts::logResolveProxyFailed : texts::logResolveFailed, name));
        return false;
    }
    return true;
}

bool connectTo(TcpSocket& socket, const HttpTarget& target, bool opening,
               const ExchangeContext& context) {
    const bool viaProxy = !target.proxyHost.empty();
    const int port = viaProxy ? target.proxyPort : target.port;
    log(context, Level::progress,
        formatText(viaProxy ? texts::logConnectingProxy : texts::logConnecting, target.address,
                   port));
    switch (socket.connect(target.address, port, context.connectTimeout, context.stopping)) {
        case TcpSocket::Connect::connected:
            log(context, Level::progress,
                formatText(opening ? texts::logConnected : texts::logRangeConnected, target.address,
                           port));
            return true;
        case TcpSocket::Connect::timedOut:
            log(context, Level::error, formatText(texts::logConnectTimeout, target.address, port));
            return false;
        case TcpSocket::Connect::failed:
            log(context, Level::error, formatText(texts::logConnectFailed, target.address, port));
            return false;
        case TcpSocket::Connect::stopped:
            break;
    }
    return false;
}

bool sendRequest(TcpSocket& socket, const std::string& request, const ExchangeContext& context) {
    if (socket.waitWritable(context.sendTimeout) == TcpSocket::Wait::failed) {
        log(context, Level::error, std::string(texts::logSendFailed));
        return false;
    }
    socket.send(request);
    log(context, Level::request, request);
    return true;
}

// Reads until the status line and the empty line have both arrived, and judges
// the header as soon as they have.
ExchangeResult readHeader(TcpSocket& socket, const ExchangeContext& context) {
    std::string received;
    char block[headerBlock];
    for (;;) {
        if (const auto span = findHeader(received)) {
            if (span->end - span->start > maxHeaderLength)
                return finalFailure(context, texts::logHeaderTooLong);
            const std::string_view header =
                std::string_view(received).substr(span->start, span->end - span->start);
            log(context, Level::header, std::string(header));
            ExchangeResult result{Outcome::success, parseHeader(header)};
            result.body = received.substr(span->end);
            return result;
        }
        // No header can end this far in and still be short enough.
        if (received.size() > maxHeaderLength + headerBlock)
            return finalFailure(context, texts::logHeaderTooLong);
        const int got =
            socket.receive(block, headerBlock, context.receiveTimeout, context.stopping);
        if (got <= 0) {
            log(context, Level::error, std::string(texts::socketErrorText(got)));
            return {Outcome::retry};
        }
        received.append(block, static_cast<std::size_t>(got));
    }
}

}  // namespace

ExchangeResult openingExchange(TcpSocket& socket, HttpTarget& target,
                               const ExchangeContext& context) {
    for (int redirections = 0;; ++redirections) {
        if (!socket.open()) return {Outcome::final};
        if (!lookUp(target, context) || !connectTo(socket, target, true, context))
            return {Outcome::retry};
        const std::string request = buildRequest(target, target.cookieLine);
        if (request.empty()) return finalFailure(context, texts::logHttpError);
        if (!sendRequest(socket, request, context)) return {Outcome::retry};
        ExchangeResult result = readHeader(socket, context);
        if (result.outcome != Outcome::success) return result;

        const int status = result.header.status;
        if (status == 200 || status == 206) {
            if (status == 206 || result.header.contentLength < 0) {
                log(context, Level::error, std::string(texts::logNoSize));
                result.outcome = Outcome::final;
                result.noUsableSize = true;
            }
            return result;
        }
        if (status == 301 || status == 302) {
            if (result.header.location.empty())
                return finalFailure(context, texts::logRedirectNoLocation);
            if (redirections == maxRedirections)
                return finalFailure(context, texts::logRedirectFailed);
            log(context, Level::error, formatText(texts::logRedirect, result.header.location));
            if (!applyRedirection(target, result.header))
                return finalFailure(context, texts::logRedirectFailed);
            socket.close();
            continue;
        }
        if (status == 400 || status == 403 || status == 404)
            return finalFailure(context, texts::logHttpError);
        return finalFailure(context, formatText(texts::logUnsupportedStatus, status));
    }
}

ExchangeResult rangeExchange(TcpSocket& socket, const HttpTarget& target, std::int64_t nextByte,
                             std::int64_t totalSize, const ExchangeContext& context) {
    if (!socket.open()) return {Outcome::final};
    if (!connectTo(socket, target, false, context)) return {Outcome::retry};
    const std::string request = buildRequest(target, rangeLine(nextByte));
    if (request.empty()) return finalFailure(context, texts::logHttpError);
    if (!sendRequest(socket, request, context)) return {Outcome::retry};
    ExchangeResult result = readHeader(socket, context);
    if (result.outcome != Outcome::success) return result;

    const int status = result.header.status;
    if (status == 200) {
        // The server ignored the Range line: what follows starts at the file's
        // first byte, not at this range's next one.
        return finalFailure(context, texts::logHttpError);
    }
    if (status == 206) {
        const std::string& value = result.header.contentRange;
        const auto range = parseContentRange(value);
        const bool fits = value.empty() || (range && range->first == nextByte &&
                                            (range->total < 0 || range->total == totalSize));
        if (!fits) return finalFailure(context, texts::logHttpError);
        return result;
    }
    if (status == 400 || status == 403 || status == 404)
        return finalFailure(context, texts::logHttpError);
    return finalFailure(context, formatText(texts::logUnsupportedStatus, status));
}
