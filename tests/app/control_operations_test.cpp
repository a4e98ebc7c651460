// The control operations as the handlers use them, on the real widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/app/shell_fixture.h"

namespace {

class ControlOperationsTest : public ::testing::Test {
protected:
    MainWindow window;
    EventLog log{window};
    Controls& ui = window.controls();

    void SetUp() override {
        window.setEvents(&log);
        window.load();
        log.entries.clear();
    }

    template <typename Widget>
    Widget* find(const char* name) {
        return qobject_cast<Widget*>(window.control(name));
    }
};

TEST_F(ControlOperationsTest, CaptionsAndContentReadBackByteForByte) {
    // A valid GBK text, and bytes that are no GBK at all: both come back as written.
    const std::string texts[] = {gbk("需要升级！"), std::string("\x81\x20\xff", 3), ""};
    for (const std::string& text : texts) {
        ui.标签10.setCaption(text);
        EXPECT_EQ(ui.标签10.caption(), text);
        ui.编辑框1.setContent(text);
        EXPECT_EQ(ui.编辑框1.content(), text);
    }
    ui.标签10.setCaption(gbk("需要升级！"));
    EXPECT_EQ(find<QLabel>("标签10")->text(), QString::fromUtf8("需要升级！"));
}

TEST_F(ControlOperationsTest, LabelsShowMarkupAsPlainText) {
    ui.标签3.setCaption("<b>notice</b>");
    EXPECT_EQ(find<QLabel>("标签3")->textFormat(), Qt::PlainText);
    EXPECT_EQ(find<QLabel>("标签3")->text(), QStringLiteral("<b>notice</b>"));
}

TEST_F(ControlOperationsTest, ContentIncludesTheUsersEdits) {
    ui.编辑框1.setContent("http://host/a");
    auto* edit = find<QLineEdit>("编辑框1");
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("/"));
    QInputMethodEvent typed;  // Chinese comes in through the input method
    typed.setCommitString(QString::fromUtf8("升级"));
    QCoreApplication::sendEvent(edit, &typed);
    EXPECT_EQ(ui.编辑框1.content(), "http://host/a" + gbk("/升级"));
    ui.编辑框1.setContent("new");  // the user's edit is gone
    EXPECT_EQ(ui.编辑框1.content(), "new");
}

TEST_F(ControlOperationsTest, OnlyOneChecksAndSettingRaisesNoClick) {
    const struct {
        int value;
        int expected;
    } cases[] = {{1, 1}, {2, 0}, {1, 1}, {0, 0}, {-1, 0}};
    for (const auto& c : cases) {
        ui.选择框2.setChecked(c.value);
        EXPECT_EQ(ui.选择框2.checked(), c.expected) << c.value;
        EXPECT_EQ(find<QCheckBox>("选择框2")->isChecked(), c.expected == 1);
    }
    EXPECT_TRUE(log.entries.empty());

    QTest::mouseClick(find<QCheckBox>("选择框2"), Qt::LeftButton);
    EXPECT_EQ(ui.选择框2.checked(), 1);
    EXPECT_EQ(log.entries, std::vector<std::string>{"选择框2 (shown)"});
}

TEST_F(ControlOperationsTest, ProgressPositionIsStoredAndShownClamped) {
    const struct {
        int value;
        int stored;
        int shown;
    } cases[] = {{50, 50, 50}, {150, 150, 100}, {-1, 0, 0}, {40000, 32767, 100}, {100, 100, 100}};
    for (const auto& c : cases) {
        ui.进度条1.setPosition(c.value);
        EXPECT_EQ(ui.进度条1.position(), c.stored) << c.value;
        EXPECT_EQ(find<QProgressBar>("进度条1")->value(), c.shown) << c.value;
    }
}

TEST_F(ControlOperationsTest, StatusTextGoesOnlyToPartsZeroToThree) {
    for (int part = 0; part < 4; ++part) ui.状态条1.setStatusText(part, gbk("已下载：") + "1");
    ui.状态条1.setStatusText(4, "four");
    ui.状态条1.setStatusText(-1, "minus");
    for (int part = 0; part < 4; ++part) {
        EXPECT_EQ(ui.状态条1.statusText(part), gbk("已下载：") + "1");
        auto* label = find<QLabel>(("状态条1." + std::to_string(part)).c_str());
        EXPECT_EQ(label->text(), QString::fromUtf8("已下载：1"));
    }
    EXPECT_EQ(ui.状态条1.statusText(4), "");
}

TEST_F(ControlOperationsTest, TimerPeriodRules) {
    auto* timer = window.findChild<QTimer*>(QString::fromUtf8("时钟3"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    ui.时钟3.setPeriod(-5);
    EXPECT_EQ(ui.时钟3.period(), 0);
    EXPECT_FALSE(timer->isActive());

    ui.时钟3.setPeriod(400);
    EXPECT_TRUE(timer->isActive());
    spinFor(250);
    const int leftBefore = timer->remainingTime();
    ui.时钟3.setPeriod(400);  // the same value: the count goes on
    EXPECT_LE(timer->remainingTime(), leftBefore);
    EXPECT_LT(timer->remainingTime(), 200);
    ui.时钟3.setPeriod(600);  // another value: counts again from now
    EXPECT_GT(timer->remainingTime(), 500);

    ui.时钟3.setPeriod(30);
    ASSERT_TRUE(spinUntil([&] { return log.entries.size() >= 2; }));
    EXPECT_EQ(log.entries[0], "时钟3 (shown)");
    ui.时钟3.setPeriod(-5);
    EXPECT_FALSE(timer->isActive());
    const std::size_t ticks = log.entries.size();
    spinFor(100);
    EXPECT_EQ(log.entries.size(), ticks);
}

TEST_F(ControlOperationsTest, TicksThatFallDueDuringAHandlerMerge) {
    ui.时钟1.setPeriod(20);
    int ticks = 0;
    log.whenTicked = [&](TimerSource) {
        if (++ticks == 1) QTest::qSleep(200);  // ten periods pass inside the handler
    };
    spinFor(250);
    ui.时钟1.setPeriod(0);
    EXPECT_GE(ticks, 2);
    EXPECT_LT(ticks, 8);
}

TEST_F(ControlOperationsTest, HidingRaisesTheHiddenEventInsideTheCallOnce) {
    log.whenClicked = nullptr;
    ASSERT_TRUE(ui.window.visible());
    ui.window.setVisible(false);
    EXPECT_EQ(log.entries, std::vector<std::string>{"hidden (hidden)"});
    ui.window.setVisible(false);  // already hidden: no event
    EXPECT_EQ(log.entries.size(), 1u);
    ui.window.setVisible(true);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(log.entries.size(), 1u);
}

TEST_F(ControlOperationsTest, PlacementIsClampedAndActsOnlyWhenVisible) {
    const struct {
        int value;
        int stored;
    } cases[] = {{-3, 0}, {7, 3}, {1, 1}, {0, 0}};
    for (const auto& c : cases) {
        ui.window.setPlacement(c.value);
        EXPECT_EQ(ui.window.placement(), c.stored) << c.value;
    }
    ui.window.setPlacement(2);
    EXPECT_TRUE(window.isMinimized());
    ui.window.setPlacement(0);
    EXPECT_FALSE(window.isMinimized());

    ui.window.setVisible(false);
    ui.window.setPlacement(2);  // only stored
    EXPECT_EQ(ui.window.placement(), 2);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
