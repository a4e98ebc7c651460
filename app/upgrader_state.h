#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "check/pattern.h"
#include "download/transfer_engine.h"

// The program's one global state record. An empty text stands for an absent one.
struct UpgraderState {
    std::string configPath;   // beside the program, set after a successful probe
    std::string packagePath;  // likewise
    std::string releasePage;
    regex packageUrlPattern;
    SearchResult packageUrlMatch;
    regex versionCellPattern;
    std::vector<SearchResult> versionCellMatches;
    TaskParam taskParams;
    std::unique_ptr<Download> downloader = std::make_unique<Download>();
    std::atomic<double> packageSize{0};  // written on the engine's thread, read on the GUI thread
    std::string savedMinimise;
    std::string savedAutoUpgrade;
    std::string savedUnconditional;
};

// The one instance, created at start-up and freed by the exit clean-up.
UpgraderState& upgraderState();
void createUpgraderState();
void freeUpgraderState();
