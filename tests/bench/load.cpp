// A bounded load generator for time servers on 127.0.0.1, to compare the
// built-in servers with real ones under the same load.
//
//   chronobel_bench_load sntp  PORT IN_FLIGHT COUNT SECONDS
//       keeps IN_FLIGHT SNTP requests outstanding until COUNT replies or
//       SECONDS have passed (a request unanswered for 200 ms is lost and
//       replaced);
//   chronobel_bench_load paced PORT RATE SECONDS
//       sends RATE requests per second for SECONDS, then waits 1 s for late
//       replies;
//   chronobel_bench_load time  PORT CLIENTS COUNT SECONDS
//       CLIENTS threads connect, read the 4-byte TIME reply to the end of
//       the stream and close, until COUNT exchanges or SECONDS;
//   chronobel_bench_load probe-sntp PORT   |   probe-time PORT
//       one request; exit 0 when it is answered within a second.
//
// Prints one line: replies=… lost=… seconds=… rate=… median_us=… p99_us=…
// Requests carry a sequence number in their Transmit Timestamp, which a
// server echoes as the Originate Timestamp, so replies need no order.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr std::size_t packet_size = 48;
constexpr std::size_t transmit_at = 40;
constexpr std::size_t originate_at = 24;
constexpr int batch = 64;
constexpr auto lost_after = milliseconds(200);

std::int64_t micros_since(clock_type::time_point from, clock_type::time_point to) {
    return std::chrono::duration_cast<microseconds>(to - from).count();
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

struct result {
    std::uint64_t replies = 0;
    std::uint64_t lost = 0;
    double seconds = 0;
    std::vector<std::uint32_t> round_trips_us;

    void print() {
        std::sort(round_trips_us.begin(), round_trips_us.end());
        const auto at = [&](double q) {
            return round_trips_us.empty() ? 0u : round_trips_us[static_cast<std::size_t>(q * (round_trips_us.size() - 1))];
        };
        std::printf("replies=%llu lost=%llu seconds=%.3f rate=%.0f median_us=%u p99_us=%u\n",
                    static_cast<unsigned long long>(replies), static_cast<unsigned long long>(lost), seconds,
                    seconds > 0 ? static_cast<double>(replies) / seconds : 0.0, at(0.5), at(0.99));
    }
};

// A connected, non-blocking UDP socket to the server.
int sntp_socket(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const sockaddr_in to = loopback(port);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        std::perror("sntp socket");
        std::exit(2);
    }
    return fd;
}

void fill_request(std::uint8_t* p, std::uint64_t id) {
    std::memset(p, 0, packet_size);
    p[0] = 0x23;  // leap 0, version 4, client
    for (int i = 0; i < 8; ++i) p[transmit_at + i] = static_cast<std::uint8_t>(id >> (56 - 8 * i));
}

bool reply_id(const std::uint8_t* p, std::size_t n, std::uint64_t& id) {
    if (n != packet_size || (p[0] & 7) != 4) return false;
    id = 0;
    for (int i = 0; i < 8; ++i) id = id << 8 | p[originate_at + i];
    return true;
}

// Sends the given requests in one system call where possible.
void send_requests(int fd, const std::vector<std::uint64_t>& ids) {
    static std::uint8_t packets[batch][packet_size];
    for (std::size_t start = 0; start < ids.size(); start += batch) {
        mmsghdr messages[batch]{};
        iovec parts[batch];
        const std::size_t n = std::min<std::size_t>(batch, ids.size() - start);
        for (std::size_t i = 0; i < n; ++i) {
            fill_request(packets[i], ids[start + i]);
            parts[i] = {packets[i], packet_size};
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        std::size_t done = 0;
        while (done < n) {
            const int sent = sendmmsg(fd, messages + done, static_cast<unsigned>(n - done), 0);
            if (sent <= 0) break;  // a full queue: those count as lost later
            done += static_cast<std::size_t>(sent);
        }
    }
}

// Receives what has arrived; calls on_reply(id, arrival) for each reply.
template <typename Handler>
void receive_replies(int fd, int wait_ms, Handler on_reply) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return;
    static std::uint8_t packets[batch][512];
    for (;;) {
        mmsghdr messages[batch]{};
        iovec parts[batch];
        for (int i = 0; i < batch; ++i) {
            parts[i] = {packets[i], sizeof packets[i]};
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int n = recvmmsg(fd, messages, batch, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        const auto now = clock_type::now();
        for (int i = 0; i < n; ++i) {
            std::uint64_t id = 0;
            if (reply_id(packets[i], messages[i].msg_len, id)) on_reply(id, now);
        }
        if (n < batch) return;
    }
}

// Closed loop: `in_flight` outstanding requests; slot s carries ids
// (generation << 16 | s).
result sntp_closed_loop(std::uint16_t port, int in_flight, std::uint64_t count, double seconds) {
    const int fd = sntp_socket(port);
    std::vector<clock_type::time_point> sent_at(in_flight);
    std::vector<std::uint64_t> generation(in_flight, 0);
    result r;
    r.round_trips_us.reserve(std::min<std::uint64_t>(count, 20'000'000));
    const auto start = clock_type::now();
    const auto end = start + std::chrono::duration_cast<clock_type::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::uint64_t> to_send;
    for (int s = 0; s < in_flight; ++s) {
        sent_at[s] = start;
        to_send.push_back(static_cast<std::uint64_t>(s));
    }
    send_requests(fd, to_send);
    auto last_scan = start;
    while (r.replies < count) {
        to_send.clear();
        receive_replies(fd, 5, [&](std::uint64_t id, clock_type::time_point now) {
            const auto s = static_cast<std::size_t>(id & 0xFFFF);
            if (s >= sent_at.size() || id >> 16 != generation[s]) return;  // late or unknown
            ++r.replies;
            r.round_trips_us.push_back(static_cast<std::uint32_t>(micros_since(sent_at[s], now)));
            ++generation[s];
            sent_at[s] = now;
            to_send.push_back(generation[s] << 16 | s);
        });
        const auto now = clock_type::now();
        if (now >= end) break;
        if (now - last_scan > milliseconds(20)) {  // unanswered requests are lost and replaced
            last_scan = now;
            for (int s = 0; s < in_flight; ++s)
                if (now - sent_at[s] > lost_after) {
                    ++r.lost;
                    ++generation[s];
                    sent_at[s] = now;
                    to_send.push_back(generation[s] << 16 | static_cast<std::uint64_t>(s));
                }
        }
        if (r.replies + to_send.size() > count + static_cast<std::uint64_t>(in_flight)) to_send.clear();
        send_requests(fd, to_send);
    }
    r.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    close(fd);
    return r;
}

// Open loop at a fixed rate: ids are sequence numbers.
result sntp_paced(std::uint16_t port, double rate, double seconds) {
    const int fd = sntp_socket(port);
    const auto total = static_cast<std::uint64_t>(rate * seconds);
    std::vector<clock_type::time_point> sent_at(total);
    std::vector<bool> answered(total, false);
    result r;
    r.round_trips_us.reserve(total);
    const auto start = clock_type::now();
    std::uint64_t sent = 0;
    std::vector<std::uint64_t> to_send;
    const auto on_reply = [&](std::uint64_t id, clock_type::time_point now) {
        if (id >= total || answered[id]) return;
        answered[id] = true;
        ++r.replies;
        r.round_trips_us.push_back(static_cast<std::uint32_t>(micros_since(sent_at[id], now)));
    };
    while (sent < total) {
        const double elapsed = std::chrono::duration<double>(clock_type::now() - start).count();
        const auto due = std::min<std::uint64_t>(total, static_cast<std::uint64_t>(elapsed * rate) + 1);
        to_send.clear();
        const auto now = clock_type::now();
        for (; sent < due; ++sent) {
            sent_at[sent] = now;
            to_send.push_back(sent);
        }
        send_requests(fd, to_send);
        receive_replies(fd, 1, on_reply);
    }
    r.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    const auto drain_until = clock_type::now() + milliseconds(1000);
    while (r.replies < total && clock_type::now() < drain_until) receive_replies(fd, 10, on_reply);
    r.lost = total - r.replies;
    close(fd);
    return r;
}

// One TIME exchange: connect, read to the end of the stream (4 bytes).
bool time_exchange(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval limit{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const sockaddr_in to = loopback(port);
    bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    std::uint8_t reply[8];
    std::size_t got = 0;
    while (ok) {
        const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
        if (n < 0) ok = false;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
        if (got == sizeof reply) ok = false;
    }
    close(fd);
    return ok && got == 4;
}

result time_load(std::uint16_t port, int clients, std::uint64_t count, double seconds) {
    std::atomic<std::uint64_t> started{0};
    std::mutex merge;
    result r;
    const auto start = clock_type::now();
    const auto end = start + std::chrono::duration_cast<clock_type::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            result mine;
            while (started.fetch_add(1) < count && clock_type::now() < end) {
                const auto before = clock_type::now();
                if (time_exchange(port)) {
                    ++mine.replies;
                    mine.round_trips_us.push_back(static_cast<std::uint32_t>(micros_since(before, clock_type::now())));
                } else {
                    ++mine.lost;
                }
            }
            std::lock_guard<std::mutex> lock(merge);
            r.replies += mine.replies;
            r.lost += mine.lost;
            r.round_trips_us.insert(r.round_trips_us.end(), mine.round_trips_us.begin(), mine.round_trips_us.end());
        });
    for (std::thread& t : threads) t.join();
    r.seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    return r;
}

bool probe_sntp(std::uint16_t port) {
    const int fd = sntp_socket(port);
    send_requests(fd, {7});
    bool answered = false;
    for (int i = 0; i < 10 && !answered; ++i)
        receive_replies(fd, 100, [&](std::uint64_t id, clock_type::time_point) { answered = answered || id == 7; });
    close(fd);
    return answered;
}

int usage() {
    std::fputs("usage: chronobel_bench_load sntp PORT IN_FLIGHT COUNT SECONDS\n"
               "       chronobel_bench_load paced PORT RATE SECONDS\n"
               "       chronobel_bench_load time PORT CLIENTS COUNT SECONDS\n"
               "       chronobel_bench_load probe-sntp PORT | probe-time PORT\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    // Every load is bounded: at most 60 s and 50 million exchanges.
    const auto seconds_arg = [&](int i) { return std::clamp(std::atof(argv[i]), 0.1, 60.0); };
    const auto count_arg = [&](int i) { return std::clamp<std::uint64_t>(std::strtoull(argv[i], nullptr, 10), 1, 50'000'000); };
    if (mode == "sntp" && argc == 6) {
        sntp_closed_loop(port, std::clamp(std::atoi(argv[3]), 1, 4096), count_arg(4), seconds_arg(5)).print();
    } else if (mode == "paced" && argc == 5) {
        sntp_paced(port, std::clamp(std::atof(argv[3]), 1.0, 1'000'000.0), seconds_arg(4)).print();
    } else if (mode == "time" && argc == 6) {
        time_load(port, std::clamp(std::atoi(argv[3]), 1, 256), count_arg(4), seconds_arg(5)).print();
    } else if (mode == "probe-sntp" && argc == 3) {
        return probe_sntp(port) ? 0 : 1;
    } else if (mode == "probe-time" && argc == 3) {
        return time_exchange(port) ? 0 : 1;
    } else {
        return usage();
    }
    return 0;
}
