#include <limits.h>
#include <unistd.h>

#include <string>

#include "app/program_folder.h"

void enterProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return;
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    if (slash == std::string::npos) return;
    const std::string folder = slash == 0 ? "/" : program.substr(0, slash);
    if (chdir(folder.c_str()) != 0) return;  // left where it was
}
