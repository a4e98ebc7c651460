#include "app/main_window_qt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <limits>
#include <new>

#include "app/controls_qt.h"
#include "app/end_program.h"
#include "app/gbk_qt.h"
#include "app/notify_icon_qt.h"
#include "app/window_control_qt.h"
#include "app/window_layout_qt.h"

namespace {

// The Song face where it is installed, else a CJK face that is.
QString songFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate :
             {"SimSun", "宋体", "NSimSun", "AR PL UMing CN", "Noto Serif CJK SC",
              "WenQuanYi Micro Hei", "Noto Sans CJK SC", "WenQuanYi Zen Hei"}) {
            const QString name = QString::fromUtf8(candidate);
            if (installed.contains(name, Qt::CaseInsensitive)) return name;
        }
        return QString();
    }();
    return family;
}

void applyFont(QWidget* widget, FontStyle style) {
    if (style == FontStyle::standard) return;
    QFont font = widget->font();
    if (!songFamily().isEmpty()) font.setFamily(songFamily());
    font.setPixelSize(style == FontStyle::regular14 ? 14 : 12);
    font.setWeight(style == FontStyle::bold12 ? QFont::Bold : QFont::Normal);
    widget->setFont(font);
}

QColor toColour(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void applyLook(QWidget* widget, const ControlDescription& entry) {
    widget->setObjectName(QString::fromUtf8(entry.name));
    widget->setGeometry(entry.left, entry.top, entry.width, entry.height);
    applyFont(widget, entry.font);
    QPalette palette = widget->palette();
    if (entry.textColour) {
        palette.setColor(QPalette::WindowText, toColour(*entry.textColour));
        palette.setColor(QPalette::Link, toColour(*entry.textColour));
    }
    if (entry.background) {
        palette.setColor(QPalette::Window, toColour(*entry.background));
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
    if (!entry.visible) widget->hide();
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    const WindowDescription& frame = mainWindowDescription();
    setWindowTitle(fromGbk(frame.title));
    setWindowIcon(programIcon());
    setFixedSize(frame.outerWidth - frame.frameLeft - frame.frameRight,
                 frame.outerHeight - frame.frameTop - frame.frameBottom);

    window_ = std::make_unique<WindowWidget>(
        this, [this] { raiseEvent([](WindowEvents& events) { events.onHidden(); }); },
        [this](int action) {
            raiseEvent([action](WindowEvents& events) { events.onTrayEvent(action); });
        });
    for (const ControlDescription& control : mainWindowLayout()) build(control);

    auto label = [this](const char* name) -> LabelControl& { return *labels_.at(name); };
    auto check = [this](const char* name) -> CheckControl& { return *checks_.at(name); };
    auto button = [this](const char* name) -> ButtonControl& { return *buttons_.at(name); };
    auto timer = [this](const char* name) -> TimerControl& { return *timers_.at(name); };
    controls_ = std::make_unique<Controls>(Controls{
        *window_,         label("标签25"),  label("标签2"),   *edit_,          label("标签24"),
        check("选择框1"), check("选择框2"), check("选择框3"), button("按钮4"), label("标签6"),
        label("标签7"),   label("标签3"),   label("标签27"),  label("标签26"), label("标签9"),
        label("标签10"),  *progress_,       button("按钮1"),  button("按钮5"), button("按钮3"),
        label("标签22"),  *statusBar_,      label("标签5"),   label("标签4"),  label("标签8"),
        label("标签23"),  label("标签1"),   timer("时钟1"),   timer("时钟2"),  timer("时钟3"),
        timer("时钟4")});
}

MainWindow::~MainWindow() = default;

void MainWindow::build(const ControlDescription& entry) {
    const std::string name = entry.name;
    switch (entry.kind) {
        case ControlKind::label: {
            auto* widget = new QLabel(this);
            widget->setTextFormat(Qt::PlainText);  // texts from the web are shown, not parsed
            widget->setAlignment((entry.centred ? Qt::AlignHCenter : Qt::AlignLeft) |
                                 Qt::AlignVCenter);
            applyLook(widget, entry);
            labels_[name] = std::make_unique<LabelWidget>(widget);
            labels_[name]->setCaption(std::string(entry.caption));
            break;
        }
        case ControlKind::hyperlink: {
            auto* widget = new QLabel(this);
            const QString caption = fromGbk(entry.caption);
            const QString target = fromGbk(entry.link) + caption;
            widget->setTextFormat(Qt::RichText);
            widget->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                .arg(target.toHtmlEscaped(), caption.toHtmlEscaped()));
            widget->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
            widget->setFocusPolicy(Qt::NoFocus);
            widget->setAccessibleName(caption);
            applyLook(widget, entry);
            connect(widget, &QLabel::linkActivated, this,
                    [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
            break;
        }
        case ControlKind::edit: {
            auto* widget = new QLineEdit(this);
            widget->setMaxLength(std::numeric_limits<int>::max());
            applyLook(widget, entry);
            edit_ = std::make_unique<EditWidget>(widget);
            break;
        }
        case ControlKind::check: {
            auto* widget = new QCheckBox(fromGbk(entry.caption), this);
            applyLook(widget, entry);
            const ClickSource source = *entry.click;
            // clicked, not toggled: setting the mark from the program raises nothing.
            connect(widget, &QCheckBox::clicked, this, [this, source] {
                raiseEvent([source](WindowEvents& events) { events.onClick(source); });
            });
            checks_[name] = std::make_unique<CheckWidget>(widget);
            break;
        }
        case ControlKind::button: {
            auto* widget = new QPushButton(fromGbk(entry.caption), this);
            widget->setAutoDefault(false);  // Enter does nothing of its own
            applyLook(widget, entry);
            const ClickSource source = *entry.click;
            connect(widget, &QPushButton::clicked, this, [this, source] {
                raiseEvent([source](WindowEvents& events) { events.onClick(source); });
            });
            buttons_[name] = std::make_unique<ButtonWidget>(widget);
            break;
        }
        case ControlKind::progress: {
            auto* widget = new QProgressBar(this);
            widget->setRange(0, 100);
            widget->setValue(0);
            widget->setTextVisible(false);
            // The classic style draws the bar in blocks.
            if (QStyle* blocks = QStyleFactory::create(QStringLiteral("Windows"))) {
                blocks->setParent(widget);
                widget->setStyle(blocks);
            }
            applyLook(widget, entry);
            progress_ = std::make_unique<ProgressWidget>(widget);
            break;
        }
        case ControlKind::statusBar: {
            auto* bar = new QStatusBar(this);
            bar->setObjectName(QString::fromUtf8(entry.name));
            bar->setSizeGripEnabled(false);
            std::array<QLabel*, 4> parts{};
            int left = 0;
            for (int i = 0; i < 4; ++i) {
                // Placed by hand, not through the bar's layout, so that the
                // parts end exactly at their right edges.
                auto* part = new QLabel(bar);
                part->setObjectName(QString::fromUtf8(entry.name) + QLatin1Char('.') +
                                    QString::number(i));
                part->setTextFormat(Qt::PlainText);
                part->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                const int right = mainWindowDescription().statusPartRightEdges[i];
                part->setGeometry(left, 0, right - left, mainWindowDescription().statusBarHeight);
                left = right;
                parts[i] = part;
            }
            statusBarWidget_ = bar;
            statusBar_ = std::make_unique<StatusBarWidget>(bar, parts);
            break;
        }
        case ControlKind::timer: {
            auto* timer = new QTimer(this);
            timer->setObjectName(QString::fromUtf8(entry.name));
            std::function<void()> onTick = [] {};
            if (entry.tick) {
                const TimerSource source = *entry.tick;
                onTick = [this, source] {
                    raiseEvent([source](WindowEvents& events) { events.onTick(source); });
                };
            }
            timers_[name] = std::make_unique<TimerWidget>(timer, std::move(onTick));
            break;
        }
    }
}

Controls& MainWindow::controls() { return *controls_; }

void MainWindow::setEvents(WindowEvents* events) { events_ = events; }

template <typename Raise>
void MainWindow::raiseEvent(Raise&& raise) {
    if (!events_ || programEnding()) return;
    try {
        raise(*events_);
    } catch (const std::bad_alloc&) {
        endProgramFatally("out of memory");
    } catch (const std::exception& error) {
        endProgramFatally(error.what());
    }
}

void MainWindow::load() {
    raiseEvent([](WindowEvents& events) { events.onCreated(); });
    if (programEnding()) return;
    window_->centre();
    show();
}

QWidget* MainWindow::control(std::string_view name) const {
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (objectName() == wanted) return const_cast<MainWindow*>(this);
    return findChild<QWidget*>(wanted);
}

bool MainWindow::notifyIconShown() const { return window_->notifyIconShown(); }

void MainWindow::shutDownForExit() {
    events_ = nullptr;
    for (auto& [name, timer] : timers_) timer->stop();
    window_->setNotifyIcon(false, {});
    hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Never vetoed: the close box, Alt+F4 and Esc end the program.
    event->accept();
    if (!programEnding()) endProgram(0);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Esc closes the window as the close box does; the controls pass it on.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitOuterSize();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    fitOuterSize();  // the frame's size is known only once the window is placed
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (statusBarWidget_) {
        const int height = mainWindowDescription().statusBarHeight;
        statusBarWidget_->setGeometry(0, this->height() - height, width(), height);
    }
}

void MainWindow::fitOuterSize() {
    // The outer size is fixed; the client area is what the platform's frame
    // leaves of it.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const WindowDescription& frame = mainWindowDescription();
    const QSize client(frame.outerWidth - (outer.width() - inner.width()),
                       frame.outerHeight - (outer.height() - inner.height()));
    if (client != size()) setFixedSize(client);
}
