// The UDP relay as a program, for the bench and whole-program tests:
//
//   chronobel_relay [options] LISTEN=SERVER ...
//     LISTEN, SERVER    127.x.x.x:port; a listen port of 0 takes a free port
//     --delay MS        one-way delay added each way (decimals allowed)
//     --to-server MS    the delay towards the server only, and
//     --to-client MS    towards the client only (asymmetry)
//     --jitter MS       each delay varies uniformly by up to ±MS
//     --loss P          chance (0 to 1) that a datagram is lost, each way;
//     --to-server-loss P, --to-client-loss P  one way only
//     --drop-first N    the first N client datagrams of each route are lost
//     --seed N          repeatable draws (default: a random seed)
//     --seconds N       stops by itself after N seconds (default 60)
//
// Prints "relay LISTEN -> SERVER" for each route and then "ready" once it
// listens; stops on SIGTERM or SIGINT too, and prints what it forwarded and
// dropped on standard error as it ends. Exit code 0, or 2 for bad arguments
// or an address it cannot take.
#include <signal.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "support/udp_relay.h"

using namespace orvane::testing;

namespace {

int usage(const char* why) {
    std::fprintf(stderr, "chronobel_relay: %s\n", why);
    std::fputs("usage: chronobel_relay [--delay MS] [--to-server MS] [--to-client MS] [--jitter MS]\n"
               "         [--loss P] [--to-server-loss P] [--to-client-loss P] [--drop-first N]\n"
               "         [--seed N] [--seconds N] 127.x.x.x:PORT=127.x.x.x:PORT ...\n",
               stderr);
    return 2;
}

bool parse_number(const char* text, double low, double high, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == 0 && out >= low && out <= high;
}

std::chrono::microseconds from_ms(double ms) { return std::chrono::microseconds(static_cast<long long>(ms * 1000)); }

}  // namespace

int main(int argc, char** argv) {
    relay_settings settings;
    std::vector<relay_route> routes;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option.rfind("--", 0) == 0) {
            double value = 0;
            if (i + 1 >= argc) return usage(("no value for " + option).c_str());
            const char* text = argv[++i];
            const bool is_ms = option == "--delay" || option == "--to-server" || option == "--to-client" ||
                               option == "--jitter";
            const bool is_chance = option == "--loss" || option == "--to-server-loss" || option == "--to-client-loss";
            if (is_ms && !parse_number(text, 0, 10'000, value)) return usage("delays are 0 to 10000 ms");
            if (is_chance && !parse_number(text, 0, 1, value)) return usage("losses are 0 to 1");
            if (option == "--delay") settings.to_server.delay = settings.to_client.delay = from_ms(value);
            else if (option == "--to-server") settings.to_server.delay = from_ms(value);
            else if (option == "--to-client") settings.to_client.delay = from_ms(value);
            else if (option == "--jitter") settings.to_server.jitter = settings.to_client.jitter = from_ms(value);
            else if (option == "--loss") settings.to_server.loss = settings.to_client.loss = value;
            else if (option == "--to-server-loss") settings.to_server.loss = value;
            else if (option == "--to-client-loss") settings.to_client.loss = value;
            else if (option == "--drop-first") {
                if (!parse_number(text, 0, 1'000'000, value)) return usage("--drop-first takes a count");
                settings.drop_first = static_cast<int>(value);
            } else if (option == "--seed") {
                char* end = nullptr;
                settings.seed = std::strtoull(text, &end, 10);
                if (end == text || *end != 0) return usage("--seed takes a number");
            } else if (option == "--seconds") {
                if (!parse_number(text, 0.1, 86'400, value)) return usage("--seconds is 0.1 to 86400");
                settings.run_limit = std::chrono::milliseconds(static_cast<long long>(value * 1000));
            } else if (!is_ms && !is_chance) {
                return usage(("unknown option " + option).c_str());
            }
            continue;
        }
        const std::size_t equals = option.find('=');
        relay_route route;
        if (equals == std::string::npos || !parse_loopback_endpoint(option.substr(0, equals), route.listen) ||
            !parse_loopback_endpoint(option.substr(equals + 1), route.server))
            return usage(("not LISTEN=SERVER on 127.x.x.x: " + option).c_str());
        routes.push_back(route);
    }
    if (routes.empty()) return usage("no route given");

    // The signals are taken by this thread alone, through sigtimedwait.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    udp_relay relay;
    std::string error;
    if (!relay.start(routes, settings, error)) return usage(error.c_str());
    for (std::size_t i = 0; i < routes.size(); ++i) {
        sockaddr_in bound = routes[i].listen;
        bound.sin_port = htons(relay.port(i));
        std::printf("relay %s -> %s\n", endpoint_text(bound).c_str(), endpoint_text(routes[i].server).c_str());
    }
    std::printf("ready\n");
    std::fflush(stdout);

    const timespec step{0, 100'000'000};
    while (relay.running()) {
        if (sigtimedwait(&stops, nullptr, &step) > 0) break;
    }
    relay.stop();
    const relay_counts c = relay.counts();
    std::fprintf(stderr, "relay: to server %llu forwarded, %llu dropped; to client %llu forwarded, %llu dropped\n",
                 static_cast<unsigned long long>(c.to_server), static_cast<unsigned long long>(c.to_server_dropped),
                 static_cast<unsigned long long>(c.to_client), static_cast<unsigned long long>(c.to_client_dropped));
    return 0;
}
