#include "download/event_queue.h"

void EventQueue::push(EngineMessage message, bool urgent) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        messages_.push_back(std::move(message));
        wake = urgent && waiting_;
    }
    // Only a waiting task thread needs the wake-up; a busy one finds the
    // message on its next look, and the notification would cost a system call.
    if (wake) arrived_.notify_one();
}

std::deque<EngineMessage> EventQueue::takeAll(std::chrono::milliseconds idleWait) {
    std::unique_lock lock(mutex_);
    if (messages_.empty()) {
        waiting_ = true;
        arrived_.wait_for(lock, idleWait, [this] { return !messages_.empty(); });
        waiting_ = false;
    }
    std::deque<EngineMessage> taken;
    taken.swap(messages_);
    return taken;
}

std::deque<EngineMessage> EventQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    std::deque<EngineMessage> rest;
    rest.swap(messages_);
    return rest;
}
