#include "check/lazy_group_cut.h"

namespace {

constexpr std::string_view lazyGroup = "(.*?)";

bool isSpecial(char c) {
    return std::string_view(".[]{}()\\*+?|^$").find(c) != std::string_view::npos;
}

// Plain bytes, "." and escaped punctuation; false on anything else, since any
// other construct could let a match end somewhere the cut does not foresee.
bool readRun(std::string_view text, LazyGroupTail& run) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            run.bytes += '.';
            run.anyByte += '1';
        } else if (c == '\\') {
            if (i + 1 == text.size()) return false;
            const char next = text[++i];
            // \d, \<, \` ... are classes or assertions, not bytes
            if (!isSpecial(next) && next != '/' && next != '"') return false;
            run.bytes += next;
            run.anyByte += '0';
        } else if (isSpecial(c)) {
            return false;
        } else {
            run.bytes += c;
            run.anyByte += '0';
        }
    }
    return true;
}

bool fitsAt(const LazyGroupTail& tail, std::string_view text, std::size_t at) {
    for (std::size_t i = 0; i < tail.bytes.size(); ++i) {
        if (tail.anyByte[i] == '0' && text[at + i] != tail.bytes[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<LazyGroupTail> lazyGroupTail(std::string_view pattern) {
    const std::size_t group = pattern.find(lazyGroup);
    if (group == std::string_view::npos) return std::nullopt;
    LazyGroupTail head;
    LazyGroupTail tail;
    if (!readRun(pattern.substr(0, group), head) ||
        !readRun(pattern.substr(group + lazyGroup.size()), tail) || tail.bytes.empty()) {
        return std::nullopt;
    }
    return tail;
}

std::size_t lastTailEnd(const LazyGroupTail& tail, std::string_view text) {
    const std::size_t size = tail.bytes.size();
    if (text.size() < size) return std::string_view::npos;
    for (std::size_t at = text.size() - size + 1; at-- > 0;) {
        if (fitsAt(tail, text, at)) return at + size;
    }
    return std::string_view::npos;
}
