#include "download/event_queue.h"

#include <utility>

void EventQueue::push(EngineMessage&& message, bool urgent) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        messages_.push_back(std::move(message));
        wake = waiting_ && (urgent || messages_.size() == wakeBatch);
    }
    // Only a waiting task thread needs the wake-up; a busy one finds the
    // message on its next look, and the notification would cost a system call.
    if (wake) arrived_.notify_one();
}

void EventQueue::takeAll(std::vector<EngineMessage>& taken, std::chrono::milliseconds idleWait) {
    taken.clear();
    std::unique_lock lock(mutex_);
    if (messages_.empty()) {
        waiting_ = true;
        arrived_.wait_for(lock, idleWait, [this] { return !messages_.empty(); });
        waiting_ = false;
    }
    taken.swap(messages_);
}

std::vector<EngineMessage> EventQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    return std::exchange(messages_, {});
}
