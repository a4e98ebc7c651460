#pragma once

#include "app/controls.h"
#include "app/endpoints.h"
#include "app/upgrader_state.h"

// What every event handler works on: the state, the window and the endpoints.
struct Upgrader {
    UpgraderState& state;
    Controls& ui;
    Endpoints hosts;
};
