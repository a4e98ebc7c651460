#pragma once

#include <functional>
#include <string>

#include "app/controls.h"
#include "app/notify_icon_qt.h"

class QWidget;

// The operations on the main window itself: visibility, placement and the
// notification icon.
class WindowWidget final : public WindowControl {
public:
    WindowWidget(QWidget* window, std::function<void()> onHidden,
                 std::function<void(int action)> onTrayAction);

    void setVisible(bool visible) override;
    bool visible() const override;
    void setPlacement(int placement) override;
    int placement() const override;
    void setNotifyIcon(bool showIcon, const std::string& tip) override;

    bool notifyIconShown() const;
    // Moves the window's frame to the middle of the primary screen.
    void centre();

private:
    QWidget* window_;
    std::function<void()> onHidden_;
    int placement_ = 0;
    NotifyIcon icon_;
};
