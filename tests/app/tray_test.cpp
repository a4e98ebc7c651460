// Into the notification area and back, and the tip's cut.
#include "app/tray.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>

#include "app/notify_icon_qt.h"
#include "app/upgrader.h"
#include "services/texts.h"
#include "tests/app/shell_fixture.h"

namespace {

TEST(TrayTest, ButtonHidesTheWindowAndATrayEventBringsItBack) {
    createUpgraderState();
    MainWindow window;
    EventLog log(window);
    Upgrader upgrader{upgraderState(), window.controls(), Endpoints{}};
    log.whenClicked = [&](ClickSource source) {
        if (source == ClickSource::按钮5) onToTrayClicked(upgrader);
    };
    window.setEvents(&log);
    window.load();
    window.controls().按钮5.simulateClick();
    ASSERT_TRUE(spinUntil([&] { return !window.isVisible(); }));
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"created (hidden)", "按钮5 (shown)", "hidden (hidden)"}));
    EXPECT_EQ(window.controls().window.placement(), 2);

    // Every action the icon reports restores the window; nothing else does.
    const struct {
        int action;
        bool restores;
    } cases[] = {{0, false}, {4, false}, {1, true}, {2, true}, {3, true}};
    for (const auto& c : cases) {
        window.controls().window.setVisible(false);
        onTrayEvent(upgrader, c.action);
        EXPECT_FALSE(window.notifyIconShown());
        EXPECT_EQ(window.isVisible(), c.restores) << c.action;
        if (c.restores) {
            EXPECT_EQ(window.controls().window.placement(), 0);
            EXPECT_FALSE(window.isMinimized());
        }
    }
    freeUpgraderState();
}

TEST(TrayTest, TheIconIsTheProgramsOwnSixteenColourPicture) {
    const QImage picture = programIcon().pixmap(32, 32).toImage();
    QFile data(QStringLiteral(":/upgrader.ico"));
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_EQ(data.size(), 766);  // one 32 x 32 image at 4 bits per pixel, with its mask

    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);                    // outside the shield
    EXPECT_EQ(QColor(picture.pixel(14, 20)), QColor(0, 255, 0));  // the arrow
    EXPECT_EQ(QColor(picture.pixel(5, 10)), QColor(0, 0, 255));   // the shield
}

TEST(TrayTest, TipIsCutToSixtyTwoBytesOnACharacterBoundary) {
    const std::string ascii62(62, 'a');
    const std::string chinese = gbk("霁");  // two bytes
    const struct {
        std::string tip;
        std::string expected;
    } cases[] = {
        {std::string(texts::trayTip), std::string(texts::trayTip)},
        {ascii62, ascii62},
        {ascii62 + "b", ascii62},
        {std::string(61, 'a') + chinese, std::string(61, 'a')},
        {std::string(60, 'a') + chinese + "b", std::string(60, 'a') + chinese},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(cutTrayTip(c.tip), c.expected) << c.tip;
}

}  // namespace
