#include <vector>

#include "services/file_replace.h"
#include "services/gbk_text.h"
#include "services/system_services.h"

namespace {

// Values are cut where a 10240-byte buffer would cut them.
constexpr std::size_t maxValueBytes = 10239;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

struct Line {
    std::string_view content;  // without its line end
    std::string_view end;      // "\r\n", "\n" or nothing at the end of the file
};

std::vector<Line> splitLines(std::string_view file) {
    std::vector<Line> lines;
    while (!file.empty()) {
        const auto newline = file.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({file, {}});
            break;
        }
        const bool crlf = newline > 0 && file[newline - 1] == '\r';
        lines.push_back({file.substr(0, crlf ? newline - 1 : newline),
                         file.substr(crlf ? newline - 1 : newline, crlf ? 2 : 1)});
        file.remove_prefix(newline + 1);
    }
    return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    return trimmed(line.substr(0, gbk::find(line, ']')));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> keyEntry(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
    const auto equals = line.find('=');  // "=" is never the second byte of a character
    if (equals == std::string_view::npos) return std::nullopt;
    return Entry{trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))};
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Where a key of a section sits: the section's header line, the key's line.
struct Place {
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t lastOfSection = 0;  // last non-blank line of the first matching section
};

Place locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].content)) {
            inSection = gbk::equalsIgnoreAsciiCase(*name, section);
            inFirstSection = inSection && !place.section;
            if (inFirstSection) {
                place.section = i;
                place.lastOfSection = i;
            }
            continue;
        }
        if (inFirstSection && !trimmed(lines[i].content).empty()) place.lastOfSection = i;
        if (!inSection) continue;
        const auto entry = keyEntry(lines[i].content);
        if (entry && gbk::equalsIgnoreAsciiCase(entry->key, key)) {
            place.key = i;
            return place;
        }
    }
    return place;
}

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string readProfileValue(std::string_view fileName, std::string_view section,
                             std::string_view key, std::string_view fallback) {
    fileName = gbk::skipLeadingControls(fileName);
    section = gbk::skipLeadingControls(section);
    key = gbk::skipLeadingControls(key);
    if (fileName.empty() || section.empty() || key.empty()) return {};
    const std::string fallbackText(gbk::cutAtCharBoundary(fallback, maxValueBytes));

    const auto file = readWholeFile(toNativePath(fileName));
    if (!file) return fallbackText;
    const auto lines = splitLines(*file);
    const auto place = locate(lines, trimmed(section), trimmed(key));
    if (!place.key) return fallbackText;
    const auto value = unquoted(keyEntry(lines[*place.key].content)->value);
    return std::string(gbk::cutAtCharBoundary(value, maxValueBytes));
}

bool writeProfileValue(std::string_view fileName, std::string_view section, std::string_view key,
                       std::string_view value) {
    fileName = gbk::skipLeadingControls(fileName);
    section = trimmed(section);
    key = trimmed(key);
    // Texts that would break the file's lines are refused, not written.
    if (fileName.empty() || section.empty() || key.empty() || holdsLineBreak(section) ||
        holdsLineBreak(key) || holdsLineBreak(value) ||
        gbk::find(section, ']') != std::string::npos || key.find('=') != std::string_view::npos ||
        key.front() == ';' || key.front() == '[') {
        return false;
    }
    const std::string path = toNativePath(fileName);
    const std::string old = readWholeFile(path).value_or(std::string{});
    const auto lines = splitLines(old);
    const auto place = locate(lines, section, key);
    const std::string newLine = std::string(key) + "=" + std::string(value);

    std::string result;
    result.reserve(old.size() + newLine.size() + section.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (place.key == i) {
            result += newLine;
            result += lines[i].end;
            continue;
        }
        result += lines[i].content;
        result += lines[i].end;
        if (!place.key && place.section && place.lastOfSection == i) {
            if (lines[i].end.empty()) result += "\r\n";
            result += newLine + "\r\n";
        }
    }
    if (!place.section) {
        if (!result.empty() && result.back() != '\n') result += "\r\n";
        result += "[" + std::string(section) + "]\r\n" + newLine + "\r\n";
    }
    return replaceFile(path, result);
}
