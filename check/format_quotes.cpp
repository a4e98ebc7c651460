#include "check/format_quotes.h"

#include "services/texts.h"

namespace {

std::string expandEscapes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool placeholderUsed = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 == text.size()) {  // a "%" at the very end ends the scan
            out += c;
            break;
        }
        const char kind = text[i + 1];
        if (kind == 'n') {
            out += "\r\n";
        } else if (kind == 'N') {
            out += "\r\n\r\n";
        } else if (std::string_view("sdftT").find(kind) != std::string_view::npos &&
                   !placeholderUsed) {
            placeholderUsed = true;
            if (kind == 't') {
                out += '"';
                out += texts::emptyPlaceholder;
                out += '"';
            } else if (kind == 'T') {
                out += texts::openQuote;
                out += texts::emptyPlaceholder;
                out += texts::closeQuote;
            } else {
                out += texts::emptyPlaceholder;
            }
        } else {  // stays as it is; the scan goes on at the byte after "%"
            out += c;
            ++i;
            continue;
        }
        i += 2;
    }
    return out;
}

}  // namespace

std::string formatQuotes(std::string_view text) {
    if (text.empty()) return {};
    std::string work;
    work.reserve(text.size());
    bool opening = true;
    for (const char c : text) {
        if (c == '`') {
            work += '"';
        } else if (c == '~') {
            work += opening ? texts::openQuote : texts::closeQuote;
            opening = !opening;
        } else {
            work += c;
        }
    }
    return expandEscapes(work);
}
