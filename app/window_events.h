#pragma once

// The events of the main window that have handlers. The window raises them on
// the GUI thread, one at a time.

enum class ClickSource { 按钮1, 按钮3, 按钮4, 按钮5, 选择框1, 选择框2, 选择框3 };
enum class TimerSource { 时钟1, 时钟2, 时钟3 };

class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void onCreated() = 0;  // before the window is first shown
    virtual void onHidden() = 0;
    virtual void onTrayEvent(int action) = 0;  // 1 left release, 2 double-click, 3 right release
    virtual void onClick(ClickSource source) = 0;
    virtual void onTick(TimerSource source) = 0;
};
