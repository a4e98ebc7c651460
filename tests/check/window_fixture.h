#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/endpoints.h"
#include "app/main_window_qt.h"
#include "app/upgrader.h"
#include "app/upgrader_events.h"
#include "app/upgrader_state.h"
#include "app/window_events.h"

// A temporary folder that is the current directory while the object lives:
// the program finds config.ini beside itself through the current directory.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

// A registry of its own for the process: HKEY_LOCAL_MACHINE with the
// installed client's version when one is given, nothing otherwise.
class FixtureRegistry {
public:
    explicit FixtureRegistry(const std::string& installedVersion);
    ~FixtureRegistry();

private:
    std::string prefix_;
    std::optional<std::string> previous_;
};

// The start-up check and the settings handlers run for real; clicks on 按钮1
// and 按钮5 are only recorded, so no download starts and the window stays.
class RecordingEvents final : public WindowEvents {
public:
    explicit RecordingEvents(Upgrader& upgrader) : upgrader_(upgrader), handlers_(upgrader) {}

    void onCreated() override;
    void onHidden() override {}
    void onTrayEvent(int) override {}
    void onClick(ClickSource source) override;
    void onTick(TimerSource) override {}

    std::vector<ClickSource> clicks;

private:
    Upgrader& upgrader_;
    UpgraderEvents handlers_;  // the program's own binding of each event
};

struct WindowFixture {
    UpgraderState state;
    MainWindow window;
    Upgrader upgrader;
    RecordingEvents events;

    explicit WindowFixture(Endpoints hosts);
    // Loads the window (the start-up check runs) and lets the queued clicks arrive.
    void load();
    void click(const char* controlName);
    Controls& ui() { return upgrader.ui; }
};

void processPostedEvents();
void writeFile(const std::string& path, const std::string& bytes);
std::optional<std::string> readFile(const std::string& path);
