#pragma once

#include <chrono>

// How long one fetchUrl may take: the start-up makes two fetches on the GUI
// thread, so a dead or stalled server must not hold it for more than about
// half a minute in all. Tests shorten them to see a stall end quickly.
struct FetchTimeouts {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds total{15000};  // the whole exchange, connect included
};

FetchTimeouts fetchTimeouts();
void setFetchTimeouts(FetchTimeouts timeouts);
