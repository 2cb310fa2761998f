#include "server/client_report.h"
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include "core/status_hold.h"
#include "engine/log.h"
#include "server/client_names.h"
#include "server/server_run.h"

namespace orvane {

// The part of a reporter that its thread shares with the server. The thread
// holds this block, and the block an owner of the state, so whatever the
// thread still does after the server has gone, it uses nothing freed.
struct client_reporter::shared {
    shared(std::shared_ptr<chronobel_state> s, text_id text, bool wait)
        : owner(std::move(s)), text_number(text), wait_for_idle_engine(wait) {}

    const std::shared_ptr<chronobel_state> owner;
    const text_id text_number;
    const bool wait_for_idle_engine;

    std::mutex wake_mutex;
    std::condition_variable wake;
    std::atomic<ipv4_address> latest{};
    std::atomic<bool> pending{false};
    bool stopping = false;  // under wake_mutex

    client_name_cache names;  // the report thread's alone

    void run();
    bool stopped();
    // Waits for the next client; false when the server has ended.
    bool next_client(ipv4_address& client);
    // Waits `period` unless the server ends first; false when it has ended.
    bool rest(std::chrono::milliseconds period);
    // Waits while a query runs (when asked to); false when the server has ended.
    bool engine_idle();
    // Writes the status line and the log; false when the server has ended.
    bool report(ipv4_address client, const std::string& name);
};

bool client_reporter::shared::stopped() {
    std::lock_guard<std::mutex> lock(wake_mutex);
    return stopping;
}

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
    while (owner->engine.phase.load() != 0)
        if (!rest(busy_engine_recheck)) return false;
    return !stopped();
}

bool client_reporter::shared::report(ipv4_address client, const std::string& name) {
    // A look-up may have outlasted the server: its client is not shown then.
    if (stopped()) return false;
    chronobel_state& s = *owner;
    const std::string text = s.ui_text(text_number);
    hold_status_text(s);
    s.view().set_text(control_status_line, text + name);
    settings_record& settings = s.settings;
    if (setting_on(settings.log_server) && !setting_on(settings.log_disabled) &&
        names.log_due(client, std::chrono::steady_clock::now()))
        write_log_line(s, text, name);
    return true;
}

void client_reporter::shared::run() {
    ipv4_address client;
    while (next_client(client)) {
        const std::string name = names.shown_name(client, std::chrono::steady_clock::now());
        if (!engine_idle() || !report(client, name) || !rest(status_report_period)) return;
    }
}

void client_reporter::run_thread(void* block) {
    // The thread's own owner of the block, handed over by the constructor.
    const std::unique_ptr<std::shared_ptr<shared>> owned(static_cast<std::shared_ptr<shared>*>(block));
    (*owned)->run();
}

client_reporter::client_reporter(chronobel_state& state, text_id text_number, bool wait_for_idle_engine) {
    std::shared_ptr<chronobel_state> owner = state.weak_from_this().lock();
    if (!owner) return;  // the server answers without reports
    shared_ = std::make_shared<shared>(std::move(owner), text_number, wait_for_idle_engine);
    auto handed = std::make_unique<std::shared_ptr<shared>>(shared_);
    if (!thread_.start(run_thread, handed.get())) {
        shared_.reset();  // no thread: no reports either
        return;
    }
    handed.release();  // the thread's now
}

client_reporter::~client_reporter() {
    if (!shared_) return;
    {
        std::lock_guard<std::mutex> lock(shared_->wake_mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_all();
    thread_.join_for(report_thread_end_limit_ms);
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
