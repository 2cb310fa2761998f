// The socket library is started by its first user and cleaned up by its
// last, so queries and the built-in servers can come and go independently.
#include <mutex>
#include "engine/winsock_count.h"
#include "sys/sockets.h"

namespace orvane {

int acquire_winsock(query_engine& engine) {
    std::lock_guard<std::mutex> lock(engine.winsock_mutex);
    if (engine.winsock_users.load() > 0) {
        engine.winsock_users.fetch_add(1);
        return query_ok;
    }
    if (!start_socket_library()) return query_winsock_failed;
    engine.winsock_users.store(1);
    return query_ok;
}

int release_winsock(query_engine& engine) {
    std::lock_guard<std::mutex> lock(engine.winsock_mutex);
    if (engine.winsock_users.load() <= 0) return query_not_prepared;
    if (engine.winsock_users.fetch_sub(1) == 1) stop_socket_library();
    return query_ok;
}

winsock_use::winsock_use(query_engine& engine) : engine_(engine), acquired_(acquire_winsock(engine) == query_ok) {}

winsock_use::~winsock_use() {
    if (acquired_) release_winsock(engine_);
}

}  // namespace orvane
