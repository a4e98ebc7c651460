#pragma once

#include <string>
#include <string_view>

// Turns the quote marks and escapes a text may carry into what the window
// shows: "`" becomes a straight double quote, "~" alternates between the
// opening and closing Chinese quotes, %n and %N become line ends, and the
// first of %s, %d, %f, %t, %T becomes the empty-value placeholder. A name made
// of letters, digits, ".", "-" and "_" passes unchanged.
std::string formatQuotes(std::string_view text);
