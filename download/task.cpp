#include "download/task.h"

#include <chrono>
#include <iterator>
#include <utility>

#include "download/connection.h"
#include "download/engine_tuning.h"
#include "download/log_time.h"

namespace {

using namespace std::chrono_literals;

constexpr auto idleWait = 100ms;
constexpr auto stopStep = 20ms;

std::atomic<int> liveTaskThreadCount{0};

}  // namespace

int engine_tuning::liveTaskThreads() { return liveTaskThreadCount; }

Task::Task(TaskParam param, UrlParts parts)
    : param_(std::move(param)),
      scheme_(parts.scheme),
      target_(makeHttpTarget(param_.url, parts, param_.referer, param_.proxy)) {}

Task::~Task() = default;

bool Task::start(std::shared_ptr<Download::Slot> slot) {
    try {
        ++liveTaskThreadCount;
        std::thread([self = shared_from_this(), slot = std::move(slot)]() mutable {
            self->run(std::move(slot));
            self.reset();  // the task is released before the thread counts itself out
            --liveTaskThreadCount;
        }).detach();
        return true;
    } catch (const std::system_error&) {
        --liveTaskThreadCount;
        alive_ = false;
        return false;
    }
}

void Task::stop() {
    if (!alive_) return;
    stopFlag_ = true;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(param_.stopWait);
    while (active_ > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(stopStep);
    queue_.push({EngineMessage::Kind::finish});
}

void Task::raise(EngineEvent code, std::intptr_t subject, std::int32_t value, std::intptr_t extra,
                 std::string text) {
    if (!param_.eventCallback) return;
    // One bytesReceived per read cycle: waking the task thread for each would
    // cost more than the cycle itself; they wait for the next look instead.
    EngineMessage message{EngineMessage::Kind::event, code, subject, value, extra};
    if (!text.empty()) message.texts = std::make_unique<MessageTexts>(std::move(text));
    queue_.push(std::move(message), code != bytesReceived);
}

void Task::log(int connection, int level, const std::string& text) {
    if (!param_.logCallback) return;
    EngineMessage message{EngineMessage::Kind::log, level, connection};
    message.texts = std::make_unique<MessageTexts>(text, formatLogTime(localTimeNow()));
    queue_.push(std::move(message));
}

void Task::countReceived(int bytes, bool countSpeed) {
    downloaded_.fetch_add(bytes, std::memory_order_relaxed);
    if (countSpeed) speed_.fetch_add(bytes, std::memory_order_relaxed);
}

std::int32_t Task::askSameName(std::int64_t existingSize) {
    if (!param_.eventCallback) return 0;  // no one to ask: rename
    return param_.eventCallback(sameNameFile, static_cast<std::intptr_t>(existingSize),
                                static_cast<std::int32_t>(totalSize_), 0, this);
}

void Task::requestConnections(int count) {
    for (int i = 0; i < count; ++i) queue_.push({EngineMessage::Kind::startConnection});
}

void Task::connectionEnded() {
    std::lock_guard lock(counterMutex_);
    if (active_ == 1) queue_.push({EngineMessage::Kind::finish});
    --active_;
}

void Task::run(std::shared_ptr<Download::Slot> slot) {
    queue_.push({EngineMessage::Kind::startConnection});
    std::vector<EngineMessage> batch;
    bool finished = false;
    while (!finished) {
        queue_.takeAll(batch, idleWait);
        for (auto message = batch.begin(); message != batch.end(); ++message) {
            if (message->kind == EngineMessage::Kind::finish) {
                finish(std::vector<EngineMessage>(std::make_move_iterator(message + 1),
                                                  std::make_move_iterator(batch.end())));
                finished = true;
                break;
            }
            if (message->kind == EngineMessage::Kind::startConnection)
                startConnection();
            else
                deliver(*message);
        }
    }

    std::int32_t value = static_cast<std::int32_t>(totalSize_);
    if (stopFlag_) {
        std::lock_guard lock(rangeMutex_);
        value = static_cast<std::int32_t>(ranges_.doneSum());
        downloaded_ = value;
    }
    if (param_.eventCallback)
        param_.eventCallback(taskEnded, reinterpret_cast<std::intptr_t>(this), value, 0, this);

    alive_ = false;
    std::lock_guard lock(slot->mutex);
    if (slot->task.get() == this) slot->task.reset();
}

void Task::startConnection() {
    if (stopFlag_) return;
    const int id = started_ + 1;
    std::optional<std::size_t> range;
    {
        std::lock_guard lock(rangeMutex_);
        if (!openingStarted_) {
            openingStarted_ = true;  // the first connection makes the range table
        } else {
            range = ranges_.takeFree(id);
            if (!range) range = ranges_.splitLargest(id);
            if (!range) return;
        }
    }
    {
        std::lock_guard lock(counterMutex_);
        ++started_;
        ++active_;
    }
    try {
        std::lock_guard lock(connectionMutex_);
        connections_.emplace_back(runConnection, shared_from_this(), id, range);
    } catch (const std::system_error&) {
        if (range) {
            std::lock_guard lock(rangeMutex_);
            ranges_[*range].inUse = false;
        }
        connectionEnded();
    }
}

void Task::deliver(const EngineMessage& message) {
    if (message.kind == EngineMessage::Kind::event && param_.eventCallback) {
        const std::intptr_t extra =
            message.code == sizeKnown
                ? reinterpret_cast<std::intptr_t>(message.texts ? message.texts->text.c_str() : "")
                : message.extra;
        const std::intptr_t subject =
            message.code == sizeKnown ? reinterpret_cast<std::intptr_t>(this) : message.subject;
        param_.eventCallback(message.code, subject, message.value, extra, this);
    } else if (message.kind == EngineMessage::Kind::log && param_.logCallback && message.texts) {
        param_.logCallback(message.subject, message.texts->time, message.texts->text, message.code,
                           this);
    }
}

void Task::finish(std::vector<EngineMessage> rest) {
    // Messages queued before the finish was taken are still delivered; those
    // of the connections cut off below are not.
    for (EngineMessage& late : queue_.close()) rest.push_back(std::move(late));
    cutOff_ = true;
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(connectionMutex_);
        connections.swap(connections_);
    }
    for (std::thread& connection : connections)
        connection.join();  // each notices the cut-off within one polling step
    file_.close();
    for (const EngineMessage& message : rest) {
        if (message.kind == EngineMessage::Kind::event || message.kind == EngineMessage::Kind::log)
            deliver(message);
    }
}
