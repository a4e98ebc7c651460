#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "services/charset_posix.h"
#include "services/gbk_text.h"
#include "services/system_services.h"

namespace {

// "*" any run of characters, "?" one character (a two-byte character counts
// as one); everything else matches itself, "[" included.
bool matches(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") pattern = "*";  // the old spelling of "everything"
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += gbk::charLength(name, n);
        } else if (p < pattern.size() && pattern.substr(p, gbk::charLength(pattern, p)) ==
                                             name.substr(n, gbk::charLength(pattern, p))) {
            const auto length = gbk::charLength(pattern, p);
            p += length;
            n += length;
        } else if (starP != std::string_view::npos) {
            p = starP;
            starN += gbk::charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

std::string toNativePath(std::string_view path) {
    std::string native(path);
    for (std::size_t i = 0; i < native.size(); i += gbk::charLength(native, i)) {
        if (native[i] == '\\') native[i] = '/';
    }
    return gbkToNative(native);
}

bool fileExists(std::string_view pattern) {
    const std::string path = toNativePath(pattern.substr(0, pattern.find('\0')));
    if (path.empty()) return false;
    const auto slash = gbk::findLast(path, '/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    if (name.find_first_of("*?") == std::string_view::npos) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (matches(name, entry->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool deleteFile(std::string_view pathText) {
    const std::string path = toNativePath(pathText.substr(0, pathText.find('\0')));
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    if (S_ISLNK(info.st_mode)) return ::unlink(path.c_str()) == 0;
    // A read-only file is refused even where permissions would not stop us.
    if ((info.st_mode & 0222) == 0) return false;
    // The transfer engine holds a shared lock on the file it is writing: a
    // file in use is not deleted under it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    const bool deleted = ::unlink(path.c_str()) == 0;
    if (fd >= 0) ::close(fd);
    return deleted;
}

std::string currentDirectory() {
    std::string buffer(4096, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(buffer.find('\0'));
            return nativeToGbk(buffer);
        }
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
}

void sleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
