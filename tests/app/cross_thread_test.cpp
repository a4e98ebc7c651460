// The operations the engine's thread makes: they wait for the GUI thread and
// have taken effect when they return.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "tests/app/shell_fixture.h"

namespace {

TEST(CrossThreadTest, ChangesFromAnotherThreadTakeEffectBeforeTheyReturn) {
    MainWindow window;
    EventLog log(window);
    window.setEvents(&log);
    window.load();
    Controls& ui = window.controls();

    std::atomic<int> done{0};
    std::string seenText;
    int seenPosition = -1;
    int seenPeriod = -1;
    std::thread engine([&] {
        ui.状态条1.setStatusText(0, gbk("文件大小：") + "5KB");
        seenText = ui.状态条1.statusText(0);
        ui.进度条1.setPosition(150);
        seenPosition = ui.进度条1.position();
        ui.时钟3.setPeriod(1000);
        seenPeriod = ui.时钟3.period();
        done = 1;
    });
    QTest::qSleep(150);  // the GUI thread is busy: nothing can have happened yet
    EXPECT_EQ(done.load(), 0);
    EXPECT_TRUE(qobject_cast<QLabel*>(window.control("状态条1.0"))->text().isEmpty());

    ASSERT_TRUE(spinUntil([&] { return done.load() == 1; }));
    engine.join();
    EXPECT_EQ(seenText, gbk("文件大小：") + "5KB");
    EXPECT_EQ(seenPosition, 150);
    EXPECT_EQ(seenPeriod, 1000);
    EXPECT_EQ(qobject_cast<QLabel*>(window.control("状态条1.0"))->text(),
              QString::fromUtf8("文件大小：5KB"));
    EXPECT_EQ(qobject_cast<QProgressBar*>(window.control("进度条1"))->value(), 100);
    auto* timer = window.findChild<QTimer*>(QString::fromUtf8("时钟3"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);

    // Stopping from the engine's thread: no tick after it returns.
    std::thread stopper([&] { ui.时钟3.setPeriod(0); });
    ASSERT_TRUE(spinUntil([&] { return !timer->isActive(); }));
    stopper.join();
}

TEST(CrossThreadTest, AWaitingCallIsReleasedWhenTheWindowGoes) {
    auto window = std::make_unique<MainWindow>();
    StatusBarControl& status = window->controls().状态条1;
    auto call = std::async(std::launch::async, [&status] { status.setStatusText(1, "late"); });
    QTest::qSleep(100);  // the call now waits for the GUI thread
    window.reset();
    EXPECT_EQ(call.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

}  // namespace
