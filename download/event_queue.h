#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A task's messages from its connections to its task thread, first in first
// out, without a size limit.

// The texts of a log line or of sizeKnown. Most messages carry none, and
// without them a message moves as a few words.
struct MessageTexts {
    std::string text;  // a log line's message, or the path of sizeKnown
    std::string time;  // a log line's time text
};

struct EngineMessage {
    enum class Kind { startConnection, event, log, finish };

    Kind kind = Kind::event;
    std::int32_t code = 0;      // event code, or log level
    std::intptr_t subject = 0;  // event subject, or the connection of a log line
    std::int32_t value = 0;
    std::intptr_t extra = 0;
    std::unique_ptr<MessageTexts> texts;
};

class EventQueue {
public:
    // A message that is not urgent wakes a waiting task thread only once
    // wakeBatch messages wait; otherwise the thread finds it on its next look,
    // at most one idle wait later.
    void push(EngineMessage&& message, bool urgent = true);

    // Trades taken (emptied first) for everything queued so far, oldest first;
    // waits up to idleWait when nothing is queued. Handing the same vector back
    // each time lets the two buffers keep their room: a steady flow of messages
    // then allocates nothing.
    void takeAll(std::vector<EngineMessage>& taken, std::chrono::milliseconds idleWait);

    // From now on pushes are discarded; returns what was still queued.
    std::vector<EngineMessage> close();

    // Enough to keep the task thread's wake-ups rare next to the read cycles,
    // few enough to bound the memory of one batch.
    static constexpr std::size_t wakeBatch = 1024;

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<EngineMessage> messages_;
    bool waiting_ = false;
    bool closed_ = false;
};
