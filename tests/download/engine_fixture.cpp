#include "engine_fixture.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "download/engine_tuning.h"

extern char** environ;

namespace fs = std::filesystem;

std::string fill(std::string_view format, const std::string& text) {
    char line[4096];
    std::snprintf(line, sizeof line, std::string(format).c_str(), text.c_str());
    return line;
}

std::string fill(std::string_view format, int number) {
    char line[4096];
    std::snprintf(line, sizeof line, std::string(format).c_str(), number);
    return line;
}

std::string fill(std::string_view format, const std::string& text, int number) {
    char line[4096];
    std::snprintf(line, sizeof line, std::string(format).c_str(), text.c_str(), number);
    return line;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "engine-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ScriptedServer::ScriptedServer(const TempFolder& folder, const std::string& replies)
    : record_(folder / "requests") {
    fs::create_directories(record_);
    const fs::path script = folder / "script.json";
    writeFile(script, "{\"replies\": " + replies + "}");

    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string scriptArg = script.string();
    const std::string recordArg = record_.string();
    const char* argv[] = {PYTHON3,    SCRIPTED_SERVER,   "--script", scriptArg.c_str(),
                          "--record", recordArg.c_str(), nullptr};
    ::posix_spawn(&pid_, PYTHON3, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    std::sscanf(line.c_str(), "port %d", &port_);
}

ScriptedServer::~ScriptedServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string ScriptedServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedServer::requests() const {
    std::vector<std::string> found;
    for (int n = 1; fs::exists(record_ / ("request-" + std::to_string(n) + ".bin")); ++n)
        found.push_back(readFile(record_ / ("request-" + std::to_string(n) + ".bin")));
    return found;
}

void Recorder::attach(TaskParam& param) {
    param.eventCallback = [this](std::int32_t code, std::intptr_t subject, std::int32_t value,
                                 std::intptr_t extra, const Task*) -> std::int32_t {
        if (onEvent) onEvent(code);
        SeenEvent seen{code, subject, value, extra, {}, std::this_thread::get_id()};
        if (code == sizeKnown && extra) seen.path = reinterpret_cast<const char*>(extra);
        {
            std::lock_guard lock(mutex_);
            events_.push_back(seen);
        }
        changed_.notify_all();
        return code == sameNameFile ? sameNameAnswer : 0;
    };
    param.logCallback = [this](std::intptr_t connection, const std::string& time,
                               const std::string& text, std::int32_t level, const Task*) {
        std::lock_guard lock(mutex_);
        logs_.push_back({connection, time, text, level});
    };
}

bool Recorder::waitFor(std::int32_t code, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::any_of(events_.begin(), events_.end(),
                           [&](const SeenEvent& e) { return e.code == code; });
    });
}

bool Recorder::waitEnded(std::chrono::milliseconds limit) {
    return waitFor(taskEnded, limit) && waitTaskThreadsGone(limit);
}

std::vector<SeenEvent> Recorder::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::int32_t> Recorder::codes() const {
    std::vector<std::int32_t> codes;
    for (const SeenEvent& e : events())
        if (e.code != bytesReceived) codes.push_back(e.code);
    return codes;
}

std::vector<SeenLog> Recorder::logs() const {
    std::lock_guard lock(mutex_);
    return logs_;
}

bool Recorder::logged(const std::string& text, std::int32_t level) const {
    const auto all = logs();
    return std::any_of(all.begin(), all.end(),
                       [&](const SeenLog& l) { return l.text == text && l.level == level; });
}

std::int64_t Recorder::bytesReported() const {
    std::int64_t sum = 0;
    for (const SeenEvent& e : events())
        if (e.code == bytesReceived) sum += e.value;
    return sum;
}

SeenEvent Recorder::last(std::int32_t code) const {
    const auto all = events();
    const auto found =
        std::find_if(all.rbegin(), all.rend(), [&](const SeenEvent& e) { return e.code == code; });
    return found == all.rend() ? SeenEvent{-1, 0, 0, 0, {}, {}} : *found;
}

bool waitTaskThreadsGone(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (engine_tuning::liveTaskThreads() > 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
