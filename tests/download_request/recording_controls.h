#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/controls.h"

// Stand-ins for the window's controls. The engine's callback changes some of
// them from its own thread, so each control keeps its value under a lock, and
// the changes that the download makes go into one journal in the order made
// ("时钟3=0", "status0=...", "progress=0"): that order is what tests look at.
class Journal {
public:
    void add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

template <typename Value>
class Guarded {
public:
    void set(Value value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }
    Value get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_;
    Value value_{};
};

class RecordingLabel : public LabelControl {
public:
    void setCaption(const std::string& text) override { text_.set(text); }
    std::string caption() const override { return text_.get(); }

private:
    Guarded<std::string> text_;
};

class RecordingEdit : public EditControl {
public:
    void setContent(const std::string& text) override { text_.set(text); }
    std::string content() const override { return text_.get(); }

private:
    Guarded<std::string> text_;
};

class RecordingCheck : public CheckControl {
public:
    void setChecked(int value) override { checked_.set(value == 1); }
    int checked() const override { return checked_.get(); }

private:
    Guarded<int> checked_;
};

class RecordingButton : public ButtonControl {
public:
    void simulateClick() override {}
};

class RecordingWindow : public WindowControl {
public:
    void setVisible(bool) override {}
    bool visible() const override { return true; }
    void setPlacement(int) override {}
    int placement() const override { return 0; }
    void setNotifyIcon(bool, const std::string&) override {}
};

class RecordingTimer : public TimerControl {
public:
    RecordingTimer(Journal& journal, std::string name)
        : journal_(journal), name_(std::move(name)) {}
    void setPeriod(int milliseconds) override {
        period_.set(milliseconds < 0 ? 0 : milliseconds);
        journal_.add(name_ + "=" + std::to_string(period_.get()));
    }
    int period() const override { return period_.get(); }

private:
    Journal& journal_;
    std::string name_;
    Guarded<int> period_;
};

class RecordingProgress : public ProgressControl {
public:
    explicit RecordingProgress(Journal& journal) : journal_(journal) {}
    void setPosition(int value) override {
        position_.set(value < 0 ? 0 : value > 32767 ? 32767 : value);
        journal_.add("progress=" + std::to_string(position_.get()));
    }
    int position() const override { return position_.get(); }

private:
    Journal& journal_;
    Guarded<int> position_;
};

class RecordingStatusBar : public StatusBarControl {
public:
    explicit RecordingStatusBar(Journal& journal) : journal_(journal) {}
    void setStatusText(int part, const std::string& text) override {
        if (part < 0 || part > 3) return;
        parts_[part].set(text);
        journal_.add("status" + std::to_string(part) + "=" + text);
    }
    std::string statusText(int part) const override {
        return part < 0 || part > 3 ? std::string() : parts_[part].get();
    }

private:
    Journal& journal_;
    Guarded<std::string> parts_[4];
};

struct RecordingWindowControls {
    Journal journal;
    RecordingWindow window;
    RecordingLabel labels[16];
    RecordingEdit edit;
    RecordingCheck boxes[3];
    RecordingButton buttons[4];
    RecordingProgress progress{journal};
    RecordingStatusBar status{journal};
    RecordingTimer timer1{journal, "时钟1"};
    RecordingTimer timer2{journal, "时钟2"};
    RecordingTimer timer3{journal, "时钟3"};
    RecordingTimer timer4{journal, "时钟4"};

    // In the order of the members of Controls; labels[0] is 标签25.
    Controls controls{window,     labels[0],  labels[1],  edit,      labels[2],  boxes[0],
                      boxes[1],   boxes[2],   buttons[0], labels[3], labels[4],  labels[5],
                      labels[6],  labels[7],  labels[8],  labels[9], progress,   buttons[1],
                      buttons[2], buttons[3], labels[10], status,    labels[11], labels[12],
                      labels[13], labels[14], labels[15], timer1,    timer2,     timer3,
                      timer4};
};
