// Choosing among servers: a false ticker is left out and named, disagreement
// without a majority refuses, and the arithmetic holds at the edges.
#include <gtest/gtest.h>
#include <limits>
#include <vector>
#include "engine/source_selection.h"

using namespace orvane;

namespace {

constexpr std::int64_t ms(double v) { return static_cast<std::int64_t>(v * 4'294'967.296); }
time_sample sample(double offset_ms, double delay_ms, double allowance_ms = 0) {
    return {ms(offset_ms), ms(delay_ms), ms(allowance_ms)};
}

}  // namespace

TEST(SourceSelection, OneServerTenSecondsOffIsLeftOutAndNamed) {
    // The false ticker first, and last: its place in the list does not matter.
    const std::vector<time_sample> first = {sample(10'000, 40), sample(3, 40), sample(-2, 30), sample(1, 50)};
    server_selection s = select_servers(first);
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, ms(1));  // the median of -2, 1 and 3
    EXPECT_EQ(s.group, 0b1110u);
    EXPECT_EQ(s.left_out, 0b0001u);
    EXPECT_EQ(s.group_size, 3);
    EXPECT_EQ(s.compared, 4);

    const std::vector<time_sample> last = {sample(3, 40), sample(-2, 30), sample(1, 50), sample(-10'000, 40)};
    s = select_servers(last);
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, ms(1));
    EXPECT_EQ(s.left_out, 0b1000u);
}

TEST(SourceSelection, WithoutAMajorityItRefuses) {
    // Two agree, two disagree with them and with each other.
    server_selection s = select_servers(std::vector{sample(0, 20), sample(2, 20), sample(5'000, 20), sample(-7'000, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::no_majority);
    EXPECT_EQ(s.group_size, 2);
    // Two against two.
    s = select_servers(std::vector{sample(0, 20), sample(1, 20), sample(3'600'000, 20), sample(3'600'001, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::no_majority);
    // Two servers that disagree.
    EXPECT_EQ(select_servers(std::vector{sample(0, 20), sample(500, 20)}).outcome, selection_outcome::no_majority);
    // A wide interval that meets two others which do not meet each other:
    // two different majorities, so no server can be named wrong.
    s = select_servers(std::vector{sample(0, 200), sample(-60, 20), sample(60, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::ambiguous);
    EXPECT_EQ(s.group_size, 2);
    EXPECT_EQ(select_servers({}).outcome, selection_outcome::no_samples);
}

TEST(SourceSelection, EvenGroupsTakeTheMeanOfTheMiddleTwo) {
    EXPECT_EQ(select_servers(std::vector{sample(4, 20), sample(1, 20), sample(2, 20), sample(8, 20)}).offset, ms(3));
    // Two of three agree: halfway between them.
    server_selection s = select_servers(std::vector{sample(10, 20), sample(-900, 20), sample(14, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, ms(12));
    EXPECT_EQ(s.left_out, 0b010u);
    // Rounded down, also below zero.
    EXPECT_EQ(select_servers(std::vector{time_sample{-3, 10, 0}, time_sample{0, 10, 0}}).offset, -2);
    // One server alone is its own majority.
    s = select_servers(std::vector{sample(7, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, ms(7));
}

TEST(SourceSelection, IntervalsWidenByHalfTheDelayAndTheAllowance) {
    // 10 ms apart with 10 ms round trips: the intervals just touch, and meet.
    EXPECT_EQ(select_servers(std::vector{time_sample{0, 10, 0}, time_sample{10, 10, 0}}).outcome,
              selection_outcome::agreed);
    EXPECT_EQ(select_servers(std::vector{time_sample{0, 10, 0}, time_sample{11, 10, 0}}).outcome,
              selection_outcome::no_majority);
    // Allowances of 11 ms on each side close a gap of 20 ms.
    EXPECT_EQ(select_servers(std::vector{sample(0, 10), sample(30, 10)}).outcome, selection_outcome::no_majority);
    EXPECT_EQ(select_servers(std::vector{sample(0, 10, 11), sample(30, 10, 11)}).outcome, selection_outcome::agreed);
    // Negative delays and allowances count as nothing, not as a narrower interval.
    EXPECT_EQ(select_servers(std::vector{time_sample{0, -50, -50}, time_sample{0, 0, 0}}).outcome,
              selection_outcome::agreed);
    // At the ends of the range the intervals stop at the limits instead of
    // wrapping round (and losing their neighbours).
    constexpr auto top = std::numeric_limits<std::int64_t>::max();
    constexpr auto bottom = std::numeric_limits<std::int64_t>::min();
    server_selection s = select_servers(std::vector{time_sample{top, 20, 0}, time_sample{top - 5, 20, 0}, sample(0, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, top - 3);
    EXPECT_EQ(s.left_out, 0b100u);
    s = select_servers(std::vector{time_sample{bottom, 20, 0}, time_sample{bottom + 5, 20, 0}, sample(0, 20)});
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, bottom + 2);
}

TEST(SourceSelection, TheBestExchangeHasTheShortestRoundTrip) {
    EXPECT_EQ(best_exchange(std::vector{sample(5, 40), sample(1, 25), sample(2, 30), sample(9, 25)}), 1);
    EXPECT_EQ(best_exchange(std::vector{sample(5, 40)}), 0);
    EXPECT_EQ(best_exchange({}), -1);
    // A negative round trip is no better than none at all.
    EXPECT_EQ(best_exchange(std::vector{time_sample{0, 0, 0}, time_sample{0, -9, 0}}), 0);
}

TEST(SourceSelection, AServerThatAdmitsMoreThanThreeSecondsTakesNoPart) {
    // An hour off, admitting an hour: its interval holds the honest server's,
    // and the mean of the two would be half an hour off.
    server_selection s = select_servers(std::vector{sample(0, 20), sample(3'600'000, 20, 3'600'000)});
    EXPECT_EQ(s.compared, 1);
    EXPECT_EQ(s.outcome, selection_outcome::agreed);  // Average asks for two (average_query.cpp)
    EXPECT_EQ(s.group, 0b01u);
    EXPECT_EQ(s.left_out, 0b10u);
    EXPECT_EQ(s.offset, ms(0));
    // Root distance is half the round trip plus the allowance: 3 s is still in.
    s = select_servers(std::vector{sample(0, 20), time_sample{0, 2, most_root_distance - 1}});
    EXPECT_EQ(s.compared, 2);
    EXPECT_EQ(s.group_size, 2);
    s = select_servers(std::vector{sample(0, 20), time_sample{0, 4, most_root_distance - 1}, sample(1, 20)});
    EXPECT_EQ(s.compared, 2);
    EXPECT_EQ(s.left_out, 0b010u);
    EXPECT_EQ(select_servers(std::vector{sample(0, 20, 3'100)}).outcome, selection_outcome::no_samples);
}

TEST(SourceSelection, TheResultStaysInTheIntervalEveryMemberAllows) {
    // [-10, 10] and [3, 197] meet in [3, 10]; the mean of 0 and 100 is outside.
    server_selection s = select_servers(std::vector{sample(0, 20), sample(100, 10, 92)});
    EXPECT_EQ(s.outcome, selection_outcome::agreed);
    EXPECT_EQ(s.offset, ms(20) / 2);
    // An odd group: [-4, 4], [-200, 0] and [-3, 197] meet in [-3, 0], which
    // holds the median 0; [-4, 4], [-200, -2] and [-3, 197] meet in [-3, -2].
    s = select_servers(std::vector{sample(0, 8), sample(-100, 0, 100), sample(97, 0, 100)});
    EXPECT_EQ(s.offset, ms(0));
    s = select_servers(std::vector{sample(0, 8), sample(-101, 0, 99), sample(97, 0, 100)});
    EXPECT_EQ(s.group_size, 3);
    EXPECT_EQ(s.offset, ms(-101) + ms(99));
}
