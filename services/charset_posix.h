#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between the program's GBK texts and the system's own: file names
// on Linux are UTF-8, as the ANSI functions of the target system convert
// between its code page and the Unicode names on disk.

// iconv between two charsets. A sequence the target lacks is replaced by
// `replacement` (unitBytes of input skipped), or fails the whole conversion
// when no replacement is given.
std::optional<std::string> convertCharset(const char* to, const char* from, std::string_view input,
                                          std::size_t unitBytes, std::string_view replacement);

// Exact conversions; a text that does not convert is returned unchanged.
std::string gbkToNative(std::string_view gbk);
std::string nativeToGbk(std::string_view native);
