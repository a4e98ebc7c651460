#include "app/controls_qt.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/gbk_qt.h"
#include "app/gui_thread_qt.h"

LabelWidget::LabelWidget(QLabel* label) : label_(label) {}

void LabelWidget::setCaption(const std::string& text) {
    caption_ = text;
    label_->setText(fromGbk(caption_));
}

std::string LabelWidget::caption() const { return caption_; }

EditWidget::EditWidget(QLineEdit* edit) : edit_(edit) {}

void EditWidget::setContent(const std::string& text) {
    content_ = text;
    edit_->setText(fromGbk(content_));
}

std::string EditWidget::content() const {
    // Untouched since it was set, the box gives back the very bytes it was
    // given; after an edit, what it shows.
    if (edit_->text() == fromGbk(content_)) return content_;
    return toGbk(edit_->text());
}

CheckWidget::CheckWidget(QCheckBox* box) : box_(box) {}

void CheckWidget::setChecked(int value) {
    box_->setChecked(value == 1);  // raises no click: only the user's clicks do
}

int CheckWidget::checked() const { return box_->isChecked() ? 1 : 0; }

ButtonWidget::ButtonWidget(QPushButton* button) : button_(button) {}

void ButtonWidget::simulateClick() {
    // A press and a release at the top-left point, posted: the loop handles
    // them after the running handler, in the order queued, and drops them if
    // the button is gone by then.
    const QPointF corner(0, 0);
    const QPointF global = button_->mapToGlobal(corner);
    QCoreApplication::postEvent(
        button_, new QMouseEvent(QEvent::MouseButtonPress, corner, global, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        button_, new QMouseEvent(QEvent::MouseButtonRelease, corner, global, Qt::LeftButton,
                                 Qt::NoButton, Qt::NoModifier));
}

TimerWidget::TimerWidget(QTimer* timer, std::function<void()> onTick) : timer_(timer) {
    // Precise, so that a 5000 ms period is not cut short; the toolkit already
    // merges ticks that fall due while a handler runs.
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, timer_, std::move(onTick));
}

void TimerWidget::setPeriod(int milliseconds) {
    const int value = std::max(milliseconds, 0);
    runOnGuiThread(timer_, [this, value] {
        if (value == period_.load()) return;  // a running count is not restarted
        period_.store(value);
        timer_->stop();
        if (value > 0) timer_->start(value);
    });
}

int TimerWidget::period() const { return period_.load(); }

void TimerWidget::stop() { timer_->stop(); }

ProgressWidget::ProgressWidget(QProgressBar* bar) : bar_(bar) {}

void ProgressWidget::setPosition(int value) {
    const int stored = std::clamp(value, 0, 32767);
    runOnGuiThread(bar_, [this, stored] {
        position_.store(stored);
        bar_->setValue(std::clamp(stored, bar_->minimum(), bar_->maximum()));
    });
}

int ProgressWidget::position() const { return position_.load(); }

StatusBarWidget::StatusBarWidget(QStatusBar* bar, std::array<QLabel*, 4> parts)
    : bar_(bar), parts_(parts) {}

void StatusBarWidget::setStatusText(int part, const std::string& text) {
    if (part < 0 || part > 3) return;
    runOnGuiThread(bar_, [this, part, &text] {
        texts_[part] = text;
        parts_[part]->setText(fromGbk(text));
    });
}

std::string StatusBarWidget::statusText(int part) const {
    if (part < 0 || part > 3) return {};
    return texts_[part];
}
