#include "engine/source_selection.h"
#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace orvane {
namespace {

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();

std::int64_t at_least_zero(std::int64_t v) { return v < 0 ? 0 : v; }

// Sums held at the int64 limits: an offset of decades plus its width stays
// an interval instead of wrapping round.
std::int64_t add_held(std::int64_t a, std::int64_t b) {  // b >= 0
    return a > int64_max - b ? int64_max : a + b;
}
std::int64_t subtract_held(std::int64_t a, std::int64_t b) {  // b >= 0
    return a < int64_min + b ? int64_min : a - b;
}

struct interval {
    std::int64_t low, high;
};

std::int64_t root_distance(const time_sample& s) {
    return add_held(at_least_zero(s.delay) / 2, at_least_zero(s.allowance));
}

interval interval_of(const time_sample& s) {
    const std::int64_t half = root_distance(s);
    return {subtract_held(s.offset, half), add_held(s.offset, half)};
}

// The mean of two offsets, rounded down, without overflow.
std::int64_t midpoint(std::int64_t a, std::int64_t b) { return (a >> 1) + (b >> 1) + (a & b & 1); }

}  // namespace

int best_exchange(std::span<const time_sample> exchanges) {
    int best = -1;
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        if (best < 0 || at_least_zero(exchanges[i].delay) < at_least_zero(exchanges[static_cast<std::size_t>(best)].delay))
            best = static_cast<int>(i);
    }
    return best;
}

server_selection select_servers(std::span<const time_sample> samples) {
    server_selection result;
    const std::size_t n = std::min(samples.size(), most_compared_servers);
    std::array<interval, most_compared_servers> spans{};
    std::uint32_t usable = 0;
    for (std::size_t i = 0; i < n; ++i) {
        spans[i] = interval_of(samples[i]);
        if (root_distance(samples[i]) <= most_root_distance) usable |= std::uint32_t{1} << i;
    }
    const std::uint32_t all = n == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << n) - 1;
    result.left_out = all;
    result.compared = std::popcount(usable);
    if (usable == 0) return result;

    // The point shared by the most intervals can always be taken at the low
    // end of one of them; so each low end is tried, and the groups compared.
    std::uint32_t best = 0, rival = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(usable >> i & 1)) continue;
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < n; ++j)
            if ((usable >> j & 1) && spans[j].low <= spans[i].low && spans[i].low <= spans[j].high)
                group |= std::uint32_t{1} << j;
        if (std::popcount(group) > std::popcount(best)) {
            best = group;
            rival = 0;
        } else if (std::popcount(group) == std::popcount(best) && group != best) {
            rival = group;
        }
    }
    const int size = std::popcount(best);
    result.group = best;
    result.left_out = all & ~best;
    result.group_size = size;
    if (2 * size <= result.compared) {
        result.outcome = selection_outcome::no_majority;
        return result;
    }
    if (rival) {
        result.outcome = selection_outcome::ambiguous;
        return result;
    }

    std::array<std::int64_t, most_compared_servers> offsets{};
    std::size_t count = 0;
    interval shared{int64_min, int64_max};
    for (std::size_t i = 0; i < n; ++i) {
        if (!(best >> i & 1)) continue;
        offsets[count++] = samples[i].offset;
        shared.low = std::max(shared.low, spans[i].low);
        shared.high = std::min(shared.high, spans[i].high);
    }
    std::sort(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(count));
    const std::int64_t median = count % 2 ? offsets[count / 2] : midpoint(offsets[count / 2 - 1], offsets[count / 2]);
    // The members share a point, so `shared` is not empty.
    result.offset = std::clamp(median, shared.low, shared.high);
    result.outcome = selection_outcome::agreed;
    return result;
}

}  // namespace orvane
