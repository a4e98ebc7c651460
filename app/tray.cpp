#include "app/tray.h"

#include "app/upgrader.h"
#include "services/texts.h"

void onToTrayClicked(Upgrader& upgrader) {
    upgrader.ui.window.setPlacement(2);
    upgrader.ui.window.setVisible(false);  // raises the hidden event before it returns
}

void onWindowHidden(Upgrader& upgrader) {
    upgrader.ui.window.setNotifyIcon(true, std::string(texts::trayTip));
}

void onTrayEvent(Upgrader& upgrader, int action) {
    upgrader.ui.window.setNotifyIcon(false, {});
    if (action < 1 || action > 3) return;
    upgrader.ui.window.setVisible(true);
    upgrader.ui.window.setPlacement(0);
}
