#include "services/gbk_text.h"

namespace gbk {

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::size_t charLength(std::string_view text, std::size_t pos) {
    return (isLeadByte(text[pos]) && pos + 1 < text.size()) ? 2 : 1;
}

std::size_t find(std::string_view text, char c, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += charLength(text, i)) {
        if (text[i] == c) return i;
    }
    return std::string_view::npos;
}

std::size_t findLast(std::string_view text, char c) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) {
        if (text[i] == c) last = i;
    }
    return last;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t len = charLength(a, i);
        if (len == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + charLength(text, end);
        if (next > maxBytes) break;
        end = next;
    }
    return text.substr(0, end);
}

std::string_view skipLeadingControls(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] >= 0x01 && text[i] <= 0x20) ++i;
    return text.substr(i);
}

}  // namespace gbk
