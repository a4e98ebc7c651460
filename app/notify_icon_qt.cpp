#include "app/notify_icon_qt.h"

#include <QIcon>
#include <QSystemTrayIcon>

#include "app/gbk_qt.h"

namespace {

constexpr std::size_t tipLimit = 62;

}  // namespace

std::string cutTrayTip(std::string_view tip) {
    std::size_t end = 0;
    while (end < tip.size()) {
        // A GBK lead byte (0x81..0xFE) starts a two-byte character.
        const auto lead = static_cast<unsigned char>(tip[end]);
        const std::size_t width = (lead >= 0x81 && lead <= 0xFE && end + 1 < tip.size()) ? 2 : 1;
        if (end + width > tipLimit) break;
        end += width;
    }
    return std::string(tip.substr(0, end));
}

// The icon lives in a static library: nothing would pull its resource into
// the program unless asked for by name.
static void loadIconResource() { Q_INIT_RESOURCE(upgrader); }

const QIcon& programIcon() {
    static const QIcon icon = [] {
        loadIconResource();
        return QIcon(QStringLiteral(":/upgrader.ico"));
    }();
    return icon;
}

NotifyIcon::NotifyIcon(QObject* owner, std::function<void(int action)> onAction)
    : owner_(owner), onAction_(std::move(onAction)) {}

NotifyIcon::~NotifyIcon() = default;

void NotifyIcon::show(std::string_view tipGbk) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>(programIcon());
        // Queued: the handler removes the icon, which must not happen while
        // the toolkit is still inside the icon's own mouse handling.
        QObject::connect(
            icon_.get(), &QSystemTrayIcon::activated, owner_,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        onAction_(1);
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        onAction_(2);
                        break;
                    case QSystemTrayIcon::Context:
                        onAction_(3);
                        break;
                    default:
                        break;  // a middle click is no tray event
                }
            },
            Qt::QueuedConnection);
    }
    icon_->setToolTip(fromGbk(cutTrayTip(tipGbk)));
    icon_->show();
}

void NotifyIcon::remove() {
    if (icon_) icon_->hide();
}

bool NotifyIcon::shown() const { return icon_ && icon_->isVisible(); }
