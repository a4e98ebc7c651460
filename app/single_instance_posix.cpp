#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "app/end_program.h"
#include "app/single_instance.h"

namespace {

int heldLock = -1;  // never closed: the lock goes with the process

// The user's own runtime folder; where the session has none, a folder of the
// user's in /tmp that nobody else can have planted.
std::string lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return runtime;
    const std::string folder = "/tmp/jiyan-upgrader-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 077) != 0)
        return {};
    return folder;
}

// The name as UTF-8 (the form file names take here); hex where it is no GBK.
std::string fileNameFor(std::string_view name) {
    std::string result;
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        std::string in(name);
        std::string out(name.size() * 3 + 1, '\0');
        char* inPos = in.data();
        char* outPos = out.data();
        std::size_t inLeft = in.size();
        std::size_t outLeft = out.size();
        if (iconv(converter, &inPos, &inLeft, &outPos, &outLeft) != static_cast<std::size_t>(-1))
            result.assign(out.data(), out.size() - outLeft);
        iconv_close(converter);
    }
    if (result.empty() && !name.empty()) {
        static const char digits[] = "0123456789abcdef";
        for (const unsigned char byte : name) {
            result += digits[byte >> 4];
            result += digits[byte & 15];
        }
    }
    for (char& c : result)
        if (c == '/') c = '_';
    return result + ".lock";
}

}  // namespace

void ensureSingleInstance(std::string_view name) {
    if (heldLock >= 0) return;  // this process holds it already
    const std::string folder = lockFolder();
    if (folder.empty()) return;
    const std::string path = folder + "/" + fileNameFor(name);
    // Close-on-exec: the package this program starts must not inherit the lock.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        heldLock = fd;
        return;
    }
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) endProgram(0);
}
