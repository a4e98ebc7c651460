#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "app/end_program.h"
#include "app/gbk_qt.h"
#include "app/main_window_qt.h"
#include "services/texts.h"

namespace {

std::atomic<bool> ending{false};
std::atomic<int> endingCode{0};
std::atomic<void (*)()> exitCleanup{nullptr};

[[noreturn]] void waitForTheEnd() {
    // The GUI thread ends the process; this thread never resumes.
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

[[noreturn]] void finish(int code) {
    std::fflush(nullptr);
    // No static destructors and no exit handlers: the engine's threads may
    // still be running, and must not find the objects they use torn down.
    std::_Exit(code);
}

// The exit sequence; on the GUI thread only.
[[noreturn]] void runExitSequence(int code, const std::optional<std::string>& fatalReason) {
    if (ending.exchange(true)) finish(endingCode.load());  // re-entered: the first end stands
    endingCode.store(code);
    if (fatalReason) {
        exitCleanup.store(nullptr);
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QMessageBox::critical(nullptr, fromGbk(texts::windowTitle), fromGbk(*fatalReason));
    }
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Guarded: removing the tray icon deletes the toolkit's own window for
        // it while the list is being walked.
        QList<QPointer<QWidget>> windows;
        for (QWidget* window : app->topLevelWidgets()) windows.append(window);
        for (const QPointer<QWidget>& window : windows) {
            if (!window) continue;
            if (auto* main = dynamic_cast<MainWindow*>(window.data()))
                main->shutDownForExit();
            else
                window->hide();
        }
    }
    if (void (*cleanup)() = exitCleanup.exchange(nullptr)) cleanup();
    finish(code);
}

[[noreturn]] void requestEnd(int code, std::optional<std::string> fatalReason) {
    if (onGuiThread()) runExitSequence(code, fatalReason);
    if (!ending.load()) {
        // Posted to the GUI thread: it runs after the handler running there now.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [code, fatalReason] {
                if (!ending.load()) runExitSequence(code, fatalReason);
            },
            Qt::QueuedConnection);
    }
    waitForTheEnd();
}

}  // namespace

void endProgram(int code) { requestEnd(code, std::nullopt); }

void endProgramFatally(std::string_view reason) { requestEnd(-1, std::string(reason)); }

bool programEnding() { return ending.load(); }

void setExitCleanup(void (*cleanup)()) { exitCleanup.store(cleanup); }
