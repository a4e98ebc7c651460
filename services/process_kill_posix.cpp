#include <dirent.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

#include "services/charset_posix.h"
#include "services/gbk_text.h"
#include "services/system_services.h"

namespace {

std::string readProcFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file name of a path, split at "/" or "\".
std::string_view lastComponent(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const auto backslash = gbk::findLast(path, '\\');
    return backslash == std::string_view::npos ? path : path.substr(backslash + 1);
}

// An ended process whose parent has not collected it is not running.
bool isZombie(const std::string& folder) {
    const std::string stat = readProcFile(folder + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool namedAs(const std::string& folder, std::string_view name) {
    std::string comm = readProcFile(folder + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (gbk::equalsIgnoreAsciiCase(comm, name)) return true;
    const std::string commandLine = readProcFile(folder + "/cmdline");
    const std::string_view first(commandLine.c_str());
    return !first.empty() && gbk::equalsIgnoreAsciiCase(lastComponent(first), name);
}

}  // namespace

bool terminateProcessByName(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    if (name.empty()) return false;
    // Process names on disk are the system's own text, not GBK.
    const std::string nativeName = gbkToNative(name);
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    const pid_t self = ::getpid();
    pid_t chosen = 0;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        if (namedAs(folder, nativeName) && !isZombie(folder)) {
            chosen = static_cast<pid_t>(pid);
            break;
        }
    }
    ::closedir(proc);
    return chosen != 0 && ::kill(chosen, SIGKILL) == 0;
}
