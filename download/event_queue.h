#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

// A task's messages from its connections to its task thread, first in first
// out, without a size limit.

struct EngineMessage {
    enum class Kind { startConnection, event, log, finish };

    Kind kind = Kind::event;
    std::int32_t code = 0;      // event code, or log level
    std::intptr_t subject = 0;  // event subject, or the connection of a log line
    std::int32_t value = 0;
    std::intptr_t extra = 0;
    std::string text;  // a log line's message, or the path of sizeKnown
    std::string time;  // a log line's time text
};

class EventQueue {
public:
    // A message that is not urgent wakes no one: the task thread finds it on
    // its next look, at most one idle wait later.
    void push(EngineMessage message, bool urgent = true);

    // Everything queued so far, oldest first; waits up to idleWait when empty.
    std::deque<EngineMessage> takeAll(std::chrono::milliseconds idleWait);

    // From now on pushes are discarded; returns what was still queued.
    std::deque<EngineMessage> close();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<EngineMessage> messages_;
    bool waiting_ = false;
    bool closed_ = false;
};
