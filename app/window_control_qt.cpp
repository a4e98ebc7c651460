#include "app/window_control_qt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "app/window_layout_qt.h"

WindowWidget::WindowWidget(QWidget* window, std::function<void()> onHidden,
                           std::function<void(int action)> onTrayAction)
    : window_(window), onHidden_(std::move(onHidden)), icon_(window, std::move(onTrayAction)) {}

void WindowWidget::setVisible(bool visible) {
    if (!visible) {
        if (!window_->isVisible()) return;
        window_->hide();
        onHidden_();  // inside this call, as the handlers expect
        return;
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool WindowWidget::visible() const { return window_->isVisible(); }

void WindowWidget::setPlacement(int placement) {
    placement_ = std::clamp(placement, 0, 3);
    if (!window_->isVisible()) return;
    switch (placement_) {
        case 0:
            window_->showNormal();
            break;
        case 1:
            window_->showNormal();
            centre();
            break;
        case 2:
            window_->showMinimized();
            break;
        case 3:
            window_->showMaximized();
            break;
    }
}

int WindowWidget::placement() const { return placement_; }

void WindowWidget::setNotifyIcon(bool showIcon, const std::string& tip) {
    if (showIcon)
        icon_.show(tip);
    else
        icon_.remove();
}

bool WindowWidget::notifyIconShown() const { return icon_.shown(); }

void WindowWidget::centre() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const WindowDescription& frame = mainWindowDescription();
    // move() places the frame's top-left corner.
    window_->move(area.left() + (area.width() - frame.outerWidth) / 2,
                  area.top() + (area.height() - frame.outerHeight) / 2);
}
