// A slow, distant link for the engine benchmark, made in user space:
//   engine_delay_relay <listen port> <server port> [one-way delay ms] [Mbit/s]
// Accepts on 127.0.0.1:<listen port>, connects each client to
// 127.0.0.1:<server port> and forwards both directions through one shared
// link: every chunk read from one side waits its turn on the link's rate
// (default 100 Mbit/s, Ethernet framing counted), then the one-way delay
// (default 20 ms), before it is written to the other side. The link holds at
// most what it carries in one delay plus a router's queue; beyond that the
// relay stops reading, so senders are slowed by TCP's own flow control rather
// than by lost packets. TCP ends at the relay: each side's connection is a
// loopback one.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t chunkSize = 8192;
constexpr std::size_t routerQueue = 128 * 1024;
// The rate is the wire's: an Ethernet frame of 1538 bytes carries 1448 bytes
// of a TCP stream (1500-byte packets with time stamps).
constexpr double wireBytesPerPayloadByte = 1538.0 / 1448.0;

struct Link {
    Clock::duration delay;
    double bytesPerSecond;
};

// One direction of the link, shared by every connection through it: chunks
// are sent one after another at the link's rate and arrive one delay later.
// The wire holds at most what it carries in one delay plus a router's queue.
class Wire {
public:
    explicit Wire(const Link& link)
        : link_(link),
          capacity_(static_cast<std::size_t>(link.bytesPerSecond *
                                             std::chrono::duration<double>(link.delay).count()) +
                    routerQueue) {}

    // Waits while the wire is full; returns when the chunk arrives at the far end.
    Clock::time_point send(std::size_t bytes) {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return held_ < capacity_; });
        const auto now = Clock::now();
        if (free_ < now) free_ = now;
        free_ += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
            static_cast<double>(bytes) * wireBytesPerPayloadByte / link_.bytesPerSecond));
        held_ += bytes;
        return free_ + link_.delay;
    }

    void arrived(std::size_t bytes) {
        std::lock_guard lock(mutex_);
        held_ -= bytes;
        room_.notify_all();
    }

private:
    const Link link_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::size_t held_ = 0;
    Clock::time_point free_{};  // when the link has sent what it was given
};

// One connection's direction: the reader puts chunks in with the time they
// arrive at the far end, the writer takes them out when that time has come.
class DelayLine {
public:
    explicit DelayLine(Wire& wire) : wire_(wire) {}

    // An empty chunk marks the end of the stream.
    void put(std::vector<char> bytes) {
        const auto due = wire_.send(bytes.size());
        std::lock_guard lock(mutex_);
        chunks_.push_back({due, std::move(bytes)});
        added_.notify_one();
    }

    std::vector<char> take() {
        std::unique_lock lock(mutex_);
        added_.wait(lock, [&] { return !chunks_.empty(); });
        const auto due = chunks_.front().due;
        lock.unlock();
        std::this_thread::sleep_until(due);  // only this thread takes chunks out
        lock.lock();
        std::vector<char> bytes = std::move(chunks_.front().bytes);
        chunks_.pop_front();
        lock.unlock();
        wire_.arrived(bytes.size());
        return bytes;
    }

private:
    struct Chunk {
        Clock::time_point due;
        std::vector<char> bytes;
    };

    Wire& wire_;
    std::mutex mutex_;
    std::condition_variable added_;
    std::deque<Chunk> chunks_;
};

bool writeAll(int fd, const std::vector<char>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Forwards from one socket to the other through a delay line until the source
// ends; the end is passed on as a half-close.
void forward(int from, int to, Wire& wire) {
    DelayLine line(wire);
    std::thread writer([&] {
        bool ok = true;
        for (;;) {
            const std::vector<char> bytes = line.take();
            if (bytes.empty()) break;
            if (ok && !writeAll(to, bytes)) {
                ok = false;
                ::shutdown(from, SHUT_RD);  // ends the reader; the line is only drained
            }
        }
        ::shutdown(to, SHUT_WR);
    });
    for (;;) {
        std::vector<char> bytes(chunkSize);
        const ssize_t n = ::recv(from, bytes.data(), bytes.size(), 0);
        if (n <= 0) break;
        bytes.resize(static_cast<std::size_t>(n));
        line.put(std::move(bytes));
    }
    line.put({});
    writer.join();
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// The two directions of the link, shared by all connections.
struct Wires {
    Wire down;
    Wire up;
};

void relay(int client, int serverPort, Wires& wires) {
    const int server = connectTo(serverPort);
    if (server < 0) {
        ::close(client);
        return;
    }
    for (int fd : {client, server}) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    std::thread up(forward, client, server, std::ref(wires.up));
    forward(server, client, wires.down);
    up.join();
    ::close(server);
    ::close(client);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <listen port> <server port> [one-way delay ms] [Mbit/s]\n",
                     argv[0]);
        return 2;
    }
    const int listenPort = std::atoi(argv[1]);
    const int serverPort = std::atoi(argv[2]);
    const Link link{std::chrono::milliseconds(argc > 3 ? std::atoi(argv[3]) : 20),
                    (argc > 4 ? std::atof(argv[4]) : 100.0) * 1e6 / 8};
    if (link.bytesPerSecond <= 0) {
        std::fprintf(stderr, "the rate must be above 0\n");
        return 2;
    }

    Wires wires{Wire(link), Wire(link)};

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(listenPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 ||
        ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0) {
        std::perror("listen");
        return 1;
    }
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::thread(relay, client, serverPort, std::ref(wires)).detach();
    }
}
