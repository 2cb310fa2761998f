#include "engine/sntp_exchange.h"
#include <algorithm>
#include <random>
#include "sys/clock.h"
#include "sys/sockets.h"

namespace orvane {
namespace {

std::uint32_t request_noise() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint32_t>(generator());
}

bool tick_reached(std::uint32_t now, std::uint32_t due) { return now - due < 0x8000'0000u; }

// When the next request is due, or, after the last, the exchange given up
// (once a request is out).
std::uint32_t next_due_tick(const sntp_exchange& x) {
    const int last = std::min(x.sent_count, sntp_requests_per_exchange - 1) - 1;
    const std::uint64_t gap =
        std::uint64_t{sntp_retransmit_gaps_ms[last]} * x.first_gap_ms / sntp_retransmit_gaps_ms[0];
    const std::uint64_t wait = x.sent_count < sntp_requests_per_exchange ? gap : gap * sntp_give_up_factor;
    return x.last_send_tick + static_cast<std::uint32_t>(wait);
}

}  // namespace

bool sntp_exchange::send_if_due(std::uint32_t now) {
    if (sent_count >= sntp_requests_per_exchange || (sent_count > 0 && !tick_reached(now, next_due_tick(*this))))
        return true;
    sent_request& request = sent[static_cast<std::size_t>(sent_count)];
    request.t1 = system_time_now();
    request.transmit = request_transmit(request.t1, request_noise());
    // Two requests sent within the same 100 ns would look alike: move the
    // random low byte on until it is this request's own.
    while (std::any_of(sent.begin(), sent.begin() + sent_count,
                       [&request](const sent_request& earlier) { return earlier.transmit == request.transmit; }))
        request.transmit.fraction = (request.transmit.fraction & ~0xFFu) | ((request.transmit.fraction + 1) & 0xFFu);
    const sntp_packet packet = make_sntp_request(request.t1, request.transmit);
    if (send_bytes(socket, packet.data(), sntp_packet_size) != static_cast<int>(sntp_packet_size)) return false;
    last_send_tick = now;
    ++sent_count;
    return true;
}

std::uint32_t sntp_exchange::wait_ms(std::uint32_t now, std::uint32_t limit_ms) const {
    if (sent_count == 0) return 0;
    if (sent_count >= sntp_requests_per_exchange) return limit_ms;
    const std::uint32_t due = next_due_tick(*this);
    if (tick_reached(now, due)) return 0;
    return std::min(due - now, limit_ms);
}

bool sntp_exchange::given_up(std::uint32_t now) const {
    return sent_count >= sntp_requests_per_exchange && tick_reached(now, next_due_tick(*this));
}

const sntp_exchange::sent_request* sntp_exchange::answered_by(const sntp_packet& reply) const {
    const ntp_timestamp originate = read_timestamp(reply, sntp_originate_at);
    for (int i = 0; i < sent_count; ++i)
        if (sent[static_cast<std::size_t>(i)].transmit == originate) return &sent[static_cast<std::size_t>(i)];
    return nullptr;
}

sntp_receive receive_sntp_reply(std::span<const sntp_exchange> exchanges, std::size_t& answered,
                                sntp_reading& reading, sntp_reply_check& check, filetime& t4,
                                std::uint32_t& reply_tick) {
    sntp_packet reply{};
    const int received = receive_bytes(exchanges.front().socket, reply.data(), sntp_packet_size);
    t4 = system_time_now();
    reply_tick = tick_count();
    if (received < 0)  // Winsock refuses a datagram longer than the buffer: not ours
        return last_socket_error() == socket_error_message_size ? sntp_receive::ignored : sntp_receive::failed;
    if (received != static_cast<int>(sntp_packet_size)) return sntp_receive::ignored;
    for (answered = 0; answered < exchanges.size(); ++answered) {
        const sntp_exchange::sent_request* request = exchanges[answered].answered_by(reply);
        if (!request) continue;
        check = read_sntp_reply(reply, request->t1, t4, reading);
        return check == sntp_reply_check::passed ? sntp_receive::accepted : sntp_receive::refused;
    }
    return sntp_receive::ignored;
}

sntp_receive receive_sntp_reply(const sntp_exchange& exchange, sntp_reading& reading, sntp_reply_check& check,
                                filetime& t4, std::uint32_t& reply_tick) {
    std::size_t answered = 0;
    return receive_sntp_reply(std::span(&exchange, 1), answered, reading, check, t4, reply_tick);
}

}  // namespace orvane
