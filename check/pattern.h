#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The pattern service: Perl-syntax patterns matched byte by byte.

struct SubMatch {
    std::size_t offset = 0;  // from the first byte of the whole searched text
    std::size_t length = 0;
    bool matched = false;
};

// Empty when nothing matched; else entry 0 is the whole match, then one entry
// per group in the order of their opening parentheses.
struct SearchResult {
    std::vector<SubMatch> entries;
    bool empty() const { return entries.empty(); }
};

// Holds one compiled pattern, or none before the first successful compilation.
class regex {
public:
    regex();
    ~regex();
    regex(regex&&) noexcept;
    regex& operator=(regex&&) noexcept;
    bool hasPattern() const;

    struct Compiled;  // the engine's own form, private to pattern.cpp
    const Compiled* compiled() const { return compiled_.get(); }
    void replace(std::unique_ptr<Compiled> compiled);

private:
    std::unique_ptr<Compiled> compiled_;
};

bool compilePattern(regex& target, std::string_view pattern, bool caseSensitive = true);
// start counts from 1; length defaults to the rest of the text.
SearchResult searchFirst(const regex& pattern, std::string_view text, long long start = 1,
                         long long length = -1);
std::vector<SearchResult> searchAll(const regex& pattern, std::string_view text);
std::string submatchText(const SearchResult& result, std::string_view text, std::size_t index);
