#include "check/release_page.h"

#include "app/upgrader.h"
#include "check/format_quotes.h"
#include "check/pattern.h"
#include "services/text_number.h"
#include "services/texts.h"
#include "services/web_fetch.h"

std::string releasePageUrl(std::string_view releaseHost) {
    return concatTexts({texts::httpPrefix, releaseHost, texts::releasePagePath});
}

std::string packageLinkPattern(std::string_view packageHost) {
    return concatTexts({texts::httpPrefix, packageHost, texts::packageLinkSuffix});
}

void fetchReleasePage(Upgrader& upgrader) {
    upgrader.state.releasePage = bytesToText(fetchUrl(releasePageUrl(upgrader.hosts.releaseHost)));
}

void findPackageDirectory(Upgrader& upgrader) {
    UpgraderState& state = upgrader.state;
    compilePattern(state.packageUrlPattern, packageLinkPattern(upgrader.hosts.packageHost));
    state.packageUrlMatch = searchFirst(state.packageUrlPattern, state.releasePage, 1);
    const std::string directory = submatchText(state.packageUrlMatch, state.releasePage, 1);
    upgrader.ui.标签5.setCaption(formatQuotes(directory));
}

std::string buildPackageUrl(const Upgrader& upgrader) {
    const std::string directory = upgrader.ui.标签5.caption();
    return concatTexts({texts::httpPrefix, upgrader.hosts.packageHost, texts::packageDirPrefix,
                        directory, texts::packageFileSuffix});
}

void findOfficialVersion(Upgrader& upgrader) {
    UpgraderState& state = upgrader.state;
    compilePattern(state.versionCellPattern, texts::versionCellPattern);
    state.versionCellMatches = searchAll(state.versionCellPattern, state.releasePage);
    for (const SearchResult& match : state.versionCellMatches) {
        upgrader.ui.标签7.setCaption(submatchText(match, state.releasePage, 1));
    }
}
