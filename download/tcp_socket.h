#pragma once

#include <functional>
#include <string>
#include <string_view>

// The TCP socket of one connection. Every wait is made of 10 ms polling steps
// so that a stopping task is noticed quickly.

using StopCheck = std::function<bool()>;

// Codes of a read that brought no byte; platform errors are reported as the
// negated socket error numbers of the target systems (texts::socketErrorText
// describes both kinds).
inline constexpr int readInterrupted = -5;  // the task or the connection is stopping
inline constexpr int readTimedOut = -10;
inline constexpr int readClosed = -22;

class TcpSocket {
public:
    enum class Connect { connected, timedOut, failed, stopped };
    enum class Wait { ready, timedOut, failed };

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool open();  // false: no socket can be made
    void close();
    bool isOpen() const { return fd_ >= 0; }

    Connect connect(const std::string& address, int port, int timeoutMs, const StopCheck& stopping);
    Wait waitWritable(int timeoutMs);  // 0: without limit
    void send(std::string_view data);  // errors show later as a missing answer

    // At most capacity bytes, as soon as any have arrived: the count, or one of
    // the codes above when none came. Each byte resets the time-out.
    int receive(char* buffer, int capacity, int timeoutMs, const StopCheck& stopping);

private:
    int fd_ = -1;
};

// The first IPv4 address of a name, dotted; empty when the lookup fails.
std::string lookupAddress(std::string_view name);
