#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The transfer engine: one remote file into one local file, on threads of its
// own, reported through callbacks and two counters.

class Task;  // engine-internal, one per addTask

enum EngineEvent : std::int32_t {
    sizeKnown = 3,
    taskEnded = 4,
    connectionStarted = 5,
    rangeStarted = 6,
    rangeContinued = 7,
    connectionDone = 8,
    connectionFailed = 9,
    bytesReceived = 16,
    sameNameFile = 18,
};

// (code, subject, value, extra, task). For sizeKnown, extra points at the local
// file's path as a zero-ended text, valid for the duration of the call.
using EventCallback =
    std::function<std::int32_t(std::int32_t code, std::intptr_t subject, std::int32_t value,
                               std::intptr_t extra, const Task* task)>;
// (connection, time text, message text, level, task); levels 0 progress,
// 1 request, 2 response header, 3 error.
using LogCallback =
    std::function<void(std::intptr_t connection, const std::string& time,
                       const std::string& message, std::int32_t level, const Task* task)>;

struct TaskParam {
    std::int32_t mode = 1;
    std::string url;
    std::string localPath;
    std::string ftpUser = "anonymous";
    std::string ftpPassword = "upgrader@tolvek.c";  // 17 characters, never used over HTTP
    std::int32_t connections = 1;
    std::int32_t speedLimit = 0;
    std::int32_t connectTimeout = 20000;
    std::int32_t sendTimeout = 20000;
    std::int32_t receiveTimeout = 20000;
    std::int32_t stopWait = 1000;
    std::int32_t receiveBlock = 20480;
    std::int32_t sendBlock = 1024;
    LogCallback logCallback;
    EventCallback eventCallback;
    std::string uploadName;
    std::int32_t ftpType = 1;
    std::string binaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
    std::string proxy;
    std::string referer;
};

// The program's handle: runs at most one task at a time. Destroying it stops
// the running task, waits at most stopWait for its connections, and never
// waits for the task thread.
class Download {
public:
    Download();
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    struct Slot;  // shared with the task thread, which outlives this object

private:
    std::shared_ptr<Slot> slot_;
    friend bool addTask(Download&, const TaskParam&);
    friend std::int32_t takeSpeed(Download&);
    friend std::int32_t downloadedLength(Download&);
};

bool addTask(Download& download, const TaskParam& param);
std::int32_t takeSpeed(Download& download);
std::int32_t downloadedLength(Download& download);
