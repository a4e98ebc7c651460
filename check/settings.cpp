#include "check/settings.h"

#include <string>
#include <string_view>

#include "app/upgrader.h"
#include "services/system_services.h"
#include "services/text_number.h"
#include "services/texts.h"

namespace {

// A settings click cancels the automatic exit for the rest of the run; the
// change itself only takes effect once saved, at the next start.
void onSettingsBoxClicked(Upgrader& upgrader, const CheckControl& box, LabelControl& label,
                          std::string_view checkedText, std::string_view uncheckedText) {
    upgrader.ui.时钟1.setPeriod(0);
    label.setCaption(std::string(box.checked() == 1 ? checkedText : uncheckedText));
    upgrader.ui.标签25.setCaption(std::string(texts::pleaseSave));
}

}  // namespace

void loadSettings(Upgrader& upgrader) {
    if (!fileExists(concatTexts({currentDirectory(), texts::configFileName}))) return;
    const std::string& file = upgrader.state.configPath;
    Controls& ui = upgrader.ui;
    ui.标签23.setCaption(readProfileValue(file, texts::settingsSection, texts::keyMinimise));
    ui.标签8.setCaption(readProfileValue(file, texts::settingsSection, texts::keyAutoUpgrade));
    ui.标签4.setCaption(readProfileValue(file, texts::settingsSection, texts::keyUnconditional));
}

void onMinimiseBoxClicked(Upgrader& upgrader) {
    onSettingsBoxClicked(upgrader, upgrader.ui.选择框1, upgrader.ui.标签23, texts::minimiseOn,
                         texts::minimiseOff);
}

void onAutoUpgradeBoxClicked(Upgrader& upgrader) {
    onSettingsBoxClicked(upgrader, upgrader.ui.选择框2, upgrader.ui.标签8, texts::yes, texts::no);
}

void onUnconditionalBoxClicked(Upgrader& upgrader) {
    onSettingsBoxClicked(upgrader, upgrader.ui.选择框3, upgrader.ui.标签4, texts::yes, texts::no);
}

void onSaveClicked(Upgrader& upgrader) {
    Controls& ui = upgrader.ui;
    UpgraderState& state = upgrader.state;
    ui.时钟1.setPeriod(0);
    state.savedMinimise = ui.标签23.caption();
    state.savedAutoUpgrade = ui.标签8.caption();
    state.savedUnconditional = ui.标签4.caption();
    // Without a configPath (the network probe failed) there is no file of ours
    // to write: nothing is written anywhere and the save reports failure.
    if (!state.configPath.empty()) {
        writeProfileValue(state.configPath, texts::settingsSection, texts::keyMinimise,
                          state.savedMinimise);
        writeProfileValue(state.configPath, texts::settingsSection, texts::keyAutoUpgrade,
                          state.savedAutoUpgrade);
        writeProfileValue(state.configPath, texts::settingsSection, texts::keyUnconditional,
                          state.savedUnconditional);
    }
    const bool saved = !state.configPath.empty() && fileExists(state.configPath);
    ui.标签25.setCaption(std::string(saved ? texts::saveSucceeded : texts::saveFailed));
}
