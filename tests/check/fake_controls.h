#pragma once

#include <string>

#include "app/controls.h"

// In-memory controls for the scraping procedures, which only write and read
// captions: the start-up check and the settings are tested on the real window.
class FakeLabel : public LabelControl {
public:
    void setCaption(const std::string& text) override { text_ = text; }
    std::string caption() const override { return text_; }

private:
    std::string text_;
};

class FakeEdit : public EditControl {
public:
    void setContent(const std::string& text) override { text_ = text; }
    std::string content() const override { return text_; }

private:
    std::string text_;
};

class FakeCheck : public CheckControl {
public:
    void setChecked(int value) override { checked_ = value == 1 ? 1 : 0; }
    int checked() const override { return checked_; }

private:
    int checked_ = 0;
};

class FakeButton : public ButtonControl {
public:
    void simulateClick() override { ++clicks; }
    int clicks = 0;
};

class FakeTimer : public TimerControl {
public:
    void setPeriod(int milliseconds) override { period_ = milliseconds < 0 ? 0 : milliseconds; }
    int period() const override { return period_; }

private:
    int period_ = 0;
};

class FakeProgress : public ProgressControl {
public:
    void setPosition(int value) override { position_ = value; }
    int position() const override { return position_; }

private:
    int position_ = 0;
};

class FakeStatusBar : public StatusBarControl {
public:
    void setStatusText(int, const std::string&) override {}
    std::string statusText(int) const override { return {}; }
};

class FakeWindow : public WindowControl {
public:
    void setVisible(bool) override {}
    bool visible() const override { return false; }
    void setPlacement(int) override {}
    int placement() const override { return 0; }
    void setNotifyIcon(bool, const std::string&) override {}
};

struct FakeWindowControls {
    FakeWindow window;
    FakeLabel labels[16];
    FakeEdit edit;
    FakeCheck boxes[3];
    FakeButton buttons[4];
    FakeProgress progress;
    FakeStatusBar status;
    FakeTimer timers[4];

    Controls controls{window,     labels[0],  labels[1],  edit,      labels[2],  boxes[0],
                      boxes[1],   boxes[2],   buttons[0], labels[3], labels[4],  labels[5],
                      labels[6],  labels[7],  labels[8],  labels[9], progress,   buttons[1],
                      buttons[2], buttons[3], labels[10], status,    labels[11], labels[12],
                      labels[13], labels[14], labels[15], timers[0], timers[1],  timers[2],
                      timers[3]};
};
