// The process-wide count of socket-library users (queries, servers, the
// server scan): the first user starts the library, the last cleans it up.
#pragma once
#include "core/query_engine.h"

namespace orvane {

// acquire: 0 or 6; release: 0 or 12 when there was no user. Every release
// matches one acquire of the same user; winsock_use pairs them.
int acquire_winsock(query_engine& engine);
int release_winsock(query_engine& engine);

// One user of the socket library for as long as it lives (when it got it).
class winsock_use {
public:
    explicit winsock_use(query_engine& engine);
    ~winsock_use();
    winsock_use(const winsock_use&) = delete;
    winsock_use& operator=(const winsock_use&) = delete;
    bool acquired() const { return acquired_; }

private:
    query_engine& engine_;
    bool acquired_;
};

}  // namespace orvane
