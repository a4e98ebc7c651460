#include "check/upgrade_check.h"

#include <string>
#include <string_view>

#include "app/upgrader.h"
#include "check/release_page.h"
#include "check/settings.h"
#include "services/system_services.h"
#include "services/text_number.h"
#include "services/texts.h"
#include "services/web_fetch.h"

namespace {

bool captionIs(const LabelControl& label, std::string_view text) {
    return compareTexts(label.caption(), text) == 0;
}

// Versions are texts: "10" is not greater than "9", nor "2.10" than "2.9".
bool officialIsNewer(const Controls& ui) {
    return compareTexts(ui.标签7.caption(), ui.标签26.caption()) > 0;
}

void setCaption(LabelControl& label, std::string_view text) { label.setCaption(std::string(text)); }

}  // namespace

void runStartupCheck(Upgrader& upgrader) {
    Controls& ui = upgrader.ui;
    UpgraderState& state = upgrader.state;

    terminateProcessByName(texts::packageCommandLine);

    if (resolveHost(upgrader.hosts.probeHost).empty()) {
        ui.时钟2.setPeriod(5000);
        setCaption(ui.标签25, texts::networkFailed);
        setCaption(ui.标签10, texts::cannotCheck);
        return;
    }

    state.configPath = concatTexts({currentDirectory(), texts::configFileName});
    setCaption(ui.标签25, texts::welcome);
    ui.标签3.setCaption(bytesToText(
        fetchUrl(concatTexts({texts::httpPrefix, upgrader.hosts.noticeHost, texts::noticePath}))));
    state.packagePath = concatTexts({currentDirectory(), texts::packageFileName});

    fetchReleasePage(upgrader);
    findPackageDirectory(upgrader);
    loadSettings(upgrader);
    ui.编辑框1.setContent(buildPackageUrl(upgrader));

    if (captionIs(ui.标签4, texts::yes)) {
        ui.选择框3.setChecked(1);
        ui.按钮1.simulateClick();
    } else {
        ui.选择框3.setChecked(0);
    }

    findOfficialVersion(upgrader);
    ui.标签26.setCaption(readRegistryText(4, texts::installedVersionPath));
    setCaption(ui.标签10, officialIsNewer(ui) ? texts::upgradeNeeded : texts::upToDate);

    if (captionIs(ui.标签23, texts::minimiseOn)) {
        ui.选择框1.setChecked(1);
        ui.按钮5.simulateClick();
    } else {
        ui.选择框1.setChecked(0);
    }

    if (!captionIs(ui.标签8, texts::yes)) {
        ui.选择框2.setChecked(0);
        return;
    }
    ui.选择框2.setChecked(1);
    if (ui.标签26.caption().empty()) {
        setCaption(ui.标签10, texts::clientNotInstalled);
    } else if (officialIsNewer(ui)) {
        setCaption(ui.标签10, texts::upgradeNeeded);
        ui.按钮1.simulateClick();
    } else {
        setCaption(ui.标签10, texts::upToDate);
        ui.时钟1.setPeriod(5000);
    }
}
