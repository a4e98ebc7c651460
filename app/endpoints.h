#pragma once

#include <string>

// The four network endpoints, by role.
struct Endpoints {
    std::string probeHost;    // a large public web portal, only resolved
    std::string noticeHost;   // serves the notice text
    std::string releaseHost;  // serves the release-information page
    std::string packageHost;  // serves the package; also the link pattern's host

    static Endpoints builtIn();  // the names fixed when the program was built
};
