#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include "download/tcp_socket.h"

namespace {

constexpr int pollStepMs = 10;

// errno values as the target systems number their socket errors, so that the
// log describes them in the program's own words.
int socketErrorCode(int error) {
    switch (error) {
        case EINTR:
            return -10004;
        case EFAULT:
            return -10014;
        case EINVAL:
            return -10022;
        case EAGAIN:
            return -10035;
        case EINPROGRESS:
            return -10036;
        case ENOTSOCK:
            return -10038;
        case EMSGSIZE:
            return -10040;
        case EOPNOTSUPP:
            return -10045;
        case ENETDOWN:
            return -10050;
        case ENETUNREACH:
            return -10051;
        case ENETRESET:
            return -10052;
        case ECONNABORTED:
            return -10053;
        case ECONNRESET:
            return -10054;
        case ENOTCONN:
            return -10057;
        case EPIPE:
        case ESHUTDOWN:
            return -10058;
        case ETIMEDOUT:
            return -10060;
        case ECONNREFUSED:
            return -10061;
        case EHOSTUNREACH:
            return -10065;
        default:
            return -(10000 + error);
    }
}

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

TcpSocket::~TcpSocket() { close(); }

bool TcpSocket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

void TcpSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

TcpSocket::Connect TcpSocket::connect(const std::string& address, int port, int timeoutMs,
                                      const StopCheck& stopping) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1)
        return Connect::failed;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return Connect::connected;
    if (errno != EINPROGRESS) return Connect::failed;

    const auto start = Clock::now();
    do {
        if (stopping()) return Connect::stopped;
        pollfd watch{fd_, POLLIN | POLLOUT, 0};
        const int ready = ::poll(&watch, 1, pollStepMs);
        if (ready < 0 && errno != EINTR) return Connect::failed;
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
                return Connect::failed;
            return Connect::connected;
        }
    } while (msSince(start) < timeoutMs);
    return Connect::timedOut;
}

TcpSocket::Wait TcpSocket::waitWritable(int timeoutMs) {
    pollfd watch{fd_, POLLOUT, 0};
    const int ready = ::poll(&watch, 1, timeoutMs > 0 ? timeoutMs : -1);
    if (ready < 0) return Wait::failed;
    return ready == 0 ? Wait::timedOut : Wait::ready;
}

void TcpSocket::send(std::string_view data) {
    // One call, as the request is small; a short or failed send shows up as a
    // missing answer and ends in the receive time-out.
    [[maybe_unused]] const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
}

int TcpSocket::receive(char* buffer, int capacity, int timeoutMs, const StopCheck& stopping) {
    std::optional<Clock::time_point> idleSince;  // read only once a wait begins
    for (;;) {
        // Try first: on a busy link the data is already there and the poll is wasted.
        const ssize_t got = ::recv(fd_, buffer, static_cast<std::size_t>(capacity), MSG_DONTWAIT);
        if (got > 0) return static_cast<int>(got);
        if (got == 0) return readClosed;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return socketErrorCode(errno);

        if (!idleSince) idleSince = Clock::now();
        for (;;) {
            if (stopping()) return readInterrupted;
            if (msSince(*idleSince) > timeoutMs) return readTimedOut;
            pollfd watch{fd_, POLLIN, 0};
            const int ready = ::poll(&watch, 1, pollStepMs);
            if (ready < 0 && errno != EINTR) return socketErrorCode(errno);
            if (ready > 0) break;
        }
    }
}

std::string lookupAddress(std::string_view name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(std::string(name).c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    char dotted[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = ::inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted) != nullptr;
    ::freeaddrinfo(found);
    return ok ? dotted : std::string();
}
