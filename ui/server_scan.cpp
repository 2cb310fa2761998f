#include "ui/server_scan.h"
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include "data/server_list.h"
#include "engine/query.h"
#include "engine/sntp_packet.h"
#include "sys/clock.h"
#include "sys/sockets.h"

namespace orvane {
namespace {

using steady = std::chrono::steady_clock;

class collecting_list final : public server_list_view {
public:
    void clear() override { names.clear(); }
    void insert(int, const std::string& entry) override { names.push_back(entry); }
    void select(int) override {}
    std::vector<std::string> names;
};

}  // namespace

// What the scan's two threads share with their owner. The threads hold it
// (and the state) themselves, so a thread that outlives the join limit
// still finds everything it uses.
struct server_scan::shared {
    shared(std::shared_ptr<chronobel_state> o, std::vector<scan_target> t, std::chrono::milliseconds limit,
           change_notice n)
        : owner(std::move(o)), targets(std::move(t)), timeout(limit), notice(std::move(n)) {}

    const std::shared_ptr<chronobel_state> owner;
    const std::vector<scan_target> targets;
    const std::chrono::milliseconds timeout;
    const change_notice notice;

    mutable std::mutex mutex;
    std::condition_variable changed;
    // Held while the notice runs, outside `mutex`, so that the notice may
    // look at the rows; stop() takes it to know that no notice runs on.
    std::mutex notice_mutex;
    bool notices_stopped = false;  // under notice_mutex
    bool stopping = false;
    bool finished = false;
    std::vector<scan_row> rows;  // delivered, not yet taken
    // The exchange in progress: its socket, its deadline, and whether the
    // watchdog ended it. `generation` tells one exchange from the next.
    socket_handle current = no_socket;
    steady::time_point deadline{};
    std::uint64_t generation = 0;
    bool timed_out = false;
    bool measuring_done = false;
    bool watchdog_done = false;
    bool started = false;

    void measure_all();
    void watch();
    void deliver(scan_row row);
    void announce();
    bool stopped() const {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }
    // Publishes the socket of a new exchange; false when the scan is stopping.
    bool begin_exchange(socket_handle socket);
    // Takes it back before it is closed; true when the watchdog ended it.
    bool end_exchange();
    scan_measure measure_time(ip_address address, std::uint16_t port);
    scan_measure measure_sntp(ip_address address, std::uint16_t port);
    scan_measure outcome(bool answered, steady::time_point from);
};

bool server_scan::shared::begin_exchange(socket_handle socket) {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return false;
    current = socket;
    deadline = steady::now() + timeout;
    timed_out = false;
    ++generation;
    changed.notify_all();
    return true;
}

bool server_scan::shared::end_exchange() {
    std::lock_guard<std::mutex> lock(mutex);
    current = no_socket;
    ++generation;
    changed.notify_all();
    return timed_out;
}

scan_measure server_scan::shared::outcome(bool answered, steady::time_point from) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - from);
    const bool ended_by_watchdog = end_exchange();
    if (answered) return {scan_outcome::answered, static_cast<std::int32_t>(elapsed.count())};
    return {ended_by_watchdog ? scan_outcome::timed_out : scan_outcome::failed, 0};
}

// TIME: from the start of the connection to the fourth byte of the reply.
scan_measure server_scan::shared::measure_time(ip_address address, std::uint16_t port) {
    const socket_handle socket = open_socket(socket_transport::tcp, address.family);
    if (socket == no_socket) return {};
    scan_measure result{};
    if (begin_exchange(socket)) {
        const steady::time_point from = steady::now();
        std::uint8_t reply[time_reply_size] = {};
        int received = 0;
        if (connect_socket(socket, address, port)) {
            while (received < static_cast<int>(time_reply_size)) {
                const int n = receive_bytes(socket, reply + received, static_cast<int>(time_reply_size) - received);
                if (n <= 0) break;
                received += n;
            }
        }
        result = outcome(received == static_cast<int>(time_reply_size) && read_be32(reply) != 0, from);
    }
    close_socket(socket);
    return result;
}

// SNTP: from the request to a usable 48-byte reply.
scan_measure server_scan::shared::measure_sntp(ip_address address, std::uint16_t port) {
    const socket_handle socket = open_socket(socket_transport::udp, address.family);
    if (socket == no_socket) return {};
    scan_measure result{};
    if (begin_exchange(socket)) {
        const steady::time_point from = steady::now();
        bool answered = false;
        if (connect_socket(socket, address, port)) {
            const sntp_packet request = make_sntp_request(system_time_now());
            sntp_packet reply{};
            answered = send_bytes(socket, request.data(), sntp_packet_size) == static_cast<int>(sntp_packet_size) &&
                       receive_bytes(socket, reply.data(), sntp_packet_size) == static_cast<int>(sntp_packet_size) &&
                       check_sntp_reply(reply) == sntp_reply_check::passed;
        }
        result = outcome(answered, from);
    }
    close_socket(socket);
    return result;
}

void server_scan::shared::deliver(scan_row row) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) return;
        rows.push_back(std::move(row));
    }
    announce();
}

void server_scan::shared::announce() {
    std::lock_guard<std::mutex> lock(notice_mutex);
    if (!notices_stopped && notice) notice();
}

void server_scan::shared::measure_all() {
    const bool library = acquire_winsock(owner->engine) == query_ok;
    for (std::size_t i = 0; library && i < targets.size() && !stopped(); ++i) {
        const scan_target& target = targets[i];
        scan_row row;
        row.index = static_cast<int>(i);
        row.name = target.name;
        // The server's addresses in the resolver's order, up to the first
        // that answers either protocol: that one is shown, else the last.
        std::vector<ip_address> addresses;
        if (server_addresses(target.name, addresses)) {
            for (const ip_address& address : addresses) {
                row.address = address_text(address);
                row.time = measure_time(address, target.time_port);
                if (!stopped()) row.sntp = measure_sntp(address, target.sntp_port);
                if (stopped() || row.time.outcome == scan_outcome::answered ||
                    row.sntp.outcome == scan_outcome::answered)
                    break;
            }
        }
        deliver(std::move(row));
    }
    if (library) release_winsock(owner->engine);
    bool announce_end = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        announce_end = !stopping;
        finished = !stopping;
    }
    if (announce_end) announce();
    std::lock_guard<std::mutex> lock(mutex);
    measuring_done = true;
    changed.notify_all();
}

// Ends an exchange that passes its deadline; the measuring thread then
// finds its call returned and marks the server as timed out.
void server_scan::shared::watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping && !measuring_done) {
        if (current == no_socket) {
            changed.wait(lock);
            continue;
        }
        const std::uint64_t exchange = generation;
        const bool moved_on = changed.wait_until(lock, deadline, [&] {
            return stopping || measuring_done || generation != exchange;
        });
        if (!moved_on) {
            timed_out = true;
            end_blocked_calls(current);
            // Wait for the measuring thread to take its socket back.
            changed.wait(lock, [&] { return stopping || generation != exchange; });
        }
    }
    watchdog_done = true;
    changed.notify_all();
}

server_scan::server_scan(std::shared_ptr<chronobel_state> owner, std::vector<scan_target> targets,
                         std::chrono::milliseconds timeout, change_notice notice)
    : shared_(std::make_shared<shared>(std::move(owner), std::move(targets), timeout, std::move(notice))) {
    try {
        std::thread([block = shared_] { block->watch(); }).detach();
    } catch (const std::system_error&) {
        shared_->watchdog_done = true;  // no thread: nothing is measured
        return;
    }
    try {
        std::thread([block = shared_] { block->measure_all(); }).detach();
        shared_->started = true;
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->measuring_done = true;  // lets the watchdog go
        shared_->changed.notify_all();
    }
}

server_scan::~server_scan() { stop(); }

bool server_scan::running() const { return shared_->started; }

void server_scan::stop(std::chrono::milliseconds limit) {
    {
        std::lock_guard<std::mutex> notices(shared_->notice_mutex);
        shared_->notices_stopped = true;
    }
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    if (shared_->current != no_socket) end_blocked_calls(shared_->current);
    shared_->changed.notify_all();
    // The threads hold the shared block: past the limit (a look-up that does
    // not return) they end on their own without touching the owner's side.
    shared_->changed.wait_for(lock, limit, [&] {
        return (shared_->measuring_done || !shared_->started) && shared_->watchdog_done;
    });
}

std::vector<scan_row> server_scan::take_rows() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    std::vector<scan_row> taken;
    taken.swap(shared_->rows);
    return taken;
}

bool server_scan::finished() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->finished;
}

std::vector<scan_target> scan_targets_from_list(chronobel_state& state) {
    collecting_list list;
    read_server_list(state, &list, 0);
    std::vector<scan_target> targets;
    for (std::string& name : list.names)
        targets.push_back({std::move(name), state.engine.time_port, state.engine.sntp_port});
    return targets;
}

std::string scan_cell_text(const chronobel_state& state, const scan_measure& measure) {
    switch (measure.outcome) {
        case scan_outcome::answered: return std::to_string(measure.ms);
        case scan_outcome::timed_out: return state.ui_text(text_id::time_out);
        case scan_outcome::failed: break;
    }
    return state.ui_text(text_id::error);
}

}  // namespace orvane
