#include "common/blocks.h"

#include <algorithm>

std::vector<SkippedFiles> SkippedFileNumbers(const std::vector<int>& numbers, int announced) {
    std::vector<SkippedFiles> skipped;
    // Files behind the announced ones are hidden ones, numbered as they may be.
    const std::size_t held =
        std::min(numbers.size(), static_cast<std::size_t>(std::max(announced, 0)));
    std::size_t lacking = static_cast<std::size_t>(std::max(announced, 0)) - held;
    int next = 0;
    for (std::size_t n = 0; n < held; ++n) {
        if (numbers[n] < 0) {  // a file held all the same, the next one likely
            ++next;
            continue;
        }
        if (numbers[n] > next) {
            const std::size_t count = static_cast<std::size_t>(numbers[n] - next);
            if (count > lacking) return {};
            lacking -= count;
            skipped.push_back({next, numbers[n], n});
        }
        next = std::max(next, numbers[n] + 1);
    }
    return skipped;
}
