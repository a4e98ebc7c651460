#pragma once

struct Upgrader;

// config.ini beside the program: loaded once by the start-up check, edited by
// the three check boxes, written by the save button.
void loadSettings(Upgrader& upgrader);
void onMinimiseBoxClicked(Upgrader& upgrader);       // 选择框1
void onAutoUpgradeBoxClicked(Upgrader& upgrader);    // 选择框2
void onUnconditionalBoxClicked(Upgrader& upgrader);  // 选择框3
void onSaveClicked(Upgrader& upgrader);              // 按钮4
