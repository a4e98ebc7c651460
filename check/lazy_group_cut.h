#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Patterns of the shape  head(.*?)tail, where head and tail are plain bytes and
// ".", can only match up to the end of the last place in the text that fits the
// tail: the lazy group stops at the first tail after it. Searching a range cut
// there gives the engine's own answer, while a page full of heads with no tail
// behind them costs one scan instead of one scan per head.
struct LazyGroupTail {
    std::string bytes;
    std::string anyByte;  // '1' where the tail has ".", '0' where it has a plain byte
};

// The tail when the pattern has that shape and is matched case-sensitively.
std::optional<LazyGroupTail> lazyGroupTail(std::string_view pattern);

// One past the last byte of the last place in text that fits the tail, or
// npos when none does.
std::size_t lastTailEnd(const LazyGroupTail& tail, std::string_view text);
