#pragma once

#include <cstdint>

#include "download/transfer_engine.h"

struct Upgrader;

// Tick of 时钟3: speed, amount and percentage into the status and progress bars.
void onProgressTick(Upgrader& upgrader);

// The engine's event callback for the package download: the size into the
// status bar, and at the end of the task the hand-over to the package.
EventCallback makeDownloadCallback(Upgrader& upgrader);
