// The server scan: how long every server of the list takes to answer over
// TIME and over SNTP, measured on a thread of its own, one server after the
// other, each row handed over as soon as it is complete. Stopping ends a
// blocked exchange at once; no exchange waits longer than the time-out.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "core/state.h"

namespace orvane {

struct scan_target {
    std::string name;  // a host name or dotted IPv4 text
    std::uint16_t time_port = 37;
    std::uint16_t sntp_port = 123;
};

enum class scan_outcome : int { answered, timed_out, failed };

struct scan_measure {
    scan_outcome outcome = scan_outcome::failed;
    std::int32_t ms = 0;  // when answered: from the request to the whole reply
};

struct scan_row {
    int index = 0;        // position in the list
    std::string name;
    std::string address;  // dotted text; empty when the name did not resolve
    scan_measure time;
    scan_measure sntp;
};

// Every entry of the server list, with the engine's ports.
std::vector<scan_target> scan_targets_from_list(chronobel_state& state);

// A cell of the TIME or SNTP column: the milliseconds, or what went wrong
// (UI strings 86 "Time out" and 21 "Error").
std::string scan_cell_text(const chronobel_state& state, const scan_measure& measure);

class server_scan {
public:
    // Called on the scan thread after each row and once at the end; it must
    // not block (the window posts itself a message) but may look at the
    // rows. Never called once stop() has returned.
    using change_notice = std::function<void()>;

    server_scan(std::shared_ptr<chronobel_state> owner, std::vector<scan_target> targets,
                std::chrono::milliseconds timeout, change_notice notice);
    // Stops the scan (see stop()).
    ~server_scan();
    server_scan(const server_scan&) = delete;
    server_scan& operator=(const server_scan&) = delete;

    // False when the threads could not be started (nothing is measured).
    bool running() const;
    // Ends the scan at once: a blocked exchange is ended, no further row is
    // delivered, and both threads are joined within `limit` (a thread still
    // stuck in a name look-up then ends on its own, holding its own data).
    void stop(std::chrono::milliseconds limit = std::chrono::milliseconds(2000));
    // The rows completed since the last call, in list order.
    std::vector<scan_row> take_rows();
    // Every row has been delivered.
    bool finished() const;

private:
    struct shared;
    std::shared_ptr<shared> shared_;
};

}  // namespace orvane
