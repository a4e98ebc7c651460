#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "services/system_services.h"
#include "tests/services/temp_folder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Writes its arguments, one a line, to the file named by RECORD.
const char* recorder = "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$RECORD\"\n";

std::string executable(const TempFolder& folder, const std::string& name, const std::string& text) {
    const auto path = folder.write(name, text);
    ::chmod(path.c_str(), 0755);
    return path;
}

// Polls for a file the started program writes.
std::string awaitFile(const std::string& path) {
    for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(20ms);
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RunProgram : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath = std::getenv("PATH");
        oldDirectory = std::filesystem::current_path();
        ::setenv("RECORD", folder.file("record").c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", oldPath.c_str(), 1);
        std::filesystem::current_path(oldDirectory);
        ::unsetenv("RECORD");
    }
    TempFolder folder;
    std::string oldPath;
    std::filesystem::path oldDirectory;
};

TEST_F(RunProgram, StartsTheNamedProgramWithItsArguments) {
    const auto program = executable(folder, "prog", recorder);
    EXPECT_TRUE(runProgram("\"" + program + "\" one \"two words\" \xD5\xE6", true));
    EXPECT_EQ(folder.read("record"), "one\ntwo words\n\xD5\xE6\n");
}

TEST_F(RunProgram, SearchesTheCurrentDirectoryThenPath) {
    TempFolder bin;
    executable(folder, "here", recorder);
    executable(bin, "onpath", recorder);
    ::setenv("PATH", (bin.path() + ":/usr/bin:/bin").c_str(), 1);
    std::filesystem::current_path(folder.path());
    EXPECT_TRUE(runProgram("here a", true));
    EXPECT_EQ(folder.read("record"), "a\n");
    EXPECT_TRUE(runProgram("onpath b", true));
    EXPECT_EQ(folder.read("record"), "b\n");
}

TEST_F(RunProgram, StartsAWindowsProgramThroughWine) {
    TempFolder bin;
    folder.write("update.exe", std::string("MZ\x90\0", 4));  // no execute permission needed
    executable(bin, "wine", recorder);
    ::setenv("PATH", (bin.path() + ":/usr/bin:/bin").c_str(), 1);
    std::filesystem::current_path(folder.path());
    EXPECT_TRUE(runProgram("update.exe /silent", true));
    const auto real = std::filesystem::canonical(folder.file("update.exe")).string();
    EXPECT_EQ(folder.read("record"), real + "\n/silent\n");
    // The extension may be left out, as the system's own search allows.
    EXPECT_TRUE(runProgram("update", true));

    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(runProgram("update.exe", true));  // no wine: nothing can start it
}

TEST_F(RunProgram, RefusesWhatCannotBeStarted) {
    folder.write("data.txt", "not a program");
    std::filesystem::create_directory(folder.file("subfolder"));
    std::filesystem::current_path(folder.path());
    const std::vector<std::string> lines = {"",
                                            "   ",
                                            "\"\"",
                                            "missing-program",
                                            "data.txt",
                                            "subfolder",
                                            folder.file("data.txt"),
                                            folder.path() + "\\missing"};
    for (const auto& line : lines) {
        EXPECT_FALSE(runProgram(line, true)) << line;
        EXPECT_FALSE(runProgram(line, false)) << line;
    }
}

TEST_F(RunProgram, WithoutWaitingReturnsOnceStartedAndLeavesNoChild) {
    const auto slow = executable(folder, "slow", "#!/bin/sh\nsleep 0.5\necho done > \"$RECORD\"\n");
    const auto start = std::chrono::steady_clock::now();
    for (const int mode : {0, 1, 2, 7}) EXPECT_TRUE(runProgram(slow, false, mode));
    EXPECT_FALSE(std::filesystem::exists(folder.file("record")));  // still running
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);                // nothing left for us to reap
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(awaitFile(folder.file("record")), "done\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(RunProgram, WaitingWaitsForTheEnd) {
    const auto slow = executable(folder, "slow", "#!/bin/sh\nsleep 0.3\necho done > \"$RECORD\"\n");
    EXPECT_TRUE(runProgram(slow, true));
    EXPECT_EQ(folder.read("record"), "done\n");
}

TEST_F(RunProgram, PassesNoDescriptorBeyondStdio) {
    const auto marker = folder.write("leak-marker", "");
    const int leaked = ::open(marker.c_str(), O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(leaked, 0);
    const auto lister =
        executable(folder, "lister", "#!/bin/sh\nls -l /proc/$$/fd > \"$RECORD\"\n");
    EXPECT_TRUE(runProgram(lister, true));
    ::close(leaked);
    const auto listing = folder.read("record");
    EXPECT_NE(listing.find("record"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("leak-marker"), std::string::npos) << listing;
}

// Copies of sleep under a name of the test's own, so that nothing else on the
// machine is at risk.
class TerminateProcess : public ::testing::Test {
protected:
    pid_t start(const std::string& file, const std::string& argv0) {
        char* argv[] = {const_cast<char*>(argv0.c_str()), const_cast<char*>("30"), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ), 0);
        started.push_back(pid);
        std::this_thread::sleep_for(100ms);  // until exec has renamed it
        return pid;
    }
    bool ended(pid_t pid) {
        for (int i = 0; i < 200; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) return WIFSIGNALED(status);
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    void TearDown() override {
        for (const pid_t pid : started) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    TempFolder folder;
    std::vector<pid_t> started;
    // Random rather than the process id: an id is reused, and a process left
    // by an earlier run could still bear it. Short enough for the kernel's
    // 15-byte process name.
    const std::string name = [] {
        char text[16];
        std::snprintf(text, sizeof text, "u%08x.exe", std::random_device{}());
        return std::string(text);
    }();
};

TEST_F(TerminateProcess, EndsOneProcessPerCallWhateverTheCase) {
    const auto copy = folder.file(name);
    std::filesystem::copy_file("/bin/sleep", copy);
    ::chmod(copy.c_str(), 0755);
    const pid_t first = start(copy, copy);
    const pid_t second = start(copy, copy);
    std::string upper = name;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    ASSERT_TRUE(terminateProcessByName(upper));
    std::this_thread::sleep_for(100ms);
    int status = 0;
    const bool firstGone = ::waitpid(first, &status, WNOHANG) == first;
    const bool secondGone = ::waitpid(second, &status, WNOHANG) == second;
    EXPECT_NE(firstGone, secondGone);  // exactly one

    // The ended one may linger unreaped; it is not taken for a running one.
    EXPECT_TRUE(terminateProcessByName(name));
    EXPECT_TRUE(ended(firstGone ? second : first));
    EXPECT_FALSE(terminateProcessByName(name));
}

TEST_F(TerminateProcess, MatchesTheProgramNameOfAWindowsPath) {
    const auto copy = folder.file("sleeper");
    std::filesystem::copy_file("/bin/sleep", copy);
    ::chmod(copy.c_str(), 0755);
    const pid_t pid = start(copy, "C:\\Program Files\\Kel\\" + name);
    EXPECT_TRUE(terminateProcessByName(name));
    EXPECT_TRUE(ended(pid));
}

TEST_F(TerminateProcess, FindsNothingToEnd) {
    EXPECT_FALSE(terminateProcessByName(""));
    EXPECT_FALSE(terminateProcessByName(name));
    // Never the calling process, even by its own name (a name only this
    // process bears, so that no other test process is at risk).
    char own[16] = {};
    ::prctl(PR_GET_NAME, own);
    ::prctl(PR_SET_NAME, name.c_str());
    EXPECT_FALSE(terminateProcessByName(name));
    ::prctl(PR_SET_NAME, own);
}

}  // namespace
