#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>

#include "app/controls.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;

// The control operations on the toolkit's widgets. Each keeps the GBK bytes
// last written to it, so that a text reads back byte for byte as it was set,
// whatever the window can show of it.

class LabelWidget final : public LabelControl {
public:
    explicit LabelWidget(QLabel* label);
    void setCaption(const std::string& text) override;
    std::string caption() const override;

private:
    QLabel* label_;
    std::string caption_;
};

class EditWidget final : public EditControl {
public:
    explicit EditWidget(QLineEdit* edit);
    void setContent(const std::string& text) override;
    std::string content() const override;  // the user's edits included

private:
    QLineEdit* edit_;
    std::string content_;
};

class CheckWidget final : public CheckControl {
public:
    explicit CheckWidget(QCheckBox* box);
    void setChecked(int value) override;
    int checked() const override;

private:
    QCheckBox* box_;
};

class ButtonWidget final : public ButtonControl {
public:
    explicit ButtonWidget(QPushButton* button);
    void simulateClick() override;

private:
    QPushButton* button_;
};

// Ticks go to onTick on the GUI thread. The period may be set from any thread.
class TimerWidget final : public TimerControl {
public:
    TimerWidget(QTimer* timer, std::function<void()> onTick);
    void setPeriod(int milliseconds) override;
    int period() const override;
    void stop();  // the exit sequence: no tick after this

private:
    QTimer* timer_;
    std::atomic<int> period_{0};
};

// The position may be set and read from any thread.
class ProgressWidget final : public ProgressControl {
public:
    explicit ProgressWidget(QProgressBar* bar);
    void setPosition(int value) override;
    int position() const override;

private:
    QProgressBar* bar_;
    std::atomic<int> position_{0};
};

// Texts may be set from any thread; read them on the GUI thread.
class StatusBarWidget final : public StatusBarControl {
public:
    StatusBarWidget(QStatusBar* bar, std::array<QLabel*, 4> parts);
    void setStatusText(int part, const std::string& text) override;
    std::string statusText(int part) const override;

private:
    QStatusBar* bar_;
    std::array<QLabel*, 4> parts_;
    std::array<std::string, 4> texts_;
};
