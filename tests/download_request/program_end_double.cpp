#include "tests/download_request/program_end_double.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/end_program.h"

namespace {

std::atomic<bool> ending{false};
std::mutex mutex;
std::condition_variable ended;
std::optional<std::pair<int, std::chrono::steady_clock::time_point>> request;
const std::thread::id testThread = std::this_thread::get_id();

}  // namespace

void setProgramEnding(bool value) { ending = value; }

void resetProgramEnd() {
    std::lock_guard lock(mutex);
    request.reset();
    ending = false;
}

std::optional<std::pair<int, std::chrono::steady_clock::time_point>> waitForProgramEnd(
    std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex);
    ended.wait_for(lock, wait, [] { return request.has_value(); });
    return request;
}

bool programEnding() { return ending; }

void endProgram(int code) {
    {
        std::lock_guard lock(mutex);
        if (!request) request.emplace(code, std::chrono::steady_clock::now());
    }
    ended.notify_all();
    if (std::this_thread::get_id() == testThread) throw ProgramEnded{code};
    // The real caller waits here until the process has ended.
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
