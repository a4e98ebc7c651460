#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "services/system_services.h"
#include "services/texts.h"
#include "tests/services/temp_folder.h"

namespace {

const std::string section(texts::settingsSection);  // 参数设置
const std::string autoKey(texts::keyAutoUpgrade);   // 自动升级
const std::string minimiseKey(texts::keyMinimise);  // 最小化运行

// The settings file as the program keeps it, with a comment, a second section
// and LF lines in one place, all of which a write must keep.
const std::string sample = "; settings\r\n[" + section + "]\r\n" + minimiseKey + "=\xD5\xE6\r\n" +
                           autoKey + " =  YES  \r\n\r\n[Other]\nkey=\"quoted\"\n";

TEST(ProfileFile, ReadsValues) {
    TempFolder folder;
    // "\x95\x5D" is a two-byte character whose second byte is "]"; "\x81\x61"
    // and "\x81\x41" differ only in a second byte that looks like "a" and "A".
    const std::string file =
        folder.write("config.ini", sample +
                                       "[\x95\x5D]\r\nk=bracket\r\n[x]\r\n\x81\x61=lower\r\n"
                                       "[Quotes]\r\ns='single'\r\nd=\"\"\"\r\nhalf=\"open\r\n"
                                       "[Empty]\r\nk=\r\n");
    const std::string path = folder.path() + "\\config.ini";  // as the program joins it
    struct Case {
        std::string section, key, fallback, expected;
    };
    const std::vector<Case> cases = {
        {section, autoKey, "", "YES"},
        {section, minimiseKey, "", "\xD5\xE6"},
        {"  \t" + section, "\x01 " + autoKey, "", "YES"},  // leading blanks skipped
        {"OTHER", "KEY", "", "quoted"},                    // ASCII case ignored
        {"Other", "missing", "dflt", "dflt"},
        {"Missing", "key", "", ""},
        {"\x95\x5D", "k", "", "bracket"},
        {"x", "\x81\x41", "none", "none"},  // second bytes are compared exactly
        {"Quotes", "s", "", "single"},
        {"Quotes", "d", "", "\""},
        {"Quotes", "half", "", "\"open"},
        {"Empty", "k", "dflt", ""},
        {"", "key", "dflt", ""},  // nothing to look for: not even the default
        {"Other", " ", "dflt", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readProfileValue(path, c.section, c.key, c.fallback), c.expected)
            << c.section << "/" << c.key;
    }
    EXPECT_EQ(readProfileValue(folder.path() + "/none.ini", section, autoKey, "dflt"), "dflt");
    EXPECT_EQ(readProfileValue(" ", section, autoKey, "dflt"), "");
}

TEST(ProfileFile, CutsLongValuesAtTheBufferSize) {
    TempFolder folder;
    const std::string ascii(20000, 'v');
    std::string chinese;
    for (int i = 0; i < 6000; ++i) chinese += "\xD5\xE6";
    const auto path = folder.write("long.ini", "[s]\r\na=" + ascii + "\r\nc=x" + chinese + "\r\n");
    EXPECT_EQ(readProfileValue(path, "s", "a"), ascii.substr(0, 10239));
    // 10239 bytes would split a character: the cut keeps whole characters.
    EXPECT_EQ(readProfileValue(path, "s", "c"), "x" + chinese.substr(0, 10238));
}

TEST(ProfileFile, WriteReplacesOrAddsOneKeyAndKeepsEveryOtherByte) {
    struct Case {
        const char* name;
        std::string before;
        std::string section, key, value;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"replace", sample, section, autoKey, "NO",
         "; settings\r\n[" + section + "]\r\n" + minimiseKey + "=\xD5\xE6\r\n" + autoKey +
             "=NO\r\n\r\n[Other]\nkey=\"quoted\"\n"},
        {"replace, other case, LF kept", sample, "other", "KEY", "",
         "; settings\r\n[" + section + "]\r\n" + minimiseKey + "=\xD5\xE6\r\n" + autoKey +
             " =  YES  \r\n\r\n[Other]\nKEY=\n"},
        {"add to a section before its blank line", sample, section, "new", "1",
         "; settings\r\n[" + section + "]\r\n" + minimiseKey + "=\xD5\xE6\r\n" + autoKey +
             " =  YES  \r\nnew=1\r\n\r\n[Other]\nkey=\"quoted\"\n"},
        {"add a section", sample, "Added", autoKey, "YES",
         sample + "[Added]\r\n" + autoKey + "=YES\r\n"},
        {"no line end at the end", "[s]\r\na=1", "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n"},
        {"new section after a last line without end", "[s]\r\na=1", "t", "b", "2",
         "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
        {"commented key is not the key", "[s]\r\n;a=1\r\n", "s", "a", "2",
         "[s]\r\n;a=1\r\na=2\r\n"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const auto path = folder.write("config.ini", c.before);
        EXPECT_TRUE(writeProfileValue(path, c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(folder.read("config.ini"), c.after) << c.name;
        EXPECT_EQ(readProfileValue(path, c.section, c.key, "dflt"), c.value) << c.name;
    }
}

TEST(ProfileFile, WriteCreatesTheSettingsFile) {
    TempFolder folder;
    const std::string path = folder.path() + "\\config.ini";
    for (const auto key : {texts::keyMinimise, texts::keyAutoUpgrade, texts::keyUnconditional}) {
        EXPECT_TRUE(writeProfileValue(path, section, key, ""));
    }
    EXPECT_EQ(folder.read("config.ini"), "[" + section + "]\r\n" + minimiseKey + "=\r\n" + autoKey +
                                             "=\r\n" + std::string(texts::keyUnconditional) +
                                             "=\r\n");
    EXPECT_EQ(std::filesystem::directory_iterator(folder.path())->path().filename(), "config.ini");
}

TEST(ProfileFile, RefusedWritesLeaveTheFileAsItWas) {
    TempFolder folder;
    const auto path = folder.write("config.ini", sample);
    struct Case {
        std::string file, section, key, value;
    };
    const std::vector<Case> cases = {
        {"", section, autoKey, "YES"},
        {path, "", autoKey, "YES"},
        {path, section, " ", "YES"},
        {path, section, autoKey, "YES\r\n[Injected]"},
        {path, section, "a=b", "YES"},
        {path, "a]b", autoKey, "YES"},
        {folder.path() + "/missing-folder/config.ini", section, autoKey, "YES"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(writeProfileValue(c.file, c.section, c.key, c.value)) << c.key << c.value;
    }
    EXPECT_EQ(folder.read("config.ini"), sample);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(ProfileFile, ReadOnlyFileIsNotWrittenAndPermissionsAreKept) {
    TempFolder folder;
    const auto readOnly = folder.write("ro.ini", sample);
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_FALSE(writeProfileValue(readOnly, section, autoKey, "NO"));
    EXPECT_EQ(folder.read("ro.ini"), sample);

    const auto kept = folder.write("kept.ini", sample);
    ::chmod(kept.c_str(), 0640);
    EXPECT_TRUE(writeProfileValue(kept, section, autoKey, "NO"));
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

}  // namespace
