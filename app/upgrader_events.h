#pragma once

#include "app/window_events.h"

struct Upgrader;

// Binds each event of the main window to its handler.
class UpgraderEvents final : public WindowEvents {
public:
    explicit UpgraderEvents(Upgrader& upgrader);

    void onCreated() override;
    void onHidden() override;
    void onTrayEvent(int action) override;
    void onClick(ClickSource source) override;
    void onTick(TimerSource source) override;

private:
    Upgrader& upgrader_;
};
