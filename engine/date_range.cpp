#include "engine/date_range.h"
#include "engine/query.h"

namespace orvane {

bool date_range_accepts(query_engine& e, filetime reply_time) {
    if (!e.date_range_enabled) return true;
    const std::uint32_t reply_block = high_word(reply_time);
    const filetime after = e.date_after, before = e.date_before;  // each read whole, once
    bool accepted = true;
    if (reply_block < high_word(after)) {
        accepted = false;
        const std::uint32_t high = high_word(after);
        if (e.date_range_auto_reset)
            e.date_after = make_filetime(high > date_range_widening ? high - date_range_widening : 0, low_word(after));
    }
    if (reply_block > high_word(before)) {
        accepted = false;
        const std::uint32_t high = high_word(before);
        constexpr std::uint32_t top = 0xFFFF'FFFFu;
        if (e.date_range_auto_reset)
            e.date_before = make_filetime(high < top - date_range_widening ? high + date_range_widening : top,
                                          low_word(before));
    }
    return accepted;
}

}  // namespace orvane
