#pragma once

struct Upgrader;

// The start-up check: the rest of the created event after the single-instance
// guard. Runs once, on the GUI thread, before the window is first shown.
void runStartupCheck(Upgrader& upgrader);
