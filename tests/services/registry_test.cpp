#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "services/system_services.h"
#include "services/texts.h"
#include "tests/services/temp_folder.h"

namespace {

// A prefix as Wine writes it: escaped texts, "\x" for code units beyond
// ASCII, links for CurrentControlSet, timestamps after the key names.
const std::string machineHive = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=ARCH

[Software\\tolvek\\Kel] 1700000000
#time=1da0a1b2c3d4e5f
"version"="VERSION"
"build"=dword:00000022
"empty"=""
"nothing"=hex(1):
"raw"=hex:01,02
"list"=str(7):"a\0b\0"
"expand"=str(2):"%UPGRADER_TEST_HOME%\\bin;%UNSET_UPGRADER_VAR%"
"chinese"="\x6587\x4ef6\x00e9"
"quoted"="a \"b\" c\\d"
"hexText"=hex(1):31,00,2e,00,\
  32,00,00,00
@="default value"

[Software\\Wow6432Node\\tolvek\\Kel] 1700000000
"version"="32-bit view"

[Software\\Classes\\.ini] 1700000000
@="inifile"

[System\\CurrentControlSet] 1700000000
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,00,5c,00,4d,00,\
  61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,74,00,65,00,6d,00,\
  5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,00,74,00,30,00,30,00,\
  31,00

[System\\ControlSet001\\Hardware Profiles\\Current\\Software] 1700000000
"profile"="current profile"

[\x661e\\Kel] 1700000000
"\x661e"="second byte is a backslash"
)";

const std::string userHive = R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

[Software\\Upgrader] 1700000000
"where"="current user"
)";

const std::string defaultUserHive = R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\.Default

[Software\\Upgrader] 1700000000
"where"="default user"
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

class Registry : public ::testing::Test {
protected:
    void usePrefix(const TempFolder& folder, const std::string& arch, const std::string& version) {
        folder.write("system.reg",
                     replaced(replaced(machineHive, "ARCH", arch), "VERSION", version));
        folder.write("user.reg", userHive);
        folder.write("userdef.reg", defaultUserHive);
        ::setenv("WINEPREFIX", folder.path().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("WINEPREFIX");
        ::unsetenv("UPGRADER_TEST_HOME");
    }
};

TEST_F(Registry, ReadsTextsOfA32BitPrefix) {
    TempFolder prefix;
    usePrefix(prefix, "win32", "10.2.0.6");
    ::setenv("UPGRADER_TEST_HOME", "/opt/kel", 1);
    const std::string kel = "SOFTWARE\\tolvek\\Kel\\";
    struct Case {
        int root;
        std::string path;
        std::string fallback;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {4, std::string(texts::installedVersionPath), "", "10.2.0.6"},
        {4, "software\\TOLVEK\\kel\\VERSION", "", "10.2.0.6"},
        {4, kel + "build", "none", "none"},  // a number is no text
        {4, kel + "raw", "none", "none"},
        {4, kel + "list", "none", "none"},
        {4, kel + "empty", "none", ""},        // stored with its final zero: present
        {4, kel + "nothing", "none", "none"},  // stored size 0: absent
        {4, kel + "expand", "", "/opt/kel\\bin;%UNSET_UPGRADER_VAR%"},
        {4, kel + "chinese", "", "\xCE\xC4\xBC\xFE\xA8\xA6"},  // 文件é in GBK
        {4, kel + "quoted", "", "a \"b\" c\\d"},
        {4, kel + "hexText", "", "1.2"},
        {4, kel, "", "default value"},
        {4, kel + "missing", "dflt", "dflt"},
        {4, "SOFTWARE\\tolvek\\Nope\\version", "dflt", "dflt"},
        // 0x95 0x5C is one character: the last "\\" is the one before it.
        {4, "\x95\x5C\\Kel\\\x95\x5C", "", "second byte is a backslash"},
        {4, "version", "dflt", "dflt"},  // a value of the root itself
        {1, ".ini\\", "", "inifile"},
        {2, "Software\\profile", "", "current profile"},
        {3, "Software\\Upgrader\\where", "", "current user"},
        {0, "Software\\Upgrader\\where", "", "current user"},
        {9, "Software\\Upgrader\\where", "", "current user"},
        {5, ".DEFAULT\\Software\\Upgrader\\where", "", "default user"},
        {5, "S-1-5-21-0-0-0-1000\\Software\\Upgrader\\where", "", "current user"},
        {5, "S-1-5-18\\Software\\Upgrader\\where", "dflt", "dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readRegistryText(c.root, c.path, c.fallback), c.expected)
            << c.root << " " << c.path;
    }
}

TEST_F(Registry, A64BitPrefixShowsThe32BitView) {
    TempFolder prefix;
    usePrefix(prefix, "win64", "64-bit view");
    EXPECT_EQ(readRegistryText(4, texts::installedVersionPath), "32-bit view");
    EXPECT_EQ(readRegistryText(1, ".ini\\"), "inifile");  // classes are shared
}

TEST_F(Registry, AMissingOrBrokenPrefixGivesTheDefault) {
    TempFolder prefix;
    ::setenv("WINEPREFIX", prefix.path().c_str(), 1);
    EXPECT_EQ(readRegistryText(4, texts::installedVersionPath, "dflt"), "dflt");
    prefix.write("system.reg", "[Software\\\\tolvek\\\\Kel\n\"version\"=\"unterminated\n[");
    EXPECT_EQ(readRegistryText(4, texts::installedVersionPath, "dflt"), "dflt");
    EXPECT_EQ(readRegistryText(4, texts::installedVersionPath), "");
}

}  // namespace
