// The status line and the log of a built-in server. The server thread only
// notes each client it has answered; a report thread of its own looks up the
// client's name and writes "<UI string><name>" to the status line, at most
// once per report period and always for the latest client, and logs it under
// the "Server" log option at most once a second per client. So a flood of
// requests floods neither the window nor the disk, and a slow resolver never
// holds up a reply.
#pragma once
#include <chrono>
#include <memory>
#include "core/state.h"
#include "sys/sockets.h"
#include "sys/threads.h"

namespace orvane {

constexpr auto status_report_period = std::chrono::milliseconds(250);
// How long the TIME server's status waits between looks at a running query.
constexpr auto busy_engine_recheck = std::chrono::milliseconds(500);
// How long a server that ends waits for its report thread. Well within the
// time the program gives its threads to end: only a name look-up that hangs
// in the resolver lasts longer, and that thread then ends on its own.
constexpr std::uint32_t report_thread_end_limit_ms = 1000;

class client_reporter {
public:
    // `text_number`: the UI string that starts the status text.
    // `wait_for_idle_engine`: the status waits while a query of the
    // program's own runs (the engine's phase is not 0), so that it does not
    // hide the query's progress. The report thread holds an owner of `state`
    // of its own (none, and no reports, when no shared_ptr holds the state).
    client_reporter(chronobel_state& state, text_id text_number, bool wait_for_idle_engine);
    // After this nothing more is written. The report thread is joined within
    // report_thread_end_limit_ms; one held up in a name look-up goes on
    // alone with what it owns, and ends without writing.
    ~client_reporter();
    client_reporter(const client_reporter&) = delete;
    client_reporter& operator=(const client_reporter&) = delete;

    // The server has answered `client` (cheap: no lock, no system call in a flood).
    void served(ipv4_address client);

private:
    struct shared;
    static void run_thread(void* block);
    std::shared_ptr<shared> shared_;
    joinable_thread thread_;
};

}  // namespace orvane
