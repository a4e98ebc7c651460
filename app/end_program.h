#pragma once

// Ends the program through the one exit sequence, from any thread. On another
// thread it hands the end to the GUI thread and blocks until the process ends.
[[noreturn]] void endProgram(int code);

// True from the moment the exit sequence begins; a late engine event that finds
// it set must neither touch the window nor start anything.
bool programEnding();
