#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringEncoder>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_qt.h"
#include "app/window_events.h"

// GBK bytes of a UTF-8 text, for expected values.
inline std::string gbk(const char* utf8) {
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(QString::fromUtf8(utf8));
    return bytes.toStdString();
}

inline const char* nameOf(ClickSource source) {
    switch (source) {
        case ClickSource::按钮1:
            return "按钮1";
        case ClickSource::按钮3:
            return "按钮3";
        case ClickSource::按钮4:
            return "按钮4";
        case ClickSource::按钮5:
            return "按钮5";
        case ClickSource::选择框1:
            return "选择框1";
        case ClickSource::选择框2:
            return "选择框2";
        case ClickSource::选择框3:
            return "选择框3";
    }
    return "?";
}

inline const char* nameOf(TimerSource source) {
    switch (source) {
        case TimerSource::时钟1:
            return "时钟1";
        case TimerSource::时钟2:
            return "时钟2";
        case TimerSource::时钟3:
            return "时钟3";
    }
    return "?";
}

// Writes down every event the window raises, with whether the window was
// visible at that moment; optional actions run inside the handlers.
class EventLog final : public WindowEvents {
public:
    explicit EventLog(MainWindow& window) : window_(window) {}

    std::vector<std::string> entries;
    std::function<void()> whenCreated;
    std::function<void(ClickSource)> whenClicked;
    std::function<void(TimerSource)> whenTicked;

    void onCreated() override {
        note("created");
        if (whenCreated) whenCreated();
    }
    void onHidden() override { note("hidden"); }
    void onTrayEvent(int action) override { note("tray " + std::to_string(action)); }
    void onClick(ClickSource source) override {
        note(nameOf(source));
        if (whenClicked) whenClicked(source);
    }
    void onTick(TimerSource source) override {
        note(nameOf(source));
        if (whenTicked) whenTicked(source);
    }

private:
    void note(const std::string& what) {
        entries.push_back(what + (window_.isVisible() ? " (shown)" : " (hidden)"));
    }
    MainWindow& window_;
};

// Runs the event loop until done() holds or the time is up.
inline bool spinUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void spinFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
