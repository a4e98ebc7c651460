#pragma once

#include <QString>
#include <string>
#include <string_view>

// The program keeps its texts as GBK bytes; the window shows Unicode. These are
// the only two places where one becomes the other.
QString fromGbk(std::string_view text);
std::string toGbk(const QString& text);
