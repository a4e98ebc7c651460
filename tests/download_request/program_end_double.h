#pragma once

#include <chrono>
#include <optional>

// The end of the program as this test sees it: endProgram records the request
// and, like the real one, never returns to its caller. On the test's own thread
// it throws ProgramEnded; on the engine's thread it blocks for good.
struct ProgramEnded {
    int code;
};

void setProgramEnding(bool ending);
void resetProgramEnd();
// The exit code and moment of the first end request, once one came within the wait.
std::optional<std::pair<int, std::chrono::steady_clock::time_point>> waitForProgramEnd(
    std::chrono::milliseconds wait);
