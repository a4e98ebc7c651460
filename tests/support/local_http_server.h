#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// An HTTP server for tests, in the test's own process, on 127.0.0.1 and a free
// port. It answers every request with the reply registered for its request
// target (the text between the method and the version, query included; a proxy
// request's absolute URL likewise), else with a bare 404, and keeps each
// request's raw head. One thread per connection; the destructor closes every
// connection and joins every thread, stalled ones included.
//
//     LocalHttpServer server;
//     server.serve("/tolvek/09update.txt", {.body = "notice"});
//     fetchUrl(server.url("/tolvek/09update.txt"));
//     server.requests();  // {"GET /tolvek/09update.txt HTTP/1.0\r\n...\r\n\r\n"}
struct CannedReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;  // sent in order
    std::string body;
    bool contentLength = true;  // announce the body's length
    // Close the connection after this many body bytes (the announced length
    // stays the whole body's).
    std::optional<std::size_t> cutAfter;
    // After the head and the bytes up to `cutAfter`, or the whole body, send
    // nothing more and keep the connection open until the client gives up or
    // the server stops.
    bool stall = false;
    // Wait this long before answering at all.
    std::chrono::milliseconds delay{0};

    static CannedReply redirect(std::string location, int status = 302);
};

class LocalHttpServer {
public:
    LocalHttpServer();  // listening when constructed; throws if it cannot
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    void serve(std::string target, CannedReply reply);

    std::uint16_t port() const;
    std::string hostPort() const;                    // "127.0.0.1:<port>"
    std::string url(std::string_view target) const;  // "http://127.0.0.1:<port>" + target

    std::vector<std::string> requests() const;  // raw request heads, in order of arrival

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
