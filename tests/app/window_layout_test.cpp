// The main window as built from its description: frame, places, captions,
// looks and start-up state.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "app/gbk_qt.h"
#include "services/texts.h"
#include "tests/app/shell_fixture.h"

namespace {

class WindowLayoutTest : public ::testing::Test {
protected:
    MainWindow window;
    EventLog log{window};

    void SetUp() override {
        window.setEvents(&log);
        window.load();
    }

    template <typename Widget = QWidget>
    Widget* find(const char* name) {
        auto* widget = qobject_cast<Widget*>(window.control(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

TEST_F(WindowLayoutTest, FrameIsFixedTitledAndCentred) {
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("霁岩2010网络版自动升级器V2.0"));
    EXPECT_EQ(window.frameGeometry().size(), QSize(445, 276));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.frameGeometry().topLeft(),
              QPoint((screen.width() - 445) / 2, (screen.height() - 276) / 2));
    EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(WindowLayoutTest, ControlsSitAtTheirPlacesWithTheirCaptions) {
    struct Case {
        const char* name;
        QRect place;
        const char* caption;  // UTF-8, as shown
    };
    const Case cases[] = {
        {"标签25", {16, 4, 416, 20}, ""},
        {"标签2", {8, 27, 64, 24}, "升级网址："},
        {"编辑框1", {72, 27, 360, 20}, ""},
        {"选择框1", {78, 49, 128, 20}, "下次启动时最小化"},
        {"选择框2", {236, 49, 141, 20}, "启动程序时自动升级"},
        {"选择框3", {78, 70, 122, 24}, "无条件升级"},
        {"按钮4", {265, 70, 80, 20}, "保存设置"},
        {"标签6", {8, 93, 104, 20}, "官方升级包版本："},
        {"标签3", {206, 97, 212, 32}, ""},
        {"进度条1", {8, 157, 424, 14}, nullptr},
        {"按钮1", {49, 175, 80, 20}, "手动升级"},
        {"按钮5", {181, 175, 80, 20}, "最小化到托盘"},
        {"按钮3", {306, 175, 80, 20}, "退出"},
        {"标签22", {40, 201, 97, 20}, "墨川工作室出品"},
        {"超级链接框2", {300, 201, 94, 20}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = find(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.place);
        EXPECT_TRUE(widget->isVisible());
        if (!c.caption) continue;
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) shown = button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
        EXPECT_EQ(shown, QString::fromUtf8(c.caption));
    }
}

TEST_F(WindowLayoutTest, FontsColoursAndAlignment) {
    const QFont bold = find("标签2")->font();
    EXPECT_EQ(bold.pixelSize(), 12);
    EXPECT_EQ(bold.weight(), QFont::Bold);
    EXPECT_EQ(find("选择框1")->font().weight(), QFont::Bold);
    EXPECT_EQ(find("按钮3")->font().pixelSize(), 12);
    EXPECT_EQ(find("按钮3")->font().weight(), QFont::Normal);
    EXPECT_EQ(find("标签25")->font().pixelSize(), 14);

    auto* message = find<QLabel>("标签25");
    EXPECT_EQ(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(message->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_TRUE(message->autoFillBackground());
    EXPECT_TRUE(message->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(find("标签10")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(find("标签3")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(find<QLabel>("标签22")->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(find<QLabel>("标签6")->alignment() & Qt::AlignLeft);
}

TEST_F(WindowLayoutTest, StartUpState) {
    auto* edit = find<QLineEdit>("编辑框1");
    EXPECT_GT(edit->maxLength(), 1 << 20);  // no length limit
    auto* bar = find<QProgressBar>("进度条1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    for (const char* box : {"选择框1", "选择框2", "选择框3"})
        EXPECT_FALSE(find<QCheckBox>(box)->isChecked()) << box;
    Controls& ui = window.controls();
    for (LabelControl* holder : {&ui.标签5, &ui.标签4, &ui.标签8, &ui.标签23, &ui.标签1})
        holder->setCaption("YES");
    for (const char* label : {"标签5", "标签4", "标签8", "标签23", "标签1"}) {
        ASSERT_NE(find(label), nullptr);
        EXPECT_FALSE(find(label)->isVisible()) << label;
    }
}

TEST_F(WindowLayoutTest, StatusBarHasFourPartsAlongTheBottom) {
    auto* bar = find<QStatusBar>("状态条1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry().bottom(), window.height() - 1);
    EXPECT_EQ(bar->width(), window.width());
    const int rightEdges[] = {130, 240, 350, 440};
    int left = 0;
    for (int part = 0; part < 4; ++part) {
        auto* label = find<QLabel>(("状态条1." + std::to_string(part)).c_str());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->x(), left);
        EXPECT_EQ(label->x() + label->width(), rightEdges[part]);
        EXPECT_TRUE(label->text().isEmpty());
        left = rightEdges[part];
    }
}

TEST_F(WindowLayoutTest, OnlyInputControlsTakeTheFocusAndAllAreAccessible) {
    for (const char* name :
         {"编辑框1", "选择框1", "选择框2", "选择框3", "按钮4", "按钮1", "按钮5", "按钮3"}) {
        QWidget* widget = find(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus) << name;
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(access, nullptr) << name;
        if (!qobject_cast<QLineEdit*>(widget)) {
            EXPECT_FALSE(access->text(QAccessible::Name).isEmpty()) << name;
        }
    }
    for (const char* name : {"标签25", "标签2", "超级链接框1", "超级链接框2", "进度条1", "状态条1"})
        EXPECT_FALSE(find(name)->focusPolicy() & Qt::TabFocus) << name;
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(find("超级链接框1"));
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->text(QAccessible::Name).contains(QStringLiteral("@")));
}

TEST_F(WindowLayoutTest, HyperlinksOpenMailAndWebTargets) {
    auto* mail = find<QLabel>("超级链接框1");
    auto* site = find<QLabel>("超级链接框2");
    EXPECT_TRUE(mail->text().contains(QStringLiteral("href=\"mailto:")));
    EXPECT_TRUE(site->text().contains(QStringLiteral("href=\"http://")));
    EXPECT_EQ(mail->palette().color(QPalette::Link), QColor(0, 0, 255));
}

}  // namespace
