#include "window_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "check/upgrade_check.h"

TemporaryFolder::TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "upgrader-check-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    path_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

FixtureRegistry::FixtureRegistry(const std::string& installedVersion) {
    std::string pattern = (std::filesystem::temp_directory_path() / "upgrader-reg-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    prefix_ = pattern;
    std::string reg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";
    reg += "[Software\\\\tolvek\\\\Kel] 1273000000\n";
    if (!installedVersion.empty()) reg += "\"version\"=\"" + installedVersion + "\"\n";
    writeFile(prefix_ + "/system.reg", reg);
    if (const char* old = std::getenv("WINEPREFIX")) previous_ = old;
    ::setenv("WINEPREFIX", prefix_.c_str(), 1);
}

FixtureRegistry::~FixtureRegistry() {
    if (previous_) {
        ::setenv("WINEPREFIX", previous_->c_str(), 1);
    } else {
        ::unsetenv("WINEPREFIX");
    }
    std::error_code ignored;
    std::filesystem::remove_all(prefix_, ignored);
}

void RecordingEvents::onCreated() { runStartupCheck(upgrader_); }

void RecordingEvents::onClick(ClickSource source) {
    clicks.push_back(source);
    // The download, the tray and the exit are only recorded; the settings run
    // through the program's own handlers.
    if (source != ClickSource::按钮1 && source != ClickSource::按钮5 &&
        source != ClickSource::按钮3) {
        handlers_.onClick(source);
    }
}

WindowFixture::WindowFixture(Endpoints hosts)
    : upgrader{state, window.controls(), std::move(hosts)}, events(upgrader) {
    window.setEvents(&events);
}

void WindowFixture::load() {
    window.load();
    processPostedEvents();
}

void WindowFixture::click(const char* controlName) {
    QWidget* widget = window.control(controlName);
    if (!widget) throw std::runtime_error(std::string("no control ") + controlName);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(4, widget->height() / 2));
    processPostedEvents();
}

void processPostedEvents() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
