#include "download/log_time.h"

#include "download/text_format.h"
#include "services/texts.h"

std::string formatLogTime(const LocalTime& time) {
    std::string text = formatText(texts::logDate, time.year, time.month, time.day);
    if (time.second != 0)
        text += formatText(texts::logHourMinuteSecond, time.hour, time.minute, time.second);
    else if (time.minute != 0)
        text += formatText(texts::logHourMinute, time.hour, time.minute);
    else if (time.hour != 0)
        text += formatText(texts::logHour, time.hour);
    return text;
}
