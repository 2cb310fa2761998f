// The accepted date range of replies: the test and its widening.
#pragma once
#include "core/query_engine.h"

namespace orvane {

// Whether `reply_time` lies within date_after..date_before, compared on the
// filetimes' high words (blocks of 429.5 s); always true with the range
// switched off. A refused bound moves 1500 blocks outwards when auto-reset
// is on, for the next query (held at 0 and at the top, never wrapping); this
// reply stays refused.
bool date_range_accepts(query_engine& engine, filetime reply_time);

}  // namespace orvane
