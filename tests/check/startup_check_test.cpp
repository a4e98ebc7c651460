#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gbk_literal.h"
#include "services/texts.h"
#include "tests/support/local_http_server.h"
#include "window_fixture.h"

// Readable click lists in failure messages.
void PrintTo(ClickSource source, std::ostream* out) {
    *out << (source == ClickSource::按钮1   ? "按钮1"
             : source == ClickSource::按钮5 ? "按钮5"
                                            : "other");
}

namespace {

const std::string packageHost = "down.example.invalid";

struct Settings {
    std::string minimise;
    std::string autoUpgrade;
    std::string unconditional;
};

std::string configFile(const Settings& s) {
    return gbk("[参数设置]\r\n最小化运行=") + s.minimise + gbk("\r\n自动升级=") + s.autoUpgrade +
           gbk("\r\n无条件升级=") + s.unconditional + "\r\n";
}

std::string releasePage(const std::string& officialVersion) {
    return "<html><body><table>\r\n<tr><td><a href=\"http://" + packageHost +
           "/netver/10netver/20100518/Update.exe\">" + gbk("下载") + "</a></td></tr>\r\n" +
           "<tr><td><strong>" + gbk("2010网络版升级包") +
           "</strong> </td>\r\n        <td align=\"center\" bgcolor=\"#FFFFFF\">" +
           officialVersion + "</td></tr>\r\n</table></body></html>\r\n";
}

const std::string notice = gbk("五月十八日发布新的升级包");
const std::string packageUrl = "http://" + packageHost + "/netver/10netver/20100518/update.exe";

enum class Verdict { none, cannotCheck, upgradeNeeded, upToDate, clientNotInstalled };

std::string verdictText(Verdict v) {
    switch (v) {
        case Verdict::none:
            return "";
        case Verdict::cannotCheck:
            return std::string(texts::cannotCheck);
        case Verdict::upgradeNeeded:
            return std::string(texts::upgradeNeeded);
        case Verdict::upToDate:
            return std::string(texts::upToDate);
        case Verdict::clientNotInstalled:
            return std::string(texts::clientNotInstalled);
    }
    return "";
}

using Clicks = std::vector<ClickSource>;
constexpr auto download = ClickSource::按钮1;
constexpr auto toTray = ClickSource::按钮5;
const Settings off{"", "", ""};

struct Case {
    const char* what;
    bool probeAnswers;
    std::optional<std::string> official;  // nullopt: the release page cannot be fetched
    std::string installed;                // empty: no version in the registry
    std::optional<Settings> settings;     // nullopt: no config.ini
    Verdict verdict;
    std::array<int, 3> boxes;  // 选择框1, 选择框2, 选择框3
    int autoExitPeriod;        // 时钟1
    Clicks clicks;
};

TEST(StartupCheck, DecisionTable) {
    const Settings autoOn{gbk("假"), "YES", "NO"};
    const std::vector<Case> cases = {
        {"network probe fails: nothing loaded",
         false,
         "2.0",
         "1.0",
         Settings{gbk("真"), "YES", "YES"},
         Verdict::cannotCheck,
         {0, 0, 0},
         0,
         {}},
        {"newer, no settings file",
         true,
         "22.00.32.25",
         "22.00.32.22",
         std::nullopt,
         Verdict::upgradeNeeded,
         {0, 0, 0},
         0,
         {}},
        {"automatic: newer starts the download",
         true,
         "22.00.32.25",
         "22.00.32.22",
         autoOn,
         Verdict::upgradeNeeded,
         {0, 1, 0},
         0,
         {download}},
        {"automatic: same version ends in five seconds",
         true,
         "2.0",
         "2.0",
         autoOn,
         Verdict::upToDate,
         {0, 1, 0},
         5000,
         {}},
        {"automatic: 10 is not newer than 9",
         true,
         "10",
         "9",
         autoOn,
         Verdict::upToDate,
         {0, 1, 0},
         5000,
         {}},
        {"automatic: 2.10 is not newer than 2.9",
         true,
         "2.10",
         "2.9",
         autoOn,
         Verdict::upToDate,
         {0, 1, 0},
         5000,
         {}},
        {"automatic: page unreachable, client installed",
         true,
         std::nullopt,
         "22.00.32.22",
         autoOn,
         Verdict::upToDate,
         {0, 1, 0},
         5000,
         {}},
        {"automatic: page unreachable, no client",
         true,
         std::nullopt,
         "",
         autoOn,
         Verdict::clientNotInstalled,
         {0, 1, 0},
         0,
         {}},
        {"automatic: no client",
         true,
         "22.00.32.25",
         "",
         autoOn,
         Verdict::clientNotInstalled,
         {0, 1, 0},
         0,
         {}},
        {"manual: page unreachable, no client",
         true,
         std::nullopt,
         "",
         Settings{"", "NO", "NO"},
         Verdict::upToDate,
         {0, 0, 0},
         0,
         {}},
        {"manual: no client, official present",
         true,
         "22.00.32.25",
         "",
         Settings{"", "NO", "NO"},
         Verdict::upgradeNeeded,
         {0, 0, 0},
         0,
         {}},
        {"automatic in lower case is off",
         true,
         "2.0",
         "2.0",
         Settings{"", "yes", ""},
         Verdict::upToDate,
         {0, 0, 0},
         0,
         {}},
        {"unconditional: downloads even when not newer",
         true,
         "2.0",
         "2.0",
         Settings{"", "NO", "YES"},
         Verdict::upToDate,
         {0, 0, 1},
         0,
         {download}},
        {"minimised, automatic, nothing newer",
         true,
         "2.0",
         "2.0",
         Settings{gbk("真"), "YES", "NO"},
         Verdict::upToDate,
         {1, 1, 0},
         5000,
         {toTray}},
        {"minimise on-value is not YES",
         true,
         "2.0",
         "2.0",
         Settings{"YES", "NO", "NO"},
         Verdict::upToDate,
         {0, 0, 0},
         0,
         {}},
        {"all three on, newer: three clicks in order",
         true,
         "22.00.32.25",
         "22.00.32.22",
         Settings{gbk("真"), "YES", "YES"},
         Verdict::upgradeNeeded,
         {1, 1, 1},
         0,
         {download, toTray, download}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server;
        server.serve("/tolvek/09update.txt", {.body = notice});
        if (c.official) server.serve("/tolvek/tolvek.htm", {.body = releasePage(*c.official)});
        TemporaryFolder folder;
        FixtureRegistry registry(c.installed);
        if (c.settings) writeFile(folder.file("config.ini"), configFile(*c.settings));

        // Port 1 refuses: the page cannot be fetched at all.
        WindowFixture fixture({c.probeAnswers ? "127.0.0.1" : "probe.invalid", server.hostPort(),
                               c.official ? server.hostPort() : "127.0.0.1:1", packageHost});
        fixture.load();
        Controls& ui = fixture.ui();

        const bool ran = c.probeAnswers;
        const bool loaded = ran && c.settings;
        EXPECT_EQ(ui.标签25.caption(), ran ? texts::welcome : texts::networkFailed);
        EXPECT_EQ(ui.标签10.caption(), verdictText(c.verdict));
        EXPECT_EQ(ui.标签3.caption(), ran ? notice : "");
        EXPECT_EQ(ui.标签5.caption(), ran && c.official ? "20100518" : "");
        EXPECT_EQ(ui.编辑框1.content(),
                  !ran         ? ""
                  : c.official ? packageUrl
                               : "http://" + packageHost + "/netver/10netver//update.exe");
        EXPECT_EQ(ui.标签7.caption(), ran && c.official ? *c.official : "");
        EXPECT_EQ(ui.标签26.caption(), ran ? c.installed : "");
        EXPECT_EQ(ui.标签23.caption(), loaded ? c.settings->minimise : "");
        EXPECT_EQ(ui.标签8.caption(), loaded ? c.settings->autoUpgrade : "");
        EXPECT_EQ(ui.标签4.caption(), loaded ? c.settings->unconditional : "");
        EXPECT_EQ(ui.选择框1.checked(), c.boxes[0]);
        EXPECT_EQ(ui.选择框2.checked(), c.boxes[1]);
        EXPECT_EQ(ui.选择框3.checked(), c.boxes[2]);
        EXPECT_EQ(ui.时钟1.period(), c.autoExitPeriod);
        EXPECT_EQ(ui.时钟2.period(), ran ? 0 : 5000);
        EXPECT_EQ(ui.时钟3.period(), 0);
        EXPECT_EQ(fixture.events.clicks, c.clicks);
        EXPECT_EQ(fixture.state.configPath, ran ? folder.path() + "\\config.ini" : "");
        EXPECT_EQ(fixture.state.packagePath, ran ? folder.path() + "\\update.exe" : "");
        EXPECT_EQ(server.requests().size(), ran ? (c.official ? 2u : 1u) : 0u);
    }
}

}  // namespace
