// Every way out of the program, each in a process of its own: the exit code,
// the clean-up run at most once, and no handler after the end has begun.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/end_program.h"
#include "app/upgrader.h"
#include "app/upgrader_events.h"
#include "tests/app/shell_fixture.h"

namespace {

std::string markerPath;

void mark(const std::string& line) { std::ofstream(markerPath, std::ios::app) << line << '\n'; }

std::string marks() {
    std::ifstream in(markerPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void startMarks() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    markerPath = ::testing::TempDir() + "exit_" + test->name() + ".txt";
    std::remove(markerPath.c_str());
}

void markedCleanup() {
    mark(std::string("cleanup, ending ") + (programEnding() ? "set" : "unset"));
}

// The program's own bindings, with each event written down before it runs.
class MarkedEvents final : public WindowEvents {
public:
    explicit MarkedEvents(WindowEvents& inner) : inner_(inner) {}
    void onCreated() override { mark("created"); }  // no start-up check here
    void onHidden() override {
        mark("hidden");
        inner_.onHidden();
    }
    void onTrayEvent(int action) override { inner_.onTrayEvent(action); }
    void onClick(ClickSource source) override {
        mark(nameOf(source));
        inner_.onClick(source);
    }
    void onTick(TimerSource source) override {
        mark(nameOf(source));
        inner_.onTick(source);
    }

private:
    WindowEvents& inner_;
};

// Runs the program's window with its real bindings, does what ends it, and
// fails with 99 if the program goes on.
[[noreturn]] void runUntilEnd(const std::function<void(MainWindow&)>& action) {
    createUpgraderState();
    setExitCleanup(markedCleanup);
    MainWindow window;
    Upgrader upgrader{upgraderState(), window.controls(), Endpoints{}};
    UpgraderEvents bindings(upgrader);
    MarkedEvents events(bindings);
    window.setEvents(&events);
    window.load();
    action(window);
    spinFor(2000);
    std::_Exit(99);
}

TEST(ExitSequenceTest, EveryOrdinaryWayOutEndsWithZeroAndCleansUpOnce) {
    const struct {
        const char* name;
        const char* lastEvent;
        std::function<void(MainWindow&)> action;
    } cases[] = {
        {"exit button", "按钮3",
         [](MainWindow& w) {
             QTest::mouseClick(qobject_cast<QPushButton*>(w.control("按钮3")), Qt::LeftButton);
         }},
        {"Esc in the edit box", "created",
         [](MainWindow& w) {
             auto* edit = qobject_cast<QLineEdit*>(w.control("编辑框1"));
             edit->setFocus();
             QTest::keyClick(edit, Qt::Key_Escape);
         }},
        {"close box", "created", [](MainWindow& w) { w.close(); }},
        {"auto-exit timer", "时钟1", [](MainWindow& w) { w.controls().时钟1.setPeriod(20); }},
        {"exit timer after a failed lookup", "时钟2",
         [](MainWindow& w) { w.controls().时钟2.setPeriod(20); }},
        {"end while hidden", "时钟2",
         [](MainWindow& w) {
             w.controls().window.setVisible(false);
             w.controls().时钟2.setPeriod(20);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startMarks();
        EXPECT_EXIT(runUntilEnd(c.action), ::testing::ExitedWithCode(0), "");
        const std::string log = marks();
        EXPECT_NE(log.find(std::string(c.lastEvent) + "\ncleanup, ending set\n"), std::string::npos)
            << log;
        EXPECT_EQ(log.find("cleanup"), log.rfind("cleanup")) << log;
    }
}

TEST(ExitSequenceTest, AnEndFromAnotherThreadWaitsForTheBusyHandler) {
    startMarks();
    auto run = [] {
        setExitCleanup(markedCleanup);
        MainWindow window;
        EventLog events(window);
        events.whenClicked = [](ClickSource) {
            std::thread([] { endProgram(5); }).detach();
            QTest::qSleep(300);  // busy on the GUI thread meanwhile
            mark("handler returns");
        };
        window.setEvents(&events);
        window.load();
        window.controls().按钮4.simulateClick();
        spinFor(3000);
        std::_Exit(99);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(5), "");
    EXPECT_EQ(marks(), "handler returns\ncleanup, ending set\n");
}

TEST(ExitSequenceTest, ASecondEndAddsNothing) {
    startMarks();
    auto run = [] {
        setExitCleanup([] {
            markedCleanup();
            std::thread([] { endProgram(8); }).detach();  // from another thread, meanwhile
            QTest::qSleep(100);
            endProgram(7);  // and from the sequence itself
        });
        MainWindow window;
        EventLog events(window);
        window.setEvents(&events);
        window.load();
        std::thread([] { endProgram(3); }).detach();
        spinFor(3000);
        std::_Exit(99);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(marks(), "cleanup, ending set\n");
}

TEST(ExitSequenceTest, AFatalErrorShowsABoxAndEndsWithMinusOneWithoutCleanUp) {
    startMarks();
    auto run = [] {
        setExitCleanup(markedCleanup);
        MainWindow window;
        EventLog events(window);
        events.whenClicked = [&](ClickSource source) {
            mark(nameOf(source));
            if (source != ClickSource::按钮4) return;
            window.controls().按钮1.simulateClick();  // must not run during the box
            QTimer::singleShot(300, [] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    mark("box shown");
                    box->close();
                }
            });
            endProgramFatally("cannot go on");
        };
        window.setEvents(&events);
        window.load();
        window.controls().按钮4.simulateClick();
        spinFor(3000);
        std::_Exit(99);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(marks(), "按钮4\nbox shown\n");
}

}  // namespace
