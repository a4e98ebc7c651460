#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "gbk_literal.h"
#include "services/texts.h"
#include "window_fixture.h"

namespace {

std::string settingsFile(const std::string& minimise, const std::string& autoUpgrade,
                         const std::string& unconditional) {
    return gbk("[参数设置]\r\n最小化运行=" + minimise + "\r\n自动升级=" + autoUpgrade +
               "\r\n无条件升级=" + unconditional + "\r\n");
}

struct Step {
    const char* control;                   // UTF-8 name of the control clicked
    std::optional<std::string> fileAfter;  // the file's bytes after a save
};

struct Scenario {
    const char* what;
    std::optional<std::string> initialFile;
    std::vector<Step> steps;
    std::vector<std::string> labelsAtEnd;  // 标签23, 标签8, 标签4 (UTF-8)
};

Endpoints reachable() {
    return {"127.0.0.1", "127.0.0.1:1", "127.0.0.1:1", "down.example.invalid"};
}

TEST(SettingsWindow, BoxesAndSave) {
    const std::string others = gbk("[其他]\r\n键=值\r\n");
    const std::string tail = gbk("[尾]\r\nx=1\r\n");
    const std::vector<Scenario> scenarios = {
        {"no file, save at once",
         std::nullopt,
         {{"按钮4", settingsFile("", "", "")}},
         {"", "", ""}},
        {"lower-case yes is written back until the box is checked",
         others + settingsFile("假", "yes", "NO") + tail,
         {{"按钮4", others + settingsFile("假", "yes", "NO") + tail},
          {"选择框2", std::nullopt},
          {"按钮4", others + settingsFile("假", "YES", "NO") + tail}},
         {"假", "YES", "NO"}},
        {"checking each box",
         std::nullopt,
         {{"选择框1", std::nullopt},
          {"选择框2", std::nullopt},
          {"选择框3", std::nullopt},
          {"按钮4", settingsFile("真", "YES", "YES")}},
         {"真", "YES", "YES"}},
        {"each box twice gives the unchecked texts",
         settingsFile("", "", ""),
         {{"选择框1", std::nullopt},
          {"选择框1", std::nullopt},
          {"选择框2", std::nullopt},
          {"选择框2", std::nullopt},
          {"选择框3", std::nullopt},
          {"选择框3", std::nullopt},
          {"按钮4", settingsFile("假", "NO", "NO")}},
         {"假", "NO", "NO"}},
        {"unchecking what the file turned on",
         settingsFile("真", "YES", "YES"),
         {{"选择框1", std::nullopt},
          {"选择框3", std::nullopt},
          {"按钮4", settingsFile("假", "YES", "NO")}},
         {"假", "YES", "NO"}},
    };

    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.what);
        TemporaryFolder folder;
        FixtureRegistry registry("");
        const std::string config = folder.file("config.ini");
        if (s.initialFile) writeFile(config, *s.initialFile);
        WindowFixture fixture(reachable());
        fixture.load();

        for (const Step& step : s.steps) {
            SCOPED_TRACE(step.control);
            fixture.click(step.control);
            if (step.fileAfter) {
                EXPECT_EQ(fixture.ui().标签25.caption(), texts::saveSucceeded);
                EXPECT_EQ(readFile(config), step.fileAfter);
            } else {
                EXPECT_EQ(fixture.ui().标签25.caption(), texts::pleaseSave);
            }
        }
        EXPECT_EQ(fixture.ui().标签23.caption(), gbk(s.labelsAtEnd[0]));
        EXPECT_EQ(fixture.ui().标签8.caption(), gbk(s.labelsAtEnd[1]));
        EXPECT_EQ(fixture.ui().标签4.caption(), gbk(s.labelsAtEnd[2]));
        EXPECT_EQ(fixture.state.savedMinimise, gbk(s.labelsAtEnd[0]));
    }
}

// Automatic upgrade on with nothing newer starts the five-second exit; any
// settings click or a save keeps the program running.
TEST(SettingsWindow, ClicksStopTheAutomaticExit) {
    for (const char* control : {"选择框1", "选择框2", "选择框3", "按钮4"}) {
        SCOPED_TRACE(control);
        TemporaryFolder folder;
        FixtureRegistry registry("22.00.32.22");
        writeFile(folder.file("config.ini"), settingsFile("假", "YES", "NO"));
        WindowFixture fixture(reachable());
        fixture.load();
        ASSERT_EQ(fixture.ui().时钟1.period(), 5000);
        fixture.click(control);
        EXPECT_EQ(fixture.ui().时钟1.period(), 0);
    }
}

// After a failed probe there is no settings path: a save writes nothing
// anywhere and says so.
TEST(SettingsWindow, SaveAfterFailedProbe) {
    TemporaryFolder folder;
    FixtureRegistry registry("");
    WindowFixture fixture({"probe.invalid", "127.0.0.1:1", "127.0.0.1:1", "down.example.invalid"});
    fixture.load();
    ASSERT_EQ(fixture.ui().标签25.caption(), texts::networkFailed);
    fixture.click("选择框2");
    fixture.click("按钮4");
    EXPECT_EQ(fixture.ui().标签25.caption(), texts::saveFailed);
    EXPECT_EQ(fixture.state.savedAutoUpgrade, texts::yes);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
