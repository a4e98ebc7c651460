#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <vector>

#include "services/gbk_text.h"
#include "services/system_services.h"

extern char** environ;

namespace {

constexpr int startWaitMs = 1000;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The words of a command line: blanks separate, double quotes group (and go).
std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !isBlank(line[i])); i += gbk::charLength(line, i)) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                word.append(line.substr(i, gbk::charLength(line, i)));
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isWindowsProgram(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[2] = {};
    const bool windows = ::read(fd, magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    ::close(fd);
    return windows;
}

// A file we can start: a Windows program (through wine) or an executable file.
bool startable(const std::string& path) {
    return isRegularFile(path) && (isWindowsProgram(path) || ::access(path.c_str(), X_OK) == 0);
}

std::string ownFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    const std::string_view self(buffer, static_cast<std::size_t>(n));
    return std::string(self.substr(0, self.rfind('/')));
}

std::vector<std::string> searchFolders() {
    std::vector<std::string> folders = {ownFolder(), toNativePath(currentDirectory())};
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (path) {
        const auto colon = rest.find(':');
        const auto entry = rest.substr(0, colon);
        folders.emplace_back(entry.empty() ? "." : entry);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

// The program a word names: as given when it holds a "/", else the first
// startable file of that name (or that name with ".exe") in the search folders.
std::string findProgram(const std::string& word, bool onlyExecutable) {
    const auto usable = [&](const std::string& path) {
        return onlyExecutable ? isRegularFile(path) && ::access(path.c_str(), X_OK) == 0
                              : startable(path);
    };
    if (word.find('/') != std::string::npos) return usable(word) ? word : std::string{};
    for (const auto& folder : searchFolders()) {
        if (folder.empty()) continue;
        for (const auto& name : {word, word + ".exe"}) {
            const std::string path = folder + "/" + name;
            if (usable(path)) return path;
        }
    }
    return {};
}

// Between fork and exec only async-signal-safe calls.
[[noreturn]] void execChild(const char* program, char* const argv[], int reportFd) {
    sigset_t all;
    ::sigemptyset(&all);
    ::sigprocmask(SIG_SETMASK, &all, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    // Nothing of ours but stdio reaches the program.
    if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0) {
        rlimit limit{};
        const int last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                             ? static_cast<int>(limit.rlim_cur)
                             : 65536;
        for (int fd = 3; fd < last; ++fd) {
            if (fd != reportFd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    ::execve(program, argv, environ);
    const int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool runProgram(std::string_view commandLine, bool wait, int showMode) {
    // Windows would pick how the program's window shows; here there is no such choice.
    showMode = std::clamp(showMode, 1, 6);
    (void)showMode;

    auto words = splitCommandLine(commandLine.substr(0, commandLine.find('\0')));
    if (words.empty() || words[0].empty()) return false;
    words[0] = toNativePath(words[0]);
    const std::string program = findProgram(words[0], false);
    if (program.empty()) return false;
    std::vector<std::string> arguments;
    if (isWindowsProgram(program)) {
        const std::string wine = findProgram("wine", true);
        if (wine.empty()) return false;
        char resolved[PATH_MAX];
        arguments = {wine, ::realpath(program.c_str(), resolved) ? resolved : program};
    } else {
        arguments = {program};
    }
    arguments.insert(arguments.end(), words.begin() + 1, words.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        if (!wait) {
            // The grandchild runs the program; its parent ends at once, so
            // nobody is left to reap it but init.
            const pid_t grandchild = ::fork();
            if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        }
        execChild(argv[0], argv.data(), report[1]);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    bool forked = true;
    if (!wait) {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // The pipe closes at exec; an errno arrives when exec failed.
    int error = 0;
    ssize_t got = -1;
    pollfd pending{report[0], POLLIN, 0};
    if (forked && ::poll(&pending, 1, wait ? -1 : startWaitMs) > 0) {
        while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
    }
    ::close(report[0]);
    if (wait) {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return forked && got <= 0;
}
