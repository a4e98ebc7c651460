#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/transfer_engine.h"

// A scripted HTTP server on 127.0.0.1 (tests/support/scripted_http_server.py)
// and a recorder of what the engine reports, for the engine's tests.

std::string fill(std::string_view format, const std::string& text);  // one "%s"
std::string fill(std::string_view format, int number);               // one "%d"
std::string fill(std::string_view format, const std::string& text, int number);

std::string randomBytes(std::size_t size, unsigned seed);
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

class ScriptedServer {
public:
    // replies: the JSON array of the script; files it names lie in folder.
    ScriptedServer(const TempFolder& folder, const std::string& replies);
    ~ScriptedServer();
    int port() const { return port_; }
    std::string url(const std::string& path) const;  // http://127.0.0.1:<port><path>
    std::vector<std::string> requests() const;       // in the order accepted

private:
    std::filesystem::path record_;
    int pid_ = -1;
    int port_ = 0;
};

struct SeenEvent {
    std::int32_t code;
    std::intptr_t subject;
    std::int32_t value;
    std::intptr_t extra;  // for sizeKnown: see path
    std::string path;
    std::thread::id thread;
};

struct SeenLog {
    std::intptr_t connection;
    std::string time;
    std::string text;
    std::int32_t level;
};

class Recorder {
public:
    // Callbacks that record into this recorder; the event callback answers
    // sameNameFile with sameNameAnswer.
    void attach(TaskParam& param);
    std::int32_t sameNameAnswer = 0;
    std::function<void(std::int32_t code)> onEvent;  // runs inside the callback

    // Waits for taskEnded and for every task thread to have returned.
    bool waitEnded(std::chrono::milliseconds limit = std::chrono::seconds(30));
    bool waitFor(std::int32_t code, std::chrono::milliseconds limit = std::chrono::seconds(30));

    std::vector<SeenEvent> events() const;
    std::vector<std::int32_t> codes() const;  // without bytesReceived
    std::vector<SeenLog> logs() const;
    bool logged(const std::string& text, std::int32_t level) const;
    std::int64_t bytesReported() const;  // sum of bytesReceived
    SeenEvent last(std::int32_t code) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SeenEvent> events_;
    std::vector<SeenLog> logs_;
};

// Waits until no task thread of the engine is left.
bool waitTaskThreadsGone(std::chrono::milliseconds limit = std::chrono::seconds(30));
