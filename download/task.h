#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "download/event_queue.h"
#include "download/http_target.h"
#include "download/local_file.h"
#include "download/range_table.h"
#include "download/transfer_engine.h"
#include "download/url_parts.h"

// The slot of a Download: shared with the task thread, which outlives the
// Download and clears the slot when its task has ended.
struct Download::Slot {
    std::mutex mutex;
    std::shared_ptr<Task> task;
};

// One download: its copied parameters, counters, ranges, local file and the
// task thread that delivers every event and log line in the order raised.
class Task : public std::enable_shared_from_this<Task> {
public:
    Task(TaskParam param, UrlParts parts);
    ~Task();

    // Starts the task thread; the slot is cleared by it at the end.
    bool start(std::shared_ptr<Download::Slot> slot);
    // The destruction of the Download: stop flag, a bounded wait for the
    // connections, then the finish; never waits for the task thread.
    void stop();

    bool alive() const { return alive_; }
    std::int32_t takeSpeed() { return speed_.exchange(0); }
    std::int32_t downloadedLength() const { return downloaded_; }

    // For the connections.
    const TaskParam& param() const { return param_; }
    Scheme scheme() const { return scheme_; }
    HttpTarget& target() { return target_; }
    bool stopping() const { return stopFlag_ || cutOff_; }
    void raise(EngineEvent code, std::intptr_t subject, std::int32_t value, std::intptr_t extra = 0,
               std::string text = {});
    bool logging() const { return static_cast<bool>(param_.logCallback); }
    void log(int connection, int level, const std::string& text);
    void countReceived(int bytes, bool countSpeed);
    void countRetry() { ++retries_; }
    void setTotalSize(std::int64_t size) { totalSize_ = size; }
    std::int64_t totalSize() const { return totalSize_; }
    int activeConnections() const { return active_; }
    std::int32_t askSameName(std::int64_t existingSize);  // on the asking connection's thread
    void requestConnections(int count);
    // Counts a connection out; the last one asks for the finish.
    void connectionEnded();

    std::mutex& rangeLock() { return rangeMutex_; }
    RangeTable& ranges() { return ranges_; }
    LocalFile& file() { return file_; }

private:
    void run(std::shared_ptr<Download::Slot> slot);
    void startConnection();
    void deliver(const EngineMessage& message);
    void finish(std::vector<EngineMessage> rest);

    TaskParam param_;
    Scheme scheme_;
    HttpTarget target_;
    EventQueue queue_;

    std::atomic<bool> alive_{true};
    std::atomic<bool> stopFlag_{false};
    std::atomic<bool> cutOff_{false};
    std::atomic<std::int32_t> downloaded_{0};
    std::atomic<std::int32_t> speed_{0};
    std::atomic<std::int64_t> totalSize_{0};
    std::atomic<int> retries_{0};

    std::mutex counterMutex_;
    std::atomic<int> active_{0};
    int started_ = 0;
    bool openingStarted_ = false;  // task thread only

    std::mutex rangeMutex_;
    RangeTable ranges_;
    LocalFile file_;

    std::mutex connectionMutex_;
    std::vector<std::thread> connections_;
};
