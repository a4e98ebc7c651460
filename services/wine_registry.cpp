#include "services/wine_registry.h"

#include <charconv>

namespace wine_registry {

namespace {

char16_t fold(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::u16string& out, std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : lead & 0x1F;
    if (extra == 0 || i + extra >= text.size()) {
        out += u'?';
        ++i;
        return;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            out += u'?';
            ++i;
            return;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<char16_t>(code);
    }
}

// The quoted text that starts at `text[0] == '"'`; `end` receives the
// position after the closing quote.
std::optional<std::u16string> quoted(std::string_view text, std::size_t& end) {
    if (text.empty() || text[0] != '"') return std::nullopt;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            end = i + 1;
            return unescape(text.substr(1, i - 1));
        }
    }
    return std::nullopt;
}

std::vector<unsigned char> hexBytes(std::string_view text) {
    std::vector<unsigned char> bytes;
    int high = -1;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            high = -1;
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

std::u16string utf16FromBytes(const std::vector<unsigned char>& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    return text;
}

// The key name of a "[...] timestamp" line.
std::optional<std::u16string> keyName(std::string_view line) {
    if (line.empty() || line[0] != '[') return std::nullopt;
    const auto close = line.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return unescape(line.substr(1, close - 1));
}

template <typename Visit>
void forEachLine(std::string_view file, Visit visit) {
    while (!file.empty()) {
        const auto newline = file.find('\n');
        std::string_view line = file.substr(0, newline);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!visit(line)) return;
        file.remove_prefix(newline == std::string_view::npos ? file.size() : newline + 1);
    }
}

std::optional<std::u16string> linkOf(const Key& key) {
    if (!key.linkTarget) return std::nullopt;
    return key.linkTarget;
}

}  // namespace

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

std::u16string unescape(std::string_view escaped) {
    std::u16string out;
    for (std::size_t i = 0; i < escaped.size();) {
        const char c = escaped[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            appendUtf8(out, escaped, i);
            continue;
        }
        if (c != '\\' || i + 1 == escaped.size()) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        const char e = escaped[i + 1];
        i += 2;
        switch (e) {
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'a':
                out += u'\a';
                break;
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'v':
                out += u'\v';
                break;
            case 'e':
                out += u'\x1b';
                break;
            case 'x': {
                char16_t code = 0;
                int digits = 0;
                while (digits < 4 && i < escaped.size() && hexDigit(escaped[i]) >= 0) {
                    code = static_cast<char16_t>(code * 16 + hexDigit(escaped[i++]));
                    ++digits;
                }
                out += digits ? code : u'x';
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    char16_t code = static_cast<char16_t>(e - '0');
                    for (int digits = 1;
                         digits < 3 && i < escaped.size() && escaped[i] >= '0' && escaped[i] <= '7';
                         ++digits) {
                        code = static_cast<char16_t>(code * 8 + (escaped[i++] - '0'));
                    }
                    out += code;
                } else {
                    out += static_cast<char16_t>(e);
                }
        }
    }
    return out;
}

std::optional<Key> findKey(std::string_view file, std::u16string_view path) {
    std::optional<Key> found;
    bool inKey = false;
    std::string_view pending;  // a value line continued with "\" at its end
    const char* pendingStart = nullptr;
    forEachLine(file, [&](std::string_view line) {
        if (const auto name = keyName(line)) {
            if (found) return false;
            inKey = equalsIgnoreCase(*name, path);
            if (inKey) found.emplace();
            return true;
        }
        if (!inKey) return true;
        if (line == "#link") {
            found->linkTarget = std::u16string();
            return true;
        }
        // Continued hex data: the value keeps every line up to the last one.
        if (!pendingStart && !line.empty() && (line[0] == '"' || line[0] == '@')) {
            pendingStart = line.data();
        }
        if (pendingStart) {
            pending = std::string_view(pendingStart, line.data() + line.size() - pendingStart);
            if (!line.empty() && line.back() == '\\') return true;
            found->valueLines.emplace_back(pending);
            pendingStart = nullptr;
        }
        return true;
    });
    if (found && found->linkTarget) {
        const auto value = findValue(*found, u"SymbolicLinkValue");
        if (value && !value->data.empty()) {
            found->linkTarget = value->data;
        } else {
            found->linkTarget.reset();
        }
    }
    return found;
}

std::vector<std::pair<std::u16string, std::u16string>> links(std::string_view file) {
    std::vector<std::pair<std::u16string, std::u16string>> result;
    std::optional<std::u16string> current;
    forEachLine(file, [&](std::string_view line) {
        if (const auto name = keyName(line)) {
            current = name;
        } else if (line == "#link" && current) {
            if (const auto key = findKey(file, *current); key && linkOf(*key)) {
                result.emplace_back(*current, *key->linkTarget);
            }
        }
        return true;
    });
    return result;
}

std::optional<Value> findValue(const Key& key, std::u16string_view name) {
    for (const std::string_view line : key.valueLines) {
        std::size_t end = 0;
        std::u16string lineName;
        if (line[0] == '@') {
            end = 1;
        } else if (const auto parsed = quoted(line, end)) {
            lineName = *parsed;
            if (lineName.empty()) continue;
        } else {
            continue;
        }
        if (!equalsIgnoreCase(lineName, name) || end >= line.size() || line[end] != '=') {
            continue;
        }
        const std::string_view data = line.substr(end + 1);
        Value value;
        std::size_t after = 0;
        if (data.starts_with("\"")) {
            value.kind = ValueKind::text;
            value.data = quoted(data, after).value_or(u"");
            value.data += u'\0';
        } else if (data.starts_with("str(2):\"")) {
            value.kind = ValueKind::expandableText;
            value.data = quoted(data.substr(7), after).value_or(u"");
            value.data += u'\0';
        } else if (data.starts_with("hex(")) {
            // Data written as bytes: texts with odd contents, links, lists.
            const auto colon = data.find("):");
            if (colon == std::string_view::npos) return value;
            const auto type = data.substr(4, colon - 4);
            value.kind = type == "1"   ? ValueKind::text
                         : type == "2" ? ValueKind::expandableText
                                       : ValueKind::other;
            const auto bytes = hexBytes(data.substr(colon + 2));
            value.data = utf16FromBytes(bytes);
            value.bytes = bytes.size();
            return value;
        } else {
            return value;  // numbers, binary data, lists of texts
        }
        value.bytes = value.data.size() * 2;
        return value;
    }
    return std::nullopt;
}

}  // namespace wine_registry
