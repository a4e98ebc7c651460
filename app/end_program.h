#pragma once

#include <string_view>

// Ends the program through the one exit sequence, from any thread. On another
// thread it hands the end to the GUI thread and blocks until the process ends.
// A request made while the sequence already runs adds nothing.
[[noreturn]] void endProgram(int code);

// True from the moment the exit sequence begins; a late engine event that finds
// it set must neither touch the window nor start anything.
bool programEnding();

// The routine the exit sequence runs once (freeUpgraderState), or none.
void setExitCleanup(void (*cleanup)());

// A fatal error: shows an error box with the reason (GBK), drops the exit
// clean-up without running it and ends the program with exit code -1.
[[noreturn]] void endProgramFatally(std::string_view reason);
