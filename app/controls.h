#pragma once

#include <string>

// What the program's logic may do to the main window and its controls. The
// window implements these; the handlers never see the toolkit behind them.
// Texts are GBK bytes. Every operation may be called on the GUI thread; the
// status bar, the progress bar and the timers may also be called from another
// thread, and then take effect on the GUI thread before they return.

class LabelControl {
public:
    virtual ~LabelControl() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual std::string caption() const = 0;
};

class EditControl {
public:
    virtual ~EditControl() = default;
    virtual void setContent(const std::string& text) = 0;
    virtual std::string content() const = 0;
};

class CheckControl {
public:
    virtual ~CheckControl() = default;
    virtual void setChecked(int value) = 0;  // only 1 checks; no click event
    virtual int checked() const = 0;
};

class ButtonControl {
public:
    virtual ~ButtonControl() = default;
    // Queues one press and release at the button's top-left point, handled by
    // the event loop after the running handler, in the order queued.
    virtual void simulateClick() = 0;
};

class TimerControl {
public:
    virtual ~TimerControl() = default;
    // Negative counts as 0; the same value does not restart; 0 stops.
    virtual void setPeriod(int milliseconds) = 0;
    virtual int period() const = 0;
};

class ProgressControl {
public:
    virtual ~ProgressControl() = default;
    virtual void setPosition(int value) = 0;  // stored clamped to 0..32767
    virtual int position() const = 0;
};

class StatusBarControl {
public:
    virtual ~StatusBarControl() = default;
    virtual void setStatusText(int part, const std::string& text) = 0;  // parts 0..3
    virtual std::string statusText(int part) const = 0;
};

class WindowControl {
public:
    virtual ~WindowControl() = default;
    // false on a visible window hides it and raises the hidden event inside
    // this call; true shows and activates it.
    virtual void setVisible(bool visible) = 0;
    virtual bool visible() const = 0;
    // 0 normal, 1 centred, 2 minimised, 3 maximised; clamped; acts at once
    // only while the window is visible.
    virtual void setPlacement(int placement) = 0;
    virtual int placement() const = 0;
    // Shows (or updates) the program's icon in the notification area with the
    // tip, cut to 62 bytes; showIcon false removes it.
    virtual void setNotifyIcon(bool showIcon, const std::string& tip) = 0;
};

// The main window as the handlers see it: the controls keep their names.
struct Controls {
    WindowControl& window;
    LabelControl& 标签25;
    LabelControl& 标签2;
    EditControl& 编辑框1;
    LabelControl& 标签24;
    CheckControl& 选择框1;
    CheckControl& 选择框2;
    CheckControl& 选择框3;
    ButtonControl& 按钮4;
    LabelControl& 标签6;
    LabelControl& 标签7;
    LabelControl& 标签3;
    LabelControl& 标签27;
    LabelControl& 标签26;
    LabelControl& 标签9;
    LabelControl& 标签10;
    ProgressControl& 进度条1;
    ButtonControl& 按钮1;
    ButtonControl& 按钮5;
    ButtonControl& 按钮3;
    LabelControl& 标签22;
    StatusBarControl& 状态条1;
    LabelControl& 标签5;
    LabelControl& 标签4;
    LabelControl& 标签8;
    LabelControl& 标签23;
    LabelControl& 标签1;
    TimerControl& 时钟1;
    TimerControl& 时钟2;
    TimerControl& 时钟3;
    TimerControl& 时钟4;
};
