// What an operation tries after a failed attempt: one rule for the worker's
// automatic failover and the command line's quick sync. Under Auto a server
// is asked over SNTP, then over TIME; then comes the next server of the list,
// until the list has been gone round once or the operation has used up its
// time, four time-outs.
#pragma once
#include <cstdint>

namespace orvane {

// An operation with all its attempts lasts at most this many time-outs.
constexpr std::uint32_t operation_timeouts = 4;

// Where an operation stands when an attempt has failed.
struct failover_position {
    std::int32_t protocol;       // the setting (protocol_choice)
    std::int32_t auto_protocol;  // under Auto, the protocol whose turn it was
    std::int32_t server_index;   // the list position just asked (0 for a single address)
    std::int32_t first_index;    // the list position the operation began with
    std::int32_t list_size;      // entries of the list (1 for a single address)
    std::uint32_t elapsed_ms;    // since the operation began
    std::uint32_t timeout_ms;    // the time-out of one attempt
};

// The attempt to make next, or `done` when none is left.
struct next_attempt {
    bool done = true;
    bool next_server = false;  // a new list position (else the same server again)
    std::int32_t server_index = 0;
    std::int32_t auto_protocol = 0;
};

next_attempt plan_next_attempt(const failover_position& at);

// How long an attempt that starts `elapsed_ms` into its operation may take:
// its time-out, or less where the operation's time ends first (0 when it has).
std::uint32_t attempt_limit_ms(std::uint32_t timeout_ms, std::uint32_t elapsed_ms);

}  // namespace orvane
