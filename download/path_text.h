#pragma once

#include <optional>
#include <string>
#include <string_view>

// Local paths as the program writes them: GBK texts whose parts are joined by
// "\" (native "/" is accepted too). A GBK trail byte that equals "\" is never
// taken for a separator.

inline constexpr std::size_t maxPathLength = 259;

// Position of the last separator, or npos.
std::size_t lastSeparator(std::string_view path);

bool endsWithSeparator(std::string_view path);

// The file name a server suggests, reduced to a plain name that stays inside
// the folder it is appended to: only the part after the last separator, and
// nothing at all for "", "." or "..".
std::string plainFileName(std::string_view suggested);

// The next name of the automatic renaming: update.exe -> update(1).exe,
// update(1).exe -> update(2).exe. Empty when the number would reach 100 or the
// path would no longer fit maxPathLength.
std::optional<std::string> renamedPath(std::string_view path);
