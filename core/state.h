// The one shared object of the process and the process-wide variables.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "core/auto_backoff.h"
#include "core/extra_settings.h"
#include "core/health.h"
#include "core/main_view.h"
#include "core/policy.h"
#include "core/resync.h"
#include "core/service_request.h"
#include "core/program_threads.h"
#include "core/query_engine.h"
#include "core/settings_record.h"
#include "core/text_id.h"
#include "core/ui_table.h"
#include "sys/address_watch.h"
#include "sys/sockets_types.h"
#include "sys/threads.h"

namespace orvane {

// A path split into its parts.
struct path_set {
    std::wstring full;       // the whole path
    std::wstring directory;  // up to and including the last separator
    std::wstring file;       // after the last separator
    std::wstring root;       // the first three characters
};

// Always held by shared_ptr (create_state): every thread that uses it holds
// an owner of its own (see core/program_threads.h).
class chronobel_state : public std::enable_shared_from_this<chronobel_state> {
public:
    chronobel_state();
    ~chronobel_state();
    chronobel_state(const chronobel_state&) = delete;
    chronobel_state& operator=(const chronobel_state&) = delete;

    const std::wstring& program_dir() const { return program_path.directory; }
    const std::wstring& data_dir() const { return data_path.directory; }
    // The window (or its stand-in) that background threads write to.
    main_view& view() const { return *view_; }
    void set_view(main_view* view) { view_ = view ? view : &null_view_; }
    // Makes `view` the one in force and keeps it as long as the state, so
    // that it outlives every thread that may write to it.
    void adopt_view(std::unique_ptr<main_view> view) {
        owned_view_ = std::move(view);
        set_view(owned_view_.get());
    }
    // UI string n of the table in force (the empty string before any load).
    const char* ui_text(int n) const;
    const char* ui_text(text_id id) const { return ui_text(static_cast<int>(id)); }
    // Makes `table` the one in force. Tables once published stay alive until
    // the state ends, so a reader on another thread never holds a freed one.
    void publish_ui_table(std::unique_ptr<ui_table> table);

    void* h_instance = nullptr;
    std::wstring exe_name;
    std::wstring program_name;
    path_set program_path;
    path_set data_path;
    void* small_icon = nullptr;
    void* large_icon = nullptr;
    query_engine engine;
    // The UI string table in force; published whole, replaced whole.
    std::atomic<const ui_table*> ui_strings{nullptr};
    settings_record settings{};
    // The settings that live beside dSync.dat (core/extra_settings.h).
    extra_settings extras{};
    std::atomic<std::uint8_t> worker_running{0};
    std::atomic<std::uint8_t> correct_requested{0};
    std::atomic<std::int32_t> auto_due{0};
    std::atomic<std::int32_t> server_state{0};
    std::atomic<std::uint8_t> stop_requested{0};
    // Ticks of tick_count64: the automatic periods reach 99 days, past the
    // wrap of a 32-bit tick count.
    std::atomic<std::uint64_t> autosync_start_tick{0};
    std::atomic<std::uint64_t> autocheck_start_tick{0};
    std::atomic<std::int64_t> due_period_ms{0};
    std::atomic<std::uint64_t> due_start_tick{0};
    // The tick (tick_count64) until which the status line is held; see
    // core/status_hold.h. 0: not held.
    std::atomic<std::uint64_t> status_hold_until{0};
    // Retries of failed automatic operations.
    auto_backoff backoff;
    // How well the clock is kept: the tray icon's look and the notices.
    health_record health;
    // Resynchronisation after resume and when the network returns.
    resync_request resync;
    // A correction or check asked of the service over its pipe.
    service_request asked;
    void* main_window = nullptr;
    std::atomic<std::uint32_t> server_time_tick{0};
    std::atomic<filetime> server_local_time{0};
    event_handle worker_event = nullptr;
    event_handle service_stop_event = nullptr;
    // The built-in servers' sockets, IPv4 and IPv6, as a stopper takes them.
    std::atomic<socket_handle> time_server_socket{no_socket};
    std::atomic<socket_handle> sntp_server_socket{no_socket};
    std::atomic<socket_handle> time_server_socket6{no_socket};
    std::atomic<socket_handle> sntp_server_socket6{no_socket};
    // Ports of the built-in servers; tests point them at free loopback ports.
    std::uint16_t time_server_port = 37;
    std::uint16_t sntp_server_port = 123;
    // Dry run: the clock and the time zone are never set; what would be set
    // is reported instead.
    bool dry_run = false;
    // The service reads its data files only from its own folder, never from
    // the program's folder, which others may be able to write.
    bool data_dir_only = false;
    // Why the service refuses its folder (empty while it is trusted).
    std::string service_refusal;
    // The service is asked to read its settings again (the reload control).
    std::atomic<std::uint8_t> reload_requested{0};
    // The machine policy in force, and the user's own settings beneath it
    // (what the settings file keeps for the fields a policy governs). Read
    // and set on the thread that loads the settings: the window's, or the
    // service's worker.
    machine_policy policy;
    settings_record user_settings{};
    // The threads that use this state; joined before the program ends.
    program_thread_set threads;
    // Hears of new addresses while the worker runs (it asks for a resync).
    address_watch network_watch;

private:
    null_view null_view_;
    std::vector<std::unique_ptr<ui_table>> ui_tables_;
    std::unique_ptr<main_view> owned_view_;
    main_view* view_ = &null_view_;
};

// The window thread's owner. Threads never copy it: each is handed its own
// owner when it is started (start_program_thread).
extern std::shared_ptr<chronobel_state> g_state;

// Creates the state (make-shared style) into g_state.
void create_state();

// Process-wide variables that belong with the state.
enum window_modes : int { window_shown = 0, window_minimised = 1, window_in_tray = 2, window_service = 99 };

extern std::atomic<std::int32_t> status_refresh_ms;  // worker's wait per pass
extern std::atomic<std::int32_t> window_mode;
extern std::uint8_t time_privilege_held;
extern std::uint8_t started_silent;
extern std::atomic<std::uint8_t> running_as_service;
extern std::uint8_t options_sheet_open;
extern std::atomic<std::uint8_t> server_list_unusable;
extern std::uint32_t taskbar_created_msg;
extern wchar_t class_name_buffer[100];

// Sets every setting to its default.
void apply_default_settings(chronobel_state& state);
// The accepted date range: from about one month before to about one year
// after the local time now, moved on the filetime's high word alone.
void set_default_date_range(query_engine& engine);

}  // namespace orvane
