// The texts of "Average" (several servers asked together). They are not in
// the numbered table of interface texts, which has no free lines; like
// " Scs" and "ms" they are the program's own fixed English.
#pragma once

namespace orvane {

// After the difference: " (3 of 4 servers)".
inline constexpr char average_servers_open[] = " (";
inline constexpr char average_servers_of[] = " of ";
inline constexpr char average_servers_close[] = " servers)";
// The status line and the log when the servers that answered do not agree
// by a majority: "No majority of servers agree (2 of 4); time not used".
inline constexpr char average_no_majority[] = "No majority of servers agree (";
inline constexpr char average_no_majority_end[] = "); time not used";
// The log line naming the servers whose answers were left out.
inline constexpr char average_left_out[] = "Left out, disagreeing with the others: ";

}  // namespace orvane
