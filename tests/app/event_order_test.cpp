// When the window's events reach their handlers: the created event before the
// window is shown, queued clicks after the running handler, in queue order.
#include <gtest/gtest.h>

#include <memory>

#include "tests/app/shell_fixture.h"

namespace {

using Entries = std::vector<std::string>;

TEST(EventOrderTest, ClicksQueuedInTheCreatedEventRunAfterTheWindowIsShown) {
    MainWindow window;
    EventLog log(window);
    window.setEvents(&log);
    log.whenCreated = [&] {
        window.controls().按钮1.simulateClick();
        window.controls().按钮1.simulateClick();
        window.controls().按钮5.simulateClick();
        log.entries.push_back("check done");
    };
    window.load();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(log.entries, (Entries{"created (hidden)", "check done"}));

    ASSERT_TRUE(spinUntil([&] { return log.entries.size() == 5; }));
    EXPECT_EQ(log.entries, (Entries{"created (hidden)", "check done", "按钮1 (shown)",
                                    "按钮1 (shown)", "按钮5 (shown)"}));
}

TEST(EventOrderTest, AClickQueuedByAHandlerRunsAfterItReturns) {
    MainWindow window;
    EventLog log(window);
    window.setEvents(&log);
    window.load();
    log.whenClicked = [&](ClickSource source) {
        if (source != ClickSource::按钮4) return;
        window.controls().按钮1.simulateClick();
        log.entries.push_back("按钮4 returns");
    };
    window.controls().按钮4.simulateClick();
    ASSERT_TRUE(spinUntil([&] { return log.entries.size() == 4; }));
    EXPECT_EQ(log.entries,
              (Entries{"created (hidden)", "按钮4 (shown)", "按钮4 returns", "按钮1 (shown)"}));
}

TEST(EventOrderTest, SimulatedClicksWorkWhileTheWindowIsHidden) {
    MainWindow window;
    EventLog log(window);
    window.setEvents(&log);
    window.load();
    window.controls().window.setVisible(false);
    log.entries.clear();
    window.controls().按钮5.simulateClick();
    ASSERT_TRUE(spinUntil([&] { return !log.entries.empty(); }));
    EXPECT_EQ(log.entries, Entries{"按钮5 (hidden)"});
}

TEST(EventOrderTest, AClickOnAWindowThatIsGoneDoesNothing) {
    auto window = std::make_unique<MainWindow>();
    EventLog log(*window);
    window->setEvents(&log);
    window->controls().按钮1.simulateClick();
    window.reset();
    spinFor(50);
    EXPECT_TRUE(log.entries.empty());
}

}  // namespace
