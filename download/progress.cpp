#include "download/progress.h"

#include <memory>
#include <string>

#include "app/end_program.h"
#include "app/upgrader.h"
#include "services/system_services.h"
#include "services/text_number.h"
#include "services/texts.h"

namespace {

std::string kilobytes(double bytes) { return numberToText(roundTo(bytes / 1024, 2)); }

// What one task has told its callback so far. Every event the callback acts on
// arrives on the task's own thread, one at a time, so it needs no lock.
struct TaskRecord {
    bool sizeKnown = false;
    std::int32_t announcedSize = 0;
    std::string localPath;  // the file the engine wrote, after any renaming
    std::int64_t bytesReceived = 0;
};

// Only a package that arrived whole may be started: the engine ends a failed,
// cut or stopped task with the same event as a finished one, and a partial file
// holds zeros where data is missing.
bool arrivedWhole(const TaskRecord& task, std::int32_t endValue) {
    return task.sizeKnown && task.announcedSize > 0 && endValue == task.announcedSize &&
           task.bytesReceived == task.announcedSize && !task.localPath.empty();
}

// The path goes into the command line as a quoted first word; a path that holds
// a quote cannot be written so and is not started.
std::string commandLineFor(const std::string& path) {
    if (path.find('"') != std::string::npos) {
        return {};
    }
    return concatTexts({"\"", path, "\""});
}

void clearDisplay(Controls& ui) {
    // Stopped first, so that no tick writes the bars after they were cleared.
    ui.时钟3.setPeriod(0);
    for (int part = 0; part < 4; ++part) {
        ui.状态条1.setStatusText(part, {});
    }
    ui.进度条1.setPosition(0);
}

[[noreturn]] void handOver(Controls& ui, const TaskRecord& task, std::int32_t endValue) {
    clearDisplay(ui);
    if (arrivedWhole(task, endValue)) {
        const std::string commandLine = commandLineFor(task.localPath);
        if (!commandLine.empty() && !programEnding()) {
            runProgram(commandLine, false, 1);
        }
    }
    sleepMs(1000);
    endProgram(0);
}

}  // namespace

void onProgressTick(Upgrader& upgrader) {
    Download& downloader = *upgrader.state.downloader;
    Controls& ui = upgrader.ui;

    const double speed = takeSpeed(downloader);
    ui.状态条1.setStatusText(
        1, concatTexts({texts::statusSpeed, kilobytes(speed), texts::unitKbPerSecond}));

    // Quotient first, then times 100, as the window has always shown it (57 of
    // 100 bytes reads 56). Before the size is known the bar stays at 0.
    const double size = upgrader.state.packageSize.load();
    const double done = downloadedLength(downloader);
    ui.进度条1.setPosition(size == 0 ? 0 : truncateToInteger(done / size * 100));

    const double downloaded = downloadedLength(downloader);
    ui.状态条1.setStatusText(
        2, concatTexts({texts::statusDownloaded, kilobytes(downloaded), texts::unitKb}));

    ui.状态条1.setStatusText(
        3, concatTexts({texts::statusDone, numberToText(ui.进度条1.position()), texts::percent}));
}

EventCallback makeDownloadCallback(Upgrader& upgrader) {
    UpgraderState& state = upgrader.state;
    Controls& ui = upgrader.ui;
    auto task = std::make_shared<TaskRecord>();
    return [&state, &ui, task](std::int32_t code, std::intptr_t, std::int32_t value,
                               std::intptr_t extra, const Task*) -> std::int32_t {
        // Once the exit sequence has begun the window and the state are going
        // away: a late event touches neither and starts nothing.
        if (programEnding()) {
            return 0;
        }
        switch (code) {
            case sizeKnown:
                task->sizeKnown = true;
                task->announcedSize = value;
                task->localPath = extra ? reinterpret_cast<const char*>(extra) : "";
                state.packageSize.store(static_cast<double>(value));
                ui.状态条1.setStatusText(
                    0, concatTexts({texts::statusSize, kilobytes(value), texts::unitKb}));
                break;
            case bytesReceived:
                task->bytesReceived += value;
                break;
            case taskEnded:
                handOver(ui, *task, value);
            default:
                break;
        }
        // 0 also tells the engine to choose a new name when the file exists.
        return 0;
    };
}
