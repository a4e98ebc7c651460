#include "check/pattern.h"

#include <boost/regex.hpp>
#include <optional>
#include <stdexcept>

#include "check/lazy_group_cut.h"

struct regex::Compiled {
    boost::regex engine;
    std::optional<LazyGroupTail> tail;  // set when a search may be cut short
};

regex::regex() = default;
regex::~regex() = default;
regex::regex(regex&&) noexcept = default;
regex& regex::operator=(regex&&) noexcept = default;

bool regex::hasPattern() const { return compiled_ != nullptr; }

void regex::replace(std::unique_ptr<Compiled> compiled) { compiled_ = std::move(compiled); }

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Searches text[from, to) as a text of its own. The engine gives up on a search
// that passes its work limit; that counts as no match.
SearchResult searchRange(const regex::Compiled& compiled, std::string_view text, std::size_t from,
                         std::size_t to) {
    const char* first = text.data() + from;
    boost::cmatch match;
    try {
        if (!boost::regex_search(first, text.data() + to, match, compiled.engine,
                                 boost::match_default)) {
            return {};
        }
    } catch (const std::runtime_error&) {
        return {};
    }
    SearchResult result;
    result.entries.reserve(match.size());
    for (std::size_t i = 0; i < match.size(); ++i) {
        SubMatch entry;
        entry.matched = match[i].matched;
        if (entry.matched) {
            entry.offset = from + static_cast<std::size_t>(match[i].first - first);
            entry.length = static_cast<std::size_t>(match[i].length());
        }
        result.entries.push_back(entry);
    }
    return result;
}

// Where a search of text[from, to) may stop without changing its answer: npos
// when no match can lie in the range at all.
std::size_t cutEnd(const regex::Compiled& compiled, std::string_view text, std::size_t from,
                   std::size_t to) {
    if (!compiled.tail) return to;
    const std::size_t end = lastTailEnd(*compiled.tail, text.substr(from, to - from));
    return end == npos ? npos : from + end;
}

}  // namespace

bool compilePattern(regex& target, std::string_view pattern, bool caseSensitive) {
    auto compiled = std::make_unique<regex::Compiled>();
    try {
        compiled->engine.assign(
            pattern.data(), pattern.data() + pattern.size(),
            caseSensitive ? boost::regex::perl : boost::regex::perl | boost::regex::icase);
    } catch (const std::runtime_error&) {
        return false;  // not a valid pattern: the regex keeps what it held
    }
    if (caseSensitive) compiled->tail = lazyGroupTail(pattern);
    target.replace(std::move(compiled));
    return true;
}

SearchResult searchFirst(const regex& pattern, std::string_view text, long long start,
                         long long length) {
    const regex::Compiled* compiled = pattern.compiled();
    if (compiled == nullptr) return {};
    const auto n = static_cast<long long>(text.size());
    if (length == -1) length = n - start + 1;
    if (start < 1 || start > n || length < 0 || start + length > n + 1) return {};
    const auto from = static_cast<std::size_t>(start - 1);
    const std::size_t to = cutEnd(*compiled, text, from, from + static_cast<std::size_t>(length));
    if (to == npos) return {};
    return searchRange(*compiled, text, from, to);
}

std::vector<SearchResult> searchAll(const regex& pattern, std::string_view text) {
    std::vector<SearchResult> list;
    const regex::Compiled* compiled = pattern.compiled();
    if (compiled == nullptr || text.empty()) return list;
    // The last tail of the whole text is also the last of every later range,
    // so one backward scan serves every restart.
    const std::size_t to = cutEnd(*compiled, text, 0, text.size());
    std::size_t from = 0;
    while (to != npos && from < to) {
        SearchResult found = searchRange(*compiled, text, from, to);
        if (found.empty()) break;
        const SubMatch whole = found.entries[0];
        list.push_back(std::move(found));
        if (whole.offset + whole.length == 0) break;  // an empty match at the very first byte
        // An empty match further on would be found again at the same place:
        // step over one byte. Neither pattern of the program can match nothing.
        from = whole.offset + whole.length + (whole.length == 0 ? 1 : 0);
    }
    return list;
}

std::string submatchText(const SearchResult& result, std::string_view text, std::size_t index) {
    if (index >= result.entries.size()) return {};
    const SubMatch& entry = result.entries[index];
    if (!entry.matched || entry.length < 1 || entry.offset + entry.length > text.size()) return {};
    return std::string(text.substr(entry.offset, entry.length));
}
