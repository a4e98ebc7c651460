#pragma once

#include <string>
#include <string_view>

// printf-style filling of the engine's fixed texts ("%s", "%d"); the result is
// never cut, whatever the length of the arguments.

std::string formatText(std::string_view format, std::string_view text);
std::string formatText(std::string_view format, std::string_view text, int number);
std::string formatText(std::string_view format, int a);
std::string formatText(std::string_view format, int a, int b);
std::string formatText(std::string_view format, int a, int b, int c);
