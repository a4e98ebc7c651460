#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "download/local_file.h"

LocalFile::~LocalFile() { close(); }

std::optional<std::int64_t> LocalFile::existingSize(const std::string& nativePath) {
    struct stat status {};
    if (::lstat(nativePath.c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::int64_t>(status.st_size);
}

bool LocalFile::create(const std::string& nativePath, std::int64_t size) {
    close();
    if (size < 0) return false;
    // Exclusive creation without following links: a link planted at the path
    // makes the creation fail instead of writing wherever it points.
    const int fd =
        ::open(nativePath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    // Reserving the blocks now turns a full disk into a creation failure
    // instead of a fault when a page of the view is first written.
    ok = ok && (size == 0 || ::posix_fallocate(fd, 0, size) == 0);
    void* view = nullptr;
    if (ok && size > 0) {
        view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED,
                      fd, 0);
        ok = view != MAP_FAILED;
        // The view is only ever written. Read-ahead would fill, zero and map
        // pages all around each first write, which costs more than the writes.
        if (ok) ::madvise(view, static_cast<std::size_t>(size), MADV_RANDOM);
    }
    if (!ok) {
        ::unlink(nativePath.c_str());
        ::close(fd);
        return false;
    }
    fd_ = fd;
    view_ = static_cast<char*>(view);
    size_ = size;
    return true;
}

bool LocalFile::write(std::int64_t offset, const char* data, std::size_t length) {
    if (!view_ || offset < 0 || offset > size_ ||
        static_cast<std::int64_t>(length) > size_ - offset)
        return false;
    std::memcpy(view_ + offset, data, length);
    return true;
}

void LocalFile::release(std::int64_t offset, std::int64_t length) {
    if (!view_ || offset < 0 || length <= 0 || offset > size_ || length > size_ - offset) return;
    const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    // Whole pages inside the range only: a page shared with a neighbouring
    // range may still be written by another connection.
    const std::int64_t first = (offset + page - 1) / page * page;
    const std::int64_t last = (offset + length) / page * page;
    if (last > first)
        ::madvise(view_ + first, static_cast<std::size_t>(last - first), MADV_DONTNEED);
}

void LocalFile::close() {
    if (view_) ::munmap(view_, static_cast<std::size_t>(size_));
    if (fd_ >= 0) ::close(fd_);  // releases the lock
    view_ = nullptr;
    fd_ = -1;
    size_ = 0;
}
