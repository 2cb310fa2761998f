// Choosing the time from several servers, so that one wrong server (an hour
// or a year off, misconfigured or hostile) cannot move the clock: the best of
// a few exchanges with one server, then the servers whose answers agree.
// Pure arithmetic, no state, no clock.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvane {

// One exchange with a server, in the engine's 2^-32 s units (as `offset`).
struct time_sample {
    std::int64_t offset = 0;     // server minus local
    std::int64_t delay = 0;      // round trip less the server's own hold time
    std::int64_t allowance = 0;  // what the server admits of its own error (root delay / 2 + root dispersion)
};
// A delay or allowance below 0 (a server whose clock ran backwards, a bad
// field) counts as 0.

// A server's root distance, half its round trip plus its allowance, is the
// most its answer may be off by its own account. Over 3 s (the usual
// maxdistance) the answer says nothing worth comparing: a server that admits
// an hour of error could otherwise agree with anyone.
constexpr std::int64_t most_root_distance = std::int64_t{3} << 32;

// The exchange with the smallest round trip, the earliest of equals; -1 when
// there is none. The shortest trip leaves the least room for an uneven one.
int best_exchange(std::span<const time_sample> exchanges);

enum class selection_outcome {
    agreed,       // more than half of the servers meet at one point
    no_majority,  // the largest group is half of the servers or fewer
    ambiguous,    // two different groups of that largest size, each a majority
    no_samples,   // none given, or none within most_root_distance
};

// Bit i of a mask stands for samples[i].
struct server_selection {
    selection_outcome outcome = selection_outcome::no_samples;
    std::int64_t offset = 0;      // the group's median, in the shared interval; set only when agreed
    std::uint32_t group = 0;      // the largest group (the first found, when not agreed)
    std::uint32_t left_out = 0;   // the others: the false tickers and the too distant, when agreed
    int group_size = 0;
    int compared = 0;             // how many samples took part
};

constexpr std::size_t most_compared_servers = 32;  // the bits of a mask; later samples are not looked at

// Each server's sample (the best of its exchanges) stands for the interval
// [offset - delay/2 - allowance, offset + delay/2 + allowance], where its true
// offset must lie. Samples whose root distance is over most_root_distance
// take no part, as if their server had not answered. The largest group of
// intervals that share a point is taken; it must hold more than half of the
// samples compared (servers that did not answer are not given, so they count
// neither way). The result is the median of the group's offsets (of an even
// group, the mean of its two middle offsets, rounded down), moved into the
// interval that every member of the group allows when it lies outside: the
// mean of two members far apart could otherwise be a time that neither
// allows.
server_selection select_servers(std::span<const time_sample> samples);

}  // namespace orvane
