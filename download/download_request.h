#pragma once

struct Upgrader;

// Click of 按钮1: resolves the package host, removes an old package file, fills
// the task record and hands it to the transfer engine.
void onManualUpgradeClicked(Upgrader& upgrader);
