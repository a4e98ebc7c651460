// The single-instance lock across real processes.
#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* lockName = "\xd4\xc6\xd6\xdb\xbf\xcd-test";  // GBK, as the program's name is

class SingleInstanceTest : public ::testing::Test {
protected:
    std::filesystem::path runtime;

    void SetUp() override {
        runtime =
            std::filesystem::path(::testing::TempDir()) / ("runtime-" + std::to_string(getpid()));
        std::filesystem::create_directories(runtime);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        for (pid_t pid : holders) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(runtime);
    }

    // A first copy: takes the lock, optionally starts a program of its own
    // (which inherits what is not close-on-exec), then runs until killed.
    pid_t startHolder(bool startsChild = false) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            ensureSingleInstance(lockName);
            if (startsChild && fork() == 0) {
                execlp("sleep", "sleep", "5", static_cast<char*>(nullptr));
                _exit(1);
            }
            ssize_t written = write(ready[1], "x", 1);
            (void)written;
            for (;;) pause();
        }
        char byte;
        EXPECT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        close(ready[1]);
        holders.push_back(pid);
        return pid;
    }

    std::vector<pid_t> holders;
};

[[noreturn]] void secondCopy(const char* name = lockName) {
    ensureSingleInstance(name);
    std::_Exit(7);  // went on
}

TEST_F(SingleInstanceTest, ASecondCopyEndsWithZeroWhileTheFirstRuns) {
    const pid_t first = startHolder();
    EXPECT_EXIT(secondCopy(), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(secondCopy("another name"), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(kill(first, 0), 0);  // the first copy is not told anything
}

TEST_F(SingleInstanceTest, ACopyAfterAKilledFirstRunsEvenIfItsPackageStillRuns) {
    const pid_t first = startHolder(/*startsChild=*/true);
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    holders.clear();
    EXPECT_EXIT(secondCopy(), ::testing::ExitedWithCode(7), "");
}

TEST_F(SingleInstanceTest, TheCopyHoldingTheLockGoesOnWhenAskedAgain) {
    EXPECT_EXIT(
        {
            ensureSingleInstance(lockName);
            secondCopy();
        },
        ::testing::ExitedWithCode(7), "");
}

TEST_F(SingleInstanceTest, WithoutARuntimeFolderAFolderOfTheUsersOwnIsUsed) {
    unsetenv("XDG_RUNTIME_DIR");
    startHolder();
    EXPECT_EXIT(secondCopy(), ::testing::ExitedWithCode(0), "");
    const std::string folder = "/tmp/jiyan-upgrader-" + std::to_string(getuid());
    struct stat info {};
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SingleInstanceTest, AnUnusableLockFolderLetsTheCopyGoOn) {
    setenv("XDG_RUNTIME_DIR", (runtime / "missing").c_str(), 1);
    EXPECT_EXIT(secondCopy(), ::testing::ExitedWithCode(7), "");
}

}  // namespace
