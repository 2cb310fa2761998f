// What the options pages do, apart from Win32: filling a page, loading the
// settings into it, writing it back (with the limits each number keeps),
// the enable rules and the commands of its buttons. The Win32 sheet gives
// each page an option_page_view over its dialog and the sheet an
// options_host for what lies outside the pages; tests give recording ones.
#pragma once
#include <cstdint>
#include <string>
#include "core/state.h"
#include "sys/time_types.h"
#include "ui/option_tables.h"

namespace orvane {

// One page: its controls (by id) and its timer. Calls about a control the
// page does not have do nothing; the page code asks has() first anyway.
class option_page_view {
public:
    virtual ~option_page_view() = default;
    virtual bool has(int id) const = 0;
    virtual bool checked(int id) const = 0;
    virtual void set_checked(int id, bool on) = 0;
    // A number box: its digits as a number; an empty box reads 0.
    virtual std::uint32_t number(int id) const = 0;
    virtual void set_number(int id, std::uint32_t value) = 0;
    // A list: the selected position, or -1 when nothing is selected.
    virtual int selection(int id) const = 0;
    virtual void set_selection(int id, int position) = 0;
    virtual void clear_items(int id) = 0;
    virtual void insert_item(int id, int position, const std::string& text) = 0;
    // An IP-address control's dotted text.
    virtual std::string address(int id) const = 0;
    virtual void set_address(int id, const std::string& text) = 0;
    // A date picker's date and time of day, as a local-time filetime.
    virtual filetime date(int id) const = 0;
    virtual void set_date(int id, filetime value) = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual void set_caption(int id, const std::string& text) = 0;
    virtual void set_tooltip(int id, const std::string& text) = 0;
    // The elevation shield on a button.
    virtual void set_shield(int id, bool shown) = 0;
    // The page's one-shot timer of one second after a service command.
    virtual void start_service_timer() = 0;
};

struct service_status {
    bool installed = false;
    bool running = false;
};

// What the pages reach outside themselves: the main window's automatic
// timer, the built-in servers, the shell, the scan window, the service.
class options_host {
public:
    virtual ~options_host() = default;
    // Kills timer 10 of the main window; arms it for the next automatic operation.
    virtual void disarm_auto_timer() = 0;
    virtual void arm_auto_timer() = 0;
    virtual void start_servers() = 0;
    virtual void stop_servers() = 0;
    // Opens a text file with its program (Notepad where the shell has none).
    virtual void open_file(const std::wstring& path) = 0;
    virtual void open_scan_window() = 0;
    virtual void open_readme() = 0;
    // Asks Reset's `question` with OK and Cancel, Cancel the default; true for OK.
    virtual bool confirm_reset(const std::string& question) = 0;
    virtual service_status query_service() = 0;
    virtual void install_service() = 0;
    virtual void remove_service(bool running) = 0;
    virtual void start_service() = 0;
    virtual void stop_service() = 0;
    // Starts the program again with administrative rights.
    virtual void relaunch_elevated() = 0;
    // The main window's topmost state, and the save of settings and start-up.
    virtual void set_topmost(bool on_top) = 0;
    virtual void save_settings() = 0;
};

// One opening of the sheet.
struct options_session {
    chronobel_state& state;
    options_host& host;
    service_status service{};
    // The automatic settings when the sheet opened: a change re-arms the timer at the end.
    std::int32_t autosync_count, autosync_unit, autocheck_count, autocheck_unit;
    std::uint8_t autosync_enabled, autocheck_enabled;
};

// Opening: notes that the sheet is open. Closing (OK or Cancel alike): the
// main window's topmost state, the re-armed timer when the automatic
// settings changed, the save, and the sheet is noted closed.
options_session begin_options(chronobel_state& state, options_host& host);
void end_options(options_session& session);

// A page's start: captions, tooltips, list items, then its values.
void fill_options_page(options_session& session, option_page_view& page);
void load_options_page(options_session& session, option_page_view& page);
// Enable states, and the service buttons where the page has them.
void update_options_page(options_session& session, option_page_view& page);
// Writes a page's controls into the settings (when it loses activation).
void apply_options_page(options_session& session, option_page_view& page, option_page which);
void apply_servers_page(options_session& session, option_page_view& page);
void apply_auto_page(options_session& session, option_page_view& page);
void apply_system_page(options_session& session, option_page_view& page);
void apply_misc_page(options_session& session, option_page_view& page);
// A button or check box click (the whole wParam); false when it is none of the page's commands.
bool options_page_command(options_session& session, option_page_view& page, std::uintptr_t command);
// The page's timer, a second after a service command: the status again.
void service_timer_elapsed(options_session& session, option_page_view& page);

// The limits kept when a page is written back.
std::int32_t clamp_auto_count(std::uint32_t value);  // 1-99
std::int32_t clamp_timeout(std::uint32_t value);     // 5-99
std::int32_t clamp_offset(std::uint32_t value);      // 0-99

}  // namespace orvane
