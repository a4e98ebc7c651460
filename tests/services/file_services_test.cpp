#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "services/system_services.h"
#include "tests/services/temp_folder.h"

namespace {

TEST(NativePath, TurnsSeparatorsButNeverASecondByte) {
    struct Case {
        std::string text, expected;
    };
    const std::vector<Case> cases = {
        {"/opt/app\\config.ini", "/opt/app/config.ini"},
        {"a\\b\\c", "a/b/c"},
        // 0x95 0x5C is one character, named on disk in the system's UTF-8.
        {"/opt/\x95\\\\update.exe", "/opt/\xe6\x98\x9e/update.exe"},
        {"/opt/\xc9\xfd\xbc\xb6\\config.ini", "/opt/\xe5\x8d\x87\xe7\xba\xa7/config.ini"},
        {"\\", "/"},
        {"", ""},
        {"end\x95", "end\x95"},
    };
    for (const auto& c : cases) EXPECT_EQ(toNativePath(c.text), c.expected) << c.text;
}

TEST(FileExists, MatchesFilesFoldersAndWildcards) {
    TempFolder folder;
    folder.write("config.ini", "");
    folder.write("update.exe", "MZ");
    folder.write("[x].txt", "");
    std::filesystem::create_directory(folder.file("sub"));
    const std::string base = folder.path() + "\\";
    struct Case {
        std::string pattern;
        bool expected;
    };
    const std::vector<Case> cases = {
        {base + "config.ini", true},
        {base + "CONFIG.INI", false},
        {base + "sub", true},
        {folder.path(), true},
        {base + "*.exe", true},
        {base + "upd?te.*", true},
        {base + "*.*", true},
        {base + "*.dll", false},
        {base + "[x].txt", true},  // "[" is no wildcard
        {base + "?x?.txt", true},
        {base + "s*", true},
        {base + "missing\\*", false},
        {base + "missing.ini", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(fileExists(c.pattern), c.expected) << c.pattern;
}

TEST(DeleteFile, DeletesOneFileAndRefusesTheRest) {
    TempFolder folder;
    const auto plain = folder.write("update.exe", "MZ");
    EXPECT_TRUE(deleteFile(folder.path() + "\\update.exe"));
    EXPECT_FALSE(std::filesystem::exists(plain));
    EXPECT_FALSE(deleteFile(plain));  // gone already

    std::filesystem::create_directory(folder.file("sub"));
    EXPECT_FALSE(deleteFile(folder.file("sub")));
    EXPECT_TRUE(std::filesystem::exists(folder.file("sub")));

    const auto readOnly = folder.write("ro.exe", "MZ");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_FALSE(deleteFile(readOnly));
    EXPECT_TRUE(std::filesystem::exists(readOnly));

    EXPECT_FALSE(deleteFile(""));
    EXPECT_FALSE(deleteFile(folder.file("*.exe")));
}

TEST(DeleteFile, LeavesAFileInUseByTheTransferEngine) {
    TempFolder folder;
    const auto path = folder.write("update.exe", "partial");
    const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_SH), 0);
    EXPECT_FALSE(deleteFile(path));
    EXPECT_TRUE(std::filesystem::exists(path));
    ::close(writer);
    EXPECT_TRUE(deleteFile(path));
}

TEST(CurrentDirectory, IsTheProcessFolderWithoutTrailingSeparator) {
    TempFolder folder;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const std::string seen = currentDirectory();
    std::filesystem::current_path(before);
    EXPECT_EQ(seen, std::filesystem::canonical(folder.path()).string());
}

// A folder whose name is not ASCII: the program sees it as GBK, as the ANSI
// functions of the target system would, and the joined "\config.ini" still
// names the file on disk.
TEST(CurrentDirectory, NamesANonAsciiFolderInGbkAndJoinsBackToIt) {
    TempFolder folder;
    const std::string utf8Name = "\xe5\x8d\x87\xe7\xba\xa7";  // 升级
    std::filesystem::create_directory(folder.file(utf8Name));
    std::ofstream(folder.file(utf8Name + "/config.ini")) << "[a]\r\nb=c\r\n";
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.file(utf8Name));
    const std::string seen = currentDirectory();
    std::filesystem::current_path(before);

    const std::string gbkName = "\xc9\xfd\xbc\xb6";
    ASSERT_GE(seen.size(), gbkName.size());
    EXPECT_EQ(seen.substr(seen.size() - gbkName.size()), gbkName);
    EXPECT_TRUE(fileExists(seen + "\\config.ini"));
    EXPECT_EQ(readProfileValue(seen + "\\config.ini", "a", "b"), "c");
}

TEST(SleepMs, NegativeReturnsAtOnceAndPositiveWaits) {
    const auto start = std::chrono::steady_clock::now();
    sleepMs(-5);
    sleepMs(0);
    const auto quick = std::chrono::steady_clock::now() - start;
    sleepMs(50);
    const auto slept = std::chrono::steady_clock::now() - start - quick;
    EXPECT_LT(quick, std::chrono::seconds(1));  // not read as a huge unsigned count
    EXPECT_GE(slept, std::chrono::milliseconds(50));
}

}  // namespace
