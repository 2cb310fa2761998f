#include "server/client_report.h"
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include "engine/log.h"
#include "server/client_names.h"
#include "server/server_run.h"

namespace orvane {

// The part of a reporter that its thread shares with the server. The thread
// is detached and holds this block, so a look-up that hangs in the resolver
// never keeps the server from ending. It takes the state under state_mutex
// while `state` is set and counts itself in `writers` while it writes
// (without the lock, so a slow view holds up no one); the server clears
// `state` when it leaves and waits for the count to fall to 0.
struct client_reporter::shared {
    shared(chronobel_state& s, text_id text, bool wait) : state(&s), text_number(text), wait_for_idle_engine(wait) {}

    std::mutex wake_mutex;
    std::condition_variable wake;
    std::atomic<ipv4_address> latest{};
    std::atomic<bool> pending{false};
    bool stopping = false;  // under wake_mutex

    std::mutex state_mutex;
    std::condition_variable writes_done;
    chronobel_state* state;  // null once the server has ended
    int writers = 0;         // reports being written now (under state_mutex)
    const text_id text_number;
    const bool wait_for_idle_engine;

    client_name_cache names;  // the report thread's alone

    void run();
    // Waits for the next client; false when the server has ended.
    bool next_client(ipv4_address& client);
    // Waits `period` unless the server ends first; false when it has ended.
    bool rest(std::chrono::milliseconds period);
    // Waits while a query runs (when asked to); false when the server has ended.
    bool engine_idle();
    // Writes the status line and the log; false when the server has ended.
    bool report(ipv4_address client, const std::string& name);
};

bool client_reporter::shared::next_client(ipv4_address& client) {
    std::unique_lock<std::mutex> lock(wake_mutex);
    wake.wait(lock, [this] { return stopping || pending.load(); });
    if (stopping) return false;
    pending.store(false);  // before `latest` is read, so no newer client is missed
    client = latest.load();
    return true;
}

bool client_reporter::shared::rest(std::chrono::milliseconds period) {
    std::unique_lock<std::mutex> lock(wake_mutex);
    return !wake.wait_for(lock, period, [this] { return stopping; });
}

bool client_reporter::shared::engine_idle() {
    if (!wait_for_idle_engine) return true;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(state_mutex);
            if (!state) return false;
            if (state->engine.phase.load() == 0) return true;
        }
        if (!rest(busy_engine_recheck)) return false;
    }
}

bool client_reporter::shared::report(ipv4_address client, const std::string& name) {
    chronobel_state* s;
    {
        std::lock_guard<std::mutex> lock(state_mutex);
        if (!state) return false;
        s = state;
        ++writers;
    }
    const std::string text = s->ui_text(text_number);
    s->status_hold_ticks = server_status_hold;
    s->view().set_text(control_status_line, text + name);
    settings_record& settings = s->settings;
    if (setting_on(settings.log_server) && !setting_on(settings.log_disabled) &&
        names.log_due(client, std::chrono::steady_clock::now()))
        write_log_line(*s, text, name);
    {
        std::lock_guard<std::mutex> lock(state_mutex);
        --writers;
    }
    writes_done.notify_all();
    return true;
}

void client_reporter::shared::run() {
    ipv4_address client;
    while (next_client(client)) {
        const std::string name = names.shown_name(client, std::chrono::steady_clock::now());
        if (!engine_idle() || !report(client, name) || !rest(status_report_period)) return;
    }
}

client_reporter::client_reporter(chronobel_state& state, text_id text_number, bool wait_for_idle_engine)
    : shared_(std::make_shared<shared>(state, text_number, wait_for_idle_engine)) {
    try {
        std::thread([block = shared_] { block->run(); }).detach();
    } catch (const std::system_error&) {
        shared_.reset();  // no thread: the server answers without reports
    }
}

client_reporter::~client_reporter() {
    if (!shared_) return;
    {
        std::lock_guard<std::mutex> lock(shared_->wake_mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_all();
    std::unique_lock<std::mutex> lock(shared_->state_mutex);
    shared_->state = nullptr;
    // A report being written ends within moments: the view only passes the
    // text on and the log appends one line. The server thread, which holds
    // the state, waits for it.
    shared_->writes_done.wait_for(lock, report_write_limit, [this] { return shared_->writers == 0; });
}

void client_reporter::served(ipv4_address client) {
    if (!shared_) return;
    shared_->latest.store(client);
    // Only the first client after a report wakes the thread; the rest of a
    // flood just replaces the latest address.
    if (!shared_->pending.exchange(true)) {
        std::lock_guard<std::mutex> lock(shared_->wake_mutex);
        shared_->wake.notify_one();
    }
}

}  // namespace orvane
