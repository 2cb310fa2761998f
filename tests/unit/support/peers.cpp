#include "support/peers.h"
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace orvane::testing {
namespace {

using namespace std::chrono_literals;

// A plain POSIX socket to 127.0.0.1:port with a receive time-out, for
// probing whether a peer serves yet.
struct probe_socket {
    int fd;
    explicit probe_socket(int type) : fd(socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
        timeval limit{0, 200'000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~probe_socket() { close(fd); }
    bool connect_to(std::uint16_t port) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    }
};

bool answers_sntp(std::uint16_t port) {
    probe_socket probe(SOCK_DGRAM);
    std::uint8_t packet[48] = {0x1B};
    if (!probe.connect_to(port) || send(probe.fd, packet, sizeof packet, 0) != 48) return false;
    return recv(probe.fd, packet, sizeof packet, 0) == 48;
}

bool answers_time(std::uint16_t port) {
    probe_socket probe(SOCK_STREAM);
    std::uint8_t reply[4];
    return probe.connect_to(port) && recv(probe.fd, reply, sizeof reply, MSG_WAITALL) == 4;
}

// Waits up to five seconds for `serving` while the process lives; a process
// that has ended is reaped and forgotten (pid := -1), so nothing signals its
// number later.
template <typename Check>
bool wait_until_serving(pid_t& pid, Check serving) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        if (serving()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

}  // namespace

std::uint16_t free_loopback_port(bool tcp) {
    probe_socket probe(tcp ? SOCK_STREAM : SOCK_DGRAM);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (bind(probe.fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(probe.fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        return 0;
    return ntohs(a.sin_port);
}

std::string find_program(const std::string& name) {
    std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
    dirs += ":/usr/sbin:/sbin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

peer_process::~peer_process() { stop(); }

bool peer_process::spawn(const std::string& program, const std::vector<std::string>& arguments) {
    const std::string path = find_program(program);
    if (path.empty()) {
        why_ = program + " is not installed";
        return false;
    }
    std::vector<std::string> words{path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string log_path = (dir_ / "peer.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        why_ = program + " could not be started";
        return false;
    }
    pid_ = pid;
    return true;
}

void peer_process::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 60; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string peer_process::log() const { return dir_.read("peer.log"); }

chronyd_peer::chronyd_peer() {
    port_ = free_loopback_port(false);
    dir_.write("chrony.conf", "port " + std::to_string(port_) +
                                  "\n"
                                  "bindaddress 127.0.0.1\n"
                                  "local stratum 8\n"
                                  "allow 127.0.0.1\n"
                                  "cmdport 0\n"
                                  "bindcmdaddress /\n"
                                  "pidfile " + (dir_ / "chronyd.pid").string() + "\n");
    // -x: never touch the clock; -d: stay in the foreground; -u root: keep
    // running as the user that owns the temporary directory.
    if (!spawn("chronyd", {"-x", "-d", "-u", "root", "-f", (dir_ / "chrony.conf").string()})) return;
    if (!wait_until_serving(pid_, [this] { return answers_sntp(port_); })) {
        why_ = "chronyd did not serve: " + log();
        stop();
    }
}

inetd_time_peer::inetd_time_peer() {
    port_ = free_loopback_port(true);
    // UNLISTED: the service keeps its name "time" (which selects the internal
    // TIME service) but not the port of /etc/services.
    dir_.write("xinetd.conf", "service time\n"
                              "{\n"
                              "\ttype = INTERNAL UNLISTED\n"
                              "\tid = time-stream\n"
                              "\tsocket_type = stream\n"
                              "\tprotocol = tcp\n"
                              "\tuser = root\n"
                              "\twait = no\n"
                              "\tport = " + std::to_string(port_) + "\n"
                              "\tbind = 127.0.0.1\n"
                              "}\n");
    if (!spawn("xinetd", {"-dontfork", "-filelog", (dir_ / "xinetd.log").string(), "-pidfile",
                          (dir_ / "xinetd.pid").string(), "-f", (dir_ / "xinetd.conf").string()}))
        return;
    if (!wait_until_serving(pid_, [this] { return answers_time(port_); })) {
        why_ = "xinetd did not serve: " + log() + dir_.read("xinetd.log");
        stop();
    }
}

}  // namespace orvane::testing
