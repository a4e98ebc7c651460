#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/controls.h"
#include "app/window_events.h"

class ButtonWidget;
class CheckWidget;
class EditWidget;
class LabelWidget;
class ProgressWidget;
class StatusBarWidget;
class TimerWidget;
class WindowWidget;
struct ControlDescription;

// The main window, built hidden from its description (window_layout_qt.cpp).
// Use:
//     QApplication app(argc, argv);
//     MainWindow window;
//     Upgrader upgrader{state, window.controls(), hosts};
//     UpgraderEvents events(upgrader);
//     window.setEvents(&events);
//     window.load();  // the created event, then the window is shown centred
// Every widget's object name is its control's name ("按钮1", "状态条1"); the
// status bar's parts are "状态条1.0" to "状态条1.3".
class MainWindow final : public QWidget {
public:
    MainWindow();
    ~MainWindow() override;

    Controls& controls();
    void setEvents(WindowEvents* events);
    // Raises the created event, then shows the window in the middle of the
    // screen, unless the handler ended the program.
    void load();

    // The widget of a control by its name (UTF-8), or null.
    QWidget* control(std::string_view name) const;
    bool notifyIconShown() const;

    // The exit sequence: no event reaches a handler any more, the timers stop
    // and the notification icon goes.
    void shutDownForExit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build(const ControlDescription& entry);
    template <typename Raise>
    void raiseEvent(Raise&& raise);
    void fitOuterSize();

    WindowEvents* events_ = nullptr;
    std::unique_ptr<WindowWidget> window_;
    std::map<std::string, std::unique_ptr<LabelWidget>, std::less<>> labels_;
    std::map<std::string, std::unique_ptr<CheckWidget>, std::less<>> checks_;
    std::map<std::string, std::unique_ptr<ButtonWidget>, std::less<>> buttons_;
    std::map<std::string, std::unique_ptr<TimerWidget>, std::less<>> timers_;
    std::unique_ptr<EditWidget> edit_;
    std::unique_ptr<ProgressWidget> progress_;
    std::unique_ptr<StatusBarWidget> statusBar_;
    QWidget* statusBarWidget_ = nullptr;
    std::unique_ptr<Controls> controls_;
};
