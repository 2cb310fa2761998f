// How the SNTP server gathers a request from datagrams: short ones are
// joined in order until 48 bytes have arrived, and the request is the one
// whose datagram completed them (its sender gets the reply).
#pragma once
#include "engine/sntp_packet.h"
#include "sys/datagram_batch.h"

namespace orvane {

// Datagrams a gathering may take before it gives up.
constexpr int gathering_receives = 100;

// The gathering gives up (no reply) at a datagram that is empty or longer
// than the room left, after 100 datagrams, or when the running query is
// aborted while it gathers.
class request_gathering {
public:
    // Takes the next datagram; true when it completed a request.
    bool add(const datagram& d, bool query_aborted);
    void restart() { gathered_ = receives_ = 0; }
    const sntp_packet& request() const { return request_; }

private:
    sntp_packet request_{};
    int gathered_ = 0;
    int receives_ = 0;
};

}  // namespace orvane
