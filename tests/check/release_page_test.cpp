#include "check/release_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/upgrader.h"
#include "fake_controls.h"
#include "gbk_literal.h"
#include "services/texts.h"

namespace {

const std::string host = "down.example.net";
const std::string prefix = "http://" + host + "/netver/10netver/";

struct PageFixture {
    UpgraderState state;
    FakeWindowControls window;
    Upgrader upgrader{state, window.controls, Endpoints{"", "", "", host}};

    explicit PageFixture(std::string page) { state.releasePage = std::move(page); }
};

std::string cell(const std::string& content) {
    return gbk("2010网络版升级包") +
           "</strong> </td>\r\n        <td align=\"center\" bgcolor=\"#FFFFFF\">" + content +
           "</td>";
}

TEST(ReleasePage, PatternsAndAddresses) {
    EXPECT_EQ(texts::versionCellPattern, cell("(.*?)"));
    EXPECT_EQ(texts::versionCellPattern.size(), 88u);
    EXPECT_EQ(packageLinkPattern(host), prefix + "(.*?)/Update.exe.");
    EXPECT_EQ(releasePageUrl("www.example.net"), "http://www.example.net/tolvek/tolvek.htm");
}

struct DirectoryCase {
    const char* what;
    std::string page;
    std::string directory;
};

TEST(ReleasePage, PackageDirectoryAndUrl) {
    const std::vector<DirectoryCase> cases = {
        {"one link", "<a href=\"" + prefix + "20100518/Update.exe\">get</a>", "20100518"},
        {"the first of two links",
         "<a href=\"" + prefix + "first/Update.exe\">\r\n<a href=\"" + prefix +
             "second/Update.exe\">",
         "first"},
        {"lower-case update.exe", "<a href=\"" + prefix + "d/update.exe\">", ""},
        {"any byte in place of the dot", "<a href=\"" + prefix + "d/Update_exe>", "d"},
        {"the page ends right after the file name", "<a href=\"" + prefix + "d/Update.exe", ""},
        {"one byte after the file name is enough", prefix + "d/Update.exe\"", "d"},
        {"nested directories", "<a href=\"" + prefix + "a/b/Update.exe\">", "a/b"},
        {"no directory", "<a href=\"" + prefix + "/Update.exe\">", ""},
        {"a prefix with no package on its line runs on to the next one",
         "<a href=\"" + prefix +
             "old\">old</a>\r\n<p>x</p>\r\n<a href=\"http://mirror/Update.exe\">",
         "old\">old</a>\r\n<p>x</p>\r\n<a href=\"http://mirror"},
        {"the host's dots match any byte",
         "<a href=\"http://downXexample-net/netver/10netver/d/Update.exe\">", "d"},
        {"other hosts do not count",
         "<a href=\"http://up.example.net/netver/10netver/d/Update.exe\">", ""},
        {"quote marks in the directory", "<a href=\"" + prefix + "a~b~`c/Update.exe\">",
         "a" + gbk("“") + "b" + gbk("”") + "\"c"},
        {"prefixes without a package", prefix + prefix + prefix + "x\r\n", ""},
        {"empty page", "", ""},
    };
    for (const DirectoryCase& c : cases) {
        SCOPED_TRACE(c.what);
        PageFixture fixture(c.page);
        findPackageDirectory(fixture.upgrader);
        EXPECT_EQ(fixture.window.controls.标签5.caption(), c.directory);
        EXPECT_EQ(buildPackageUrl(fixture.upgrader), prefix + c.directory + "/update.exe");
    }
}

struct VersionCase {
    const char* what;
    std::string page;
    std::string version;
};

TEST(ReleasePage, OfficialVersion) {
    const std::string kept = "kept";
    const std::vector<VersionCase> cases = {
        {"one cell", "<tr><td><strong>" + cell("22.00.32.25") + "</tr>", "22.00.32.25"},
        {"the last of three cells", cell("1") + "\r\n" + cell("2") + "\r\n" + cell("3"), "3"},
        {"a line break in the cell", cell("22.00\r\n32.25"), "22.00\r\n32.25"},
        {"an empty cell", cell(""), ""},
        {"the last cell is empty", cell("1") + cell(""), ""},
        {"no cell", "<td>2010</td>", kept},
        {"a page in UTF-8",
         "2010网络版升级包</strong> </td>\r\n        <td align=\"center\" "
         "bgcolor=\"#FFFFFF\">1</td>",
         kept},
        {"one space fewer in the indent",
         gbk("2010网络版升级包") +
             "</strong> </td>\r\n       <td align=\"center\" bgcolor=\"#FFFFFF\">1</td>",
         kept},
        {"empty page", "", kept},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.what);
        PageFixture fixture(c.page);
        fixture.window.controls.标签7.setCaption(kept);
        findOfficialVersion(fixture.upgrader);
        EXPECT_EQ(fixture.window.controls.标签7.caption(), c.version);
    }
}

}  // namespace
