// Start-up makes the program's own folder the current directory.
#include "app/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ProgramFolderTest, TheProgramsFolderBecomesTheCurrentDirectory) {
    std::filesystem::current_path("/");
    enterProgramFolder();
    EXPECT_EQ(std::filesystem::current_path(),
              std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
