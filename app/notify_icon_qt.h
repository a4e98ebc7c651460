#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QIcon;
class QObject;
class QSystemTrayIcon;

// The program's picture: one 32 x 32 image of 16 colours, kept in the program
// as an icon file image. The window and the notification area show it.
const QIcon& programIcon();

// A tip holds at most 62 bytes; a GBK character is never cut in half.
std::string cutTrayTip(std::string_view tip);

// The main window's one icon in the notification area. Mouse actions on it are
// reported to onAction (1 left click, 2 double-click, 3 right click) through
// the event loop, never from inside the toolkit's own handling of the click.
class NotifyIcon {
public:
    NotifyIcon(QObject* owner, std::function<void(int action)> onAction);
    ~NotifyIcon();

    // Adds the icon, or updates its tip when it is shown. Where there is no
    // notification area nothing is shown.
    void show(std::string_view tipGbk);
    void remove();
    bool shown() const;

private:
    QObject* owner_;
    std::function<void(int)> onAction_;
    std::unique_ptr<QSystemTrayIcon> icon_;
};
