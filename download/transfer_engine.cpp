#include "download/transfer_engine.h"

#include <algorithm>

#include "download/task.h"
#include "download/url_parts.h"

namespace {

// Added to the mode word of every download; only FTP uploads read that word.
constexpr std::int32_t downloadModeBit = 0x100;

void stripLineBreaks(std::string& text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
}

}  // namespace

Download::Download() : slot_(std::make_shared<Slot>()) {}

Download::~Download() {
    std::shared_ptr<Task> task;
    {
        std::lock_guard lock(slot_->mutex);
        task.swap(slot_->task);
    }
    // The task thread may be inside the taskEnded callback right now, waiting
    // for the program to end: nothing here waits for it.
    if (task) task->stop();
}

bool addTask(Download& download, const TaskParam& param) {
    std::lock_guard lock(download.slot_->mutex);
    if (download.slot_->task) return false;

    TaskParam copy = param;
    for (std::string* text : {&copy.url, &copy.localPath, &copy.ftpUser, &copy.ftpPassword,
                              &copy.uploadName, &copy.binaryExtensions, &copy.proxy, &copy.referer})
        stripLineBreaks(*text);
    if (copy.ftpUser.empty()) copy.ftpUser = TaskParam().ftpUser;
    if (copy.ftpPassword.empty()) copy.ftpPassword = TaskParam().ftpPassword;
    copy.mode |= downloadModeBit;

    const auto parts = splitUrl(copy.url);
    if (!parts) return false;
    auto task = std::make_shared<Task>(std::move(copy), *parts);
    // The slot holds the task before its thread runs, so that the thread's
    // final clearing of the slot always finds it there.
    download.slot_->task = task;
    if (!task->start(download.slot_)) {
        download.slot_->task.reset();
        return false;
    }
    return true;
}

std::int32_t takeSpeed(Download& download) {
    std::lock_guard lock(download.slot_->mutex);
    return download.slot_->task ? download.slot_->task->takeSpeed() : 0;
}

std::int32_t downloadedLength(Download& download) {
    std::lock_guard lock(download.slot_->mutex);
    const auto& task = download.slot_->task;
    return task && task->alive() ? task->downloadedLength() : 0;
}
