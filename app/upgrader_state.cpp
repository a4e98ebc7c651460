#include "app/upgrader_state.h"

#include <memory>

namespace {

std::unique_ptr<UpgraderState> instance;

}  // namespace

UpgraderState& upgraderState() { return *instance; }

void createUpgraderState() {
    // Patterns without a pattern, empty results, the task defaults and a
    // download that holds no task: all in the record's own initialisers.
    instance = std::make_unique<UpgraderState>();
}

void freeUpgraderState() {
    if (!instance) return;
    UpgraderState& state = *instance;
    state.configPath.clear();
    state.packagePath.clear();
    state.releasePage.clear();
    state.packageUrlPattern = regex();
    state.packageUrlMatch = SearchResult();
    state.versionCellPattern = regex();
    state.versionCellMatches.clear();
    state.taskParams = TaskParam();
    // Stops a running task; never waits for the engine's task thread.
    state.downloader.reset();
    state.savedMinimise.clear();
    state.savedAutoUpgrade.clear();
    state.savedUnconditional.clear();
    instance.reset();
}
