#include "download/connection.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "download/engine_tuning.h"
#include "download/http_transfer.h"
#include "download/path_text.h"
#include "download/task.h"
#include "download/text_format.h"
#include "services/system_services.h"
#include "services/texts.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int retryLimit = 999;
constexpr auto standardRetryWait = 5000ms;
constexpr int maxRenames = 99;
constexpr auto waitStep = 10ms;
// Written pages are handed back in steps of this size (see LocalFile::release).
constexpr std::int64_t releaseStep = 4 << 20;
constexpr int levelProgress = 0;
constexpr int levelError = 3;

std::atomic<std::int64_t> retryWaitMs{standardRetryWait.count()};

class Connection {
public:
    Connection(Task& task, int id, std::optional<std::size_t> range)
        : task_(task), id_(id), range_(range), buffer_(RangeTable::transferBuffer) {
        context_.connectTimeout = task.param().connectTimeout;
        context_.sendTimeout = task.param().sendTimeout;
        context_.receiveTimeout = task.param().receiveTimeout;
        context_.stopping = [this] { return task_.stopping(); };
        if (task.logging())
            context_.log = [this](int level, const std::string& text) { log(level, text); };
    }

    void run();

private:
    enum class Received { complete, closedWithData, retry };

    bool open();
    std::optional<std::string> prepareFile(std::string_view disposition, std::int64_t total);
    bool resume();
    bool takeNextRange(bool& taken);
    Received receiveRange();
    void acceptBody(const std::string& body);
    void flush();
    void limitBuffer(std::int64_t rangeLeft);
    bool waitBeforeRetry();
    bool sleepUnlessStopping(Clock::duration duration);
    std::int64_t offsetReached();
    void log(int level, const std::string& text) { task_.log(id_, level, text); }

    Task& task_;
    const int id_;
    std::optional<std::size_t> range_;
    bool laterRange_ = false;  // a range taken over after the first one
    TcpSocket socket_;
    ExchangeContext context_;
    std::vector<char> buffer_;
    std::size_t buffered_ = 0;
    std::size_t bufferLimit_ = 0;  // what the buffer may hold before its next flush
    int unreported_ = 0;           // body bytes of a header, reported with the next cycle
    int retriesLeft_ = retryLimit;
    std::int64_t releasedUpTo_ = 0;
    Clock::time_point windowStart_ = Clock::now();
    std::int64_t windowBytes_ = 0;
};

void Connection::run() {
    task_.raise(connectionStarted, id_, 0);
    bool ok = false;
    if (task_.scheme() != Scheme::http) {
        // FTP, MMS and RTSP are known to addTask but their transfers are not
        // built: the program only ever downloads over HTTP. Such a task ends
        // with this connection failed and a final value of 0.
    } else if (!range_) {
        ok = open();
    } else {
        {
            std::lock_guard lock(task_.rangeLock());
            releasedUpTo_ = task_.ranges()[*range_].next();
        }
        ok = resume();
    }
    while (ok) {
        const Received received = receiveRange();
        if (received == Received::closedWithData) break;
        if (received == Received::retry) {
            ok = waitBeforeRetry() && resume();
            continue;
        }
        bool taken = false;
        ok = takeNextRange(taken);
        if (!taken) break;
    }
    flush();
    socket_.close();
    task_.raise(ok ? connectionDone : connectionFailed, id_,
                static_cast<std::int32_t>(offsetReached()));
    if (range_) {
        std::lock_guard lock(task_.rangeLock());
        task_.ranges()[*range_].inUse = false;
    }
    task_.connectionEnded();
}

bool Connection::open() {
    ExchangeResult result;
    for (;;) {
        result = openingExchange(socket_, task_.target(), context_);
        if (result.outcome == Outcome::success) break;
        if (result.outcome == Outcome::final) {
            if (result.noUsableSize) task_.setTotalSize(-1);
            return false;
        }
        if (!waitBeforeRetry()) return false;
    }
    const std::int64_t total = result.header.contentLength;
    task_.setTotalSize(total);
    const auto path = prepareFile(result.header.disposition, total);
    if (!path) return false;

    std::size_t further = 0;
    std::int64_t end = 0;
    {
        std::lock_guard lock(task_.rangeLock());
        RangeTable& ranges = task_.ranges();
        ranges.build(total, task_.param().connections);
        ranges[0].inUse = true;
        ranges[0].owner = id_;
        range_ = 0;
        end = ranges[0].end();
        further = ranges.size() - 1;
    }
    task_.requestConnections(static_cast<int>(further));
    task_.raise(rangeStarted, id_, 0, static_cast<std::intptr_t>(end));
    acceptBody(result.body);
    task_.raise(sizeKnown, 0, static_cast<std::int32_t>(total), 0, *path);
    return true;
}

std::optional<std::string> Connection::prepareFile(std::string_view disposition,
                                                   std::int64_t total) {
    std::string path = task_.param().localPath;
    if (endsWithSeparator(path)) path += plainFileName(dispositionFileName(disposition));
    if (endsWithSeparator(path)) {
        // No usable name: the path still names the folder.
        log(levelError, std::string(texts::logCreateFileFailed));
        return std::nullopt;
    }

    if (const auto existing = LocalFile::existingSize(toNativePath(path))) {
        switch (task_.askSameName(*existing)) {
            case 0: {
                int tries = 0;
                for (;;) {
                    const auto renamed = tries < maxRenames ? renamedPath(path) : std::nullopt;
                    if (!renamed) {
                        log(levelError, std::string(texts::logRenameExhausted));
                        return std::nullopt;
                    }
                    ++tries;
                    path = *renamed;
                    if (!LocalFile::existingSize(toNativePath(path))) break;
                }
                log(levelProgress, formatText(texts::logRenamed, path));
                break;
            }
            case 1:
                log(levelProgress, std::string(texts::logUserAbandoned));
                return std::nullopt;
            case 2:
                log(levelProgress, formatText(texts::logUserRenamed, path));
                break;
            default:
                return std::nullopt;
        }
    }
    if (!task_.file().create(toNativePath(path), total)) {
        log(levelError, std::string(texts::logCreateFileFailed));
        return std::nullopt;
    }
    return path;
}

// The range exchange for the rest of the connection's range, with retries.
bool Connection::resume() {
    for (;;) {
        std::int64_t next = 0;
        std::int64_t end = 0;
        {
            std::lock_guard lock(task_.rangeLock());
            const Range& range = task_.ranges()[*range_];
            next = range.next();
            end = range.end();
        }
        const ExchangeResult result =
            rangeExchange(socket_, task_.target(), next, task_.totalSize(), context_);
        if (result.outcome == Outcome::final) return false;
        if (result.outcome == Outcome::success) {
            task_.raise(laterRange_ ? rangeContinued : rangeStarted, id_,
                        static_cast<std::int32_t>(next), static_cast<std::intptr_t>(end));
            acceptBody(result.body);
            return true;
        }
        if (!waitBeforeRetry()) return false;
    }
}

// Moves on to the first range that is neither in use nor complete; false when
// its exchange fails for good.
bool Connection::takeNextRange(bool& taken) {
    flush();
    socket_.close();
    {
        std::lock_guard lock(task_.rangeLock());
        RangeTable& ranges = task_.ranges();
        const auto next = ranges.takeFree(id_);
        if (!next) return true;
        ranges[*range_].inUse = false;
        range_ = next;
        releasedUpTo_ = ranges[*next].next();
    }
    taken = true;
    laterRange_ = true;
    return resume();
}

Connection::Received Connection::receiveRange() {
    const TaskParam& param = task_.param();
    for (;;) {
        if (buffered_ == bufferLimit_) {
            // The buffer is full or holds the rest of the range.
            flush();
            if (bufferLimit_ == 0) {
                if (unreported_ > 0) task_.raise(bytesReceived, id_, std::exchange(unreported_, 0));
                return Received::complete;
            }
        }

        // A speed limit is shared by the running connections and applied over
        // one-second windows.
        std::int64_t share = std::max(param.receiveBlock, 1);
        if (param.speedLimit > 0) {
            share = std::max(param.speedLimit / std::max(task_.activeConnections(), 1), 1);
            if (windowBytes_ >= share) {
                if (!sleepUnlessStopping(windowStart_ + 1s - Clock::now())) return Received::retry;
                windowStart_ = Clock::now();
                windowBytes_ = 0;
            }
        }
        const std::int64_t perCall = std::min<std::int64_t>(share, RangeTable::transferBuffer);
        const std::int64_t cycle = std::min(share - (param.speedLimit > 0 ? windowBytes_ : 0),
                                            static_cast<std::int64_t>(bufferLimit_ - buffered_));

        std::int64_t got = 0;
        int code = 0;
        while (got < cycle) {
            const int n = socket_.receive(buffer_.data() + buffered_,
                                          static_cast<int>(std::min(cycle - got, perCall)),
                                          param.receiveTimeout, context_.stopping);
            if (n <= 0) {
                code = n;
                break;
            }
            buffered_ += static_cast<std::size_t>(n);
            got += n;
            task_.countReceived(n, true);
        }
        windowBytes_ += got;
        const int report = static_cast<int>(got) + std::exchange(unreported_, 0);
        if (report > 0) task_.raise(bytesReceived, id_, report);

        if (code != 0) {
            // A premature close after some bytes ends the connection
            // normally; with nothing buffered it is worth a retry.
            if (code == readClosed && buffered_ > 0) {
                flush();
                return Received::closedWithData;
            }
            if (code != readInterrupted) log(levelError, std::string(texts::socketErrorText(code)));
            return Received::retry;
        }
    }
}

void Connection::acceptBody(const std::string& body) {
    std::int64_t left = 0;
    {
        std::lock_guard lock(task_.rangeLock());
        left = task_.ranges()[*range_].left();
    }
    limitBuffer(left);
    // Bytes beyond the range (a server that sends more than it announced)
    // are dropped, never written.
    const std::size_t take = std::min(body.size(), bufferLimit_ - buffered_);
    std::copy_n(body.data(), take, buffer_.data() + buffered_);
    buffered_ += take;
    unreported_ += static_cast<int>(take);
    task_.countReceived(static_cast<int>(take), false);
}

void Connection::flush() {
    if (!range_) return;
    std::size_t written = 0;
    if (buffered_ > 0) {
        std::int64_t offset = 0;
        std::size_t length = 0;
        {
            std::lock_guard lock(task_.rangeLock());
            const Range& range = task_.ranges()[*range_];
            offset = range.next();
            length = static_cast<std::size_t>(
                std::clamp<std::int64_t>(range.left(), 0, static_cast<std::int64_t>(buffered_)));
        }
        buffered_ = 0;
        if (task_.file().write(offset, buffer_.data(), length)) written = length;
    }
    std::int64_t next = 0;
    std::int64_t left = 0;
    {
        std::lock_guard lock(task_.rangeLock());
        Range& range = task_.ranges()[*range_];
        range.done += static_cast<std::int64_t>(written);
        next = range.next();
        left = range.left();
    }
    limitBuffer(left);
    if (next - releasedUpTo_ >= releaseStep) {
        task_.file().release(releasedUpTo_, next - releasedUpTo_);
        releasedUpTo_ = next;
    }
}

// The range's end is looked up once per buffer, not once per read cycle: a
// split leaves the range at least one transfer buffer past its written bytes
// (RangeTable::splitLargest), so whatever the buffer takes still lies inside.
void Connection::limitBuffer(std::int64_t rangeLeft) {
    bufferLimit_ = static_cast<std::size_t>(
        std::clamp<std::int64_t>(rangeLeft, static_cast<std::int64_t>(buffered_),
                                 static_cast<std::int64_t>(buffer_.size())));
}

bool Connection::waitBeforeRetry() {
    socket_.close();
    if (task_.stopping() || retriesLeft_ == 0) return false;
    --retriesLeft_;
    task_.countRetry();
    flush();
    log(levelProgress, formatText(texts::logRetryWait, static_cast<int>(standardRetryWait / 1s)));
    return sleepUnlessStopping(std::chrono::milliseconds(retryWaitMs.load()));
}

bool Connection::sleepUnlessStopping(Clock::duration duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
        if (task_.stopping()) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(waitStep, until - Clock::now()));
    }
    return !task_.stopping();
}

std::int64_t Connection::offsetReached() {
    if (!range_) return 0;
    std::lock_guard lock(task_.rangeLock());
    return task_.ranges()[*range_].next();
}

}  // namespace

void engine_tuning::setRetryWait(std::chrono::milliseconds wait) { retryWaitMs = wait.count(); }

std::chrono::milliseconds engine_tuning::retryWait() {
    return std::chrono::milliseconds(retryWaitMs.load());
}

void runConnection(std::shared_ptr<Task> task, int id, std::optional<std::size_t> range) {
    Connection(*task, id, range).run();
}
