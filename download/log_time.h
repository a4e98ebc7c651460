#pragma once

#include <string>

// The time stamp of an engine log line: "%d年%d月%d日" followed by hours, minutes
// and seconds down to the last of them that is not zero.

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

std::string formatLogTime(const LocalTime& time);

LocalTime localTimeNow();  // platform layer
