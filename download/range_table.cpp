#include "download/range_table.h"

#include <algorithm>

void RangeTable::build(std::int64_t totalSize, int connections) {
    ranges_.clear();
    if (totalSize < transferBuffer || connections < 1) {
        ranges_.push_back({0, std::max<std::int64_t>(totalSize, 0)});
        return;
    }
    const std::int64_t count = std::min<std::int64_t>(connections, maxRanges);
    const std::int64_t length = totalSize / count;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t start = i * length;
        ranges_.push_back({start, i + 1 == count ? totalSize - start : length});
    }
}

std::optional<std::size_t> RangeTable::takeFree(int owner) {
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        Range& range = ranges_[i];
        if (!range.inUse && !range.complete()) {
            range.inUse = true;
            range.owner = owner;
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> RangeTable::splitLargest(int owner) {
    auto largest =
        std::max_element(ranges_.begin(), ranges_.end(),
                         [](const Range& a, const Range& b) { return a.left() < b.left(); });
    if (largest == ranges_.end() || largest->left() < 2 * transferBuffer) return std::nullopt;
    const std::int64_t half = largest->left() / 2;
    largest->length -= half;
    Range second{largest->end(), half, 0, true, owner};
    ranges_.push_back(second);
    return ranges_.size() - 1;
}

std::int64_t RangeTable::doneSum() const {
    std::int64_t sum = 0;
    for (const Range& range : ranges_) sum += range.done;
    return sum;
}
