#include "core/socket_handover.h"
#include <mutex>
#include "sys/sockets.h"

namespace orvane {
namespace {

// One lock for every published server socket: held only for an exchange
// and a shutdown. Never destroyed, so a server thread still ending while
// the program's globals go cannot meet a dead lock.
std::mutex& handover_lock() {
    static std::mutex* const lock = new std::mutex;
    return *lock;
}

}  // namespace

void stop_published_socket(std::atomic<socket_handle>& published) {
    std::lock_guard<std::mutex> lock(handover_lock());
    if (const socket_handle socket = published.exchange(no_socket); socket != no_socket) end_blocked_calls(socket);
}

bool withdraw_published_socket(std::atomic<socket_handle>& published, socket_handle own) {
    std::lock_guard<std::mutex> lock(handover_lock());
    socket_handle expected = own;
    return published.compare_exchange_strong(expected, no_socket);
}

}  // namespace orvane
