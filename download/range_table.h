#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The ranges of a task's file, one per connection at the start. Not locked
// itself: the task guards it.

struct Range {
    std::int64_t start = 0;
    std::int64_t length = 0;
    std::int64_t done = 0;
    bool inUse = false;
    int owner = 0;

    std::int64_t next() const { return start + done; }
    std::int64_t end() const { return start + length; }
    std::int64_t left() const { return length - done; }
    bool complete() const { return done >= length; }
};

class RangeTable {
public:
    static constexpr std::int64_t transferBuffer = 20480;
    // More ranges than this gain nothing and would only make the table huge
    // for a wild connection count.
    static constexpr int maxRanges = 256;

    // One range for a file under transferBuffer bytes or fewer than one
    // connection; else n equal ranges, the last taking the remainder.
    void build(std::int64_t totalSize, int connections);

    std::size_t size() const { return ranges_.size(); }
    bool empty() const { return ranges_.empty(); }
    Range& operator[](std::size_t index) { return ranges_[index]; }
    const Range& operator[](std::size_t index) const { return ranges_[index]; }

    // The first range neither in use nor complete, now owned by owner.
    std::optional<std::size_t> takeFree(int owner);

    // Splits the range with the most bytes left in two halves when it has at
    // least twice the transfer buffer left; the new second half is owned by owner.
    // The first half keeps at least one transfer buffer past its done bytes, so
    // its owner's unwritten buffer still fits (connections rely on it).
    std::optional<std::size_t> splitLargest(int owner);

    std::int64_t doneSum() const;

private:
    std::vector<Range> ranges_;
};
