#pragma once

#include <chrono>

// Knobs for the engine's own tests only; the program never includes this file
// and its configuration cannot reach these values.
namespace engine_tuning {

// The wait before a retry (5000 ms unless a test shortens it).
void setRetryWait(std::chrono::milliseconds wait);
std::chrono::milliseconds retryWait();

// Task threads that have not yet returned: a test waits for 0 before it ends.
int liveTaskThreads();

}  // namespace engine_tuning
