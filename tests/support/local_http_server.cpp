#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace {

constexpr std::size_t maxHeadBytes = 64 * 1024;

// Waits until `fd` is readable or the stop pipe fires; false when stopping.
bool waitReadable(int fd, int stopFd, int timeoutMs = -1) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        return (fds[1].revents == 0);
    }
}

bool sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string requestTarget(const std::string& head) {
    const auto first = head.find(' ');
    if (first == std::string::npos) return {};
    const auto second = head.find(' ', first + 1);
    if (second == std::string::npos) return {};
    return head.substr(first + 1, second - first - 1);
}

}  // namespace

CannedReply CannedReply::redirect(std::string location, int status) {
    CannedReply reply;
    reply.status = status;
    reply.reason = "Found";
    reply.headers.emplace_back("Location", std::move(location));
    return reply;
}

struct LocalHttpServer::Impl {
    int listenFd = -1;
    int stopPipe[2] = {-1, -1};
    std::uint16_t port = 0;
    std::thread acceptor;

    mutable std::mutex mutex;
    std::map<std::string, CannedReply> replies;
    std::vector<std::string> requests;
    std::vector<std::thread> connections;

    void acceptLoop();
    bool stopRequested(int waitMs) const;
    void handle(int fd);
    std::optional<std::string> readHead(int fd);
};

LocalHttpServer::LocalHttpServer() : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    if (::pipe2(d.stopPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    d.listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (d.listenFd < 0 || ::bind(d.listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(d.listenFd, 64) != 0 ||
        ::getsockname(d.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    d.port = ntohs(address.sin_port);
    d.acceptor = std::thread([&d] { d.acceptLoop(); });
}

LocalHttpServer::~LocalHttpServer() {
    Impl& d = *m_impl;
    const char stop = 's';
    (void)!::write(d.stopPipe[1], &stop, 1);
    d.acceptor.join();
    // The acceptor has ended, so nobody adds to the list any more.
    for (auto& thread : d.connections) thread.join();
    ::close(d.listenFd);
    ::close(d.stopPipe[0]);
    ::close(d.stopPipe[1]);
}

void LocalHttpServer::serve(std::string target, CannedReply reply) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->replies[std::move(target)] = std::move(reply);
}

std::uint16_t LocalHttpServer::port() const { return m_impl->port; }

std::string LocalHttpServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(m_impl->port);
}

std::string LocalHttpServer::url(std::string_view target) const {
    return "http://" + hostPort() + std::string(target);
}

std::vector<std::string> LocalHttpServer::requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

void LocalHttpServer::Impl::acceptLoop() {
    while (waitReadable(listenFd, stopPipe[0])) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        connections.emplace_back([this, fd] {
            handle(fd);
            ::close(fd);
        });
    }
}

bool LocalHttpServer::Impl::stopRequested(int waitMs) const {
    pollfd stop{stopPipe[0], POLLIN, 0};
    while (::poll(&stop, 1, waitMs) < 0 && errno == EINTR) {
    }
    return stop.revents != 0;
}

std::optional<std::string> LocalHttpServer::Impl::readHead(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > maxHeadBytes || !waitReadable(fd, stopPipe[0])) return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return head;
}

void LocalHttpServer::Impl::handle(int fd) {
    const auto head = readHead(fd);
    if (!head) return;
    CannedReply reply;
    {
        std::lock_guard lock(mutex);
        requests.push_back(*head);
        const auto found = replies.find(requestTarget(*head));
        if (found != replies.end()) {
            reply = found->second;
        } else {
            reply.status = 404;
            reply.reason = "Not Found";
        }
    }
    if (reply.delay.count() > 0 && stopRequested(static_cast<int>(reply.delay.count()))) return;
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    for (const auto& [name, value] : reply.headers) out += name + ": " + value + "\r\n";
    if (reply.contentLength) out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    const std::size_t bodyBytes =
        reply.cutAfter ? std::min(*reply.cutAfter, reply.body.size()) : reply.body.size();
    out.append(reply.body, 0, bodyBytes);
    if (!sendAll(fd, out)) return;
    if (reply.stall) {
        // Until the client closes (readable with nothing to read) or the server stops.
        char sink[512];
        while (waitReadable(fd, stopPipe[0]) && ::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        return;
    }
    ::shutdown(fd, SHUT_WR);
}
