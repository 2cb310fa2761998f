// Real time servers from Debian's packages, run in the foreground on
// 127.0.0.1 for interoperability tests. None of them may control the clock:
// chronyd runs with -x, and inetd's time service only reads it.
#pragma once
#include <sys/types.h>
#include <cstdint>
#include <string>
#include <vector>
#include "support/temp_dir.h"

namespace orvane::testing {

// A port of 127.0.0.1 that was free a moment ago (bound to 0 and let go).
std::uint16_t free_loopback_port(bool tcp);

// One peer process, stopped by its process id when the object ends.
class peer_process {
public:
    peer_process() = default;
    ~peer_process();
    peer_process(const peer_process&) = delete;
    peer_process& operator=(const peer_process&) = delete;

    // False when the program is not installed or did not start serving;
    // why() then says what went wrong (for GTEST_SKIP or a failure message).
    bool running() const { return pid_ > 0; }
    const std::string& why() const { return why_; }
    std::uint16_t port() const { return port_; }

protected:
    // Starts `argv` with output to a log in the peer's directory.
    bool spawn(const std::string& program, const std::vector<std::string>& arguments);
    void stop();
    // The log the process has written so far.
    std::string log() const;

    temp_dir dir_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::string why_;
};

// chronyd serving SNTP on a free UDP port of 127.0.0.1 from its local clock
// (local stratum 8), without clock control (-x), in the foreground (-d).
class chronyd_peer : public peer_process {
public:
    chronyd_peer();
};

// xinetd's internal TIME service (RFC 868, TCP) on a free port of 127.0.0.1.
class inetd_time_peer : public peer_process {
public:
    inetd_time_peer();
};

// The full path of an installed program (PATH, then the sbin directories), or "".
std::string find_program(const std::string& name);

}  // namespace orvane::testing
