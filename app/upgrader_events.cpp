#include "app/upgrader_events.h"

#include "app/end_program.h"
#include "app/single_instance.h"
#include "app/tray.h"
#include "app/upgrader.h"
#include "check/settings.h"
#include "check/upgrade_check.h"
#include "download/download_request.h"
#include "download/progress.h"
#include "services/texts.h"

UpgraderEvents::UpgraderEvents(Upgrader& upgrader) : upgrader_(upgrader) {}

void UpgraderEvents::onCreated() {
    ensureSingleInstance(texts::singleInstanceName);
    runStartupCheck(upgrader_);
}

void UpgraderEvents::onHidden() { onWindowHidden(upgrader_); }

void UpgraderEvents::onTrayEvent(int action) { ::onTrayEvent(upgrader_, action); }

void UpgraderEvents::onClick(ClickSource source) {
    switch (source) {
        case ClickSource::按钮1:
            onManualUpgradeClicked(upgrader_);
            break;
        case ClickSource::按钮3:
            endProgram(0);
        case ClickSource::按钮4:
            onSaveClicked(upgrader_);
            break;
        case ClickSource::按钮5:
            onToTrayClicked(upgrader_);
            break;
        case ClickSource::选择框1:
            onMinimiseBoxClicked(upgrader_);
            break;
        case ClickSource::选择框2:
            onAutoUpgradeBoxClicked(upgrader_);
            break;
        case ClickSource::选择框3:
            onUnconditionalBoxClicked(upgrader_);
            break;
    }
}

void UpgraderEvents::onTick(TimerSource source) {
    switch (source) {
        case TimerSource::时钟1:
        case TimerSource::时钟2:
            endProgram(0);
        case TimerSource::时钟3:
            onProgressTick(upgrader_);
            break;
    }
}
