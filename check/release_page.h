#pragma once

#include <string>
#include <string_view>

struct Upgrader;

// The release-information page and the two facts the program takes from it:
// the directory of the current package and the official version.

std::string releasePageUrl(std::string_view releaseHost);
// The host name goes in as written: its dots match any byte.
std::string packageLinkPattern(std::string_view packageHost);

void fetchReleasePage(Upgrader& upgrader);              // state.releasePage
void findPackageDirectory(Upgrader& upgrader);          // 标签5
std::string buildPackageUrl(const Upgrader& upgrader);  // from 标签5
void findOfficialVersion(Upgrader& upgrader);  // 标签7, kept when the page has no version cell
