#pragma once

struct Upgrader;

// Hiding the main window in the notification area and bringing it back.
void onToTrayClicked(Upgrader& upgrader);          // 按钮5
void onWindowHidden(Upgrader& upgrader);           // the window's hidden event
void onTrayEvent(Upgrader& upgrader, int action);  // a mouse action on the icon
