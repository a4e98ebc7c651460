// Downloads one URL with the transfer engine and prints the figures of the
// run: engine_download <url> <local file> [connections] [receiveBlock] [speedLimit]
// Exit code 0 when every announced byte arrived.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "download/transfer_engine.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s <url> <local file> [connections] [receiveBlock] [speedLimit]\n",
                     argv[0]);
        return 2;
    }
    TaskParam param;
    param.url = argv[1];
    param.localPath = argv[2];
    param.connections = argc > 3 ? std::atoi(argv[3]) : 1;
    param.receiveBlock = argc > 4 ? std::atoi(argv[4]) : 20480;
    param.speedLimit = argc > 5 ? std::atoi(argv[5]) : 0;

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::int32_t total = 0;
    std::int32_t finalValue = 0;
    std::int64_t received = 0;  // the sum of bytesReceived
    param.eventCallback = [&](std::int32_t code, std::intptr_t, std::int32_t value, std::intptr_t,
                              const Task*) -> std::int32_t {
        if (code == sizeKnown) total = value;
        if (code == bytesReceived) received += value;
        if (code == taskEnded) {
            std::lock_guard lock(mutex);
            finalValue = value;
            done = true;
            ended.notify_one();
        }
        return 0;
    };

    Download download;
    const auto start = std::chrono::steady_clock::now();
    if (!addTask(download, param)) {
        std::fprintf(stderr, "the task was refused\n");
        return 2;
    }
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return done; });
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("bytes %d seconds %.3f MiB/s %.1f\n", total, seconds, total / seconds / (1 << 20));
    return total > 0 && finalValue == total && received >= total ? 0 : 1;
}
