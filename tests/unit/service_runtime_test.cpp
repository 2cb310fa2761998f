// The service's life as the service manager sees it: every status report
// from "start pending" to "stopped", the controls, a start that fails; the
// reload control; a correction asked over the pipe and the reader of its
// requests; and what the service trusts: its own folder alone, and a
// program that no standard user can change.
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>
#include "app/startup.h"
#include "core/paths.h"
#include "core/status_hold.h"
#include <sys/stat.h>
#include "core/settings_file.h"
#include "engine/asked_operation.h"
#include "platform/folder_access.h"
#include "platform/service_control.h"
#include "platform/service_pipe.h"
#include "platform/service_runtime.h"
#include "support/event_recorder.h"
#include "support/worker_fixture.h"
#include "support/test_clock.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

struct report {
    service_status_record status;
    bool worker_running;  // at the moment of the report
};

std::mutex reports_mutex;
std::vector<report> reports;

void record_report(const service_status_record& status) {
    std::lock_guard<std::mutex> lock(reports_mutex);
    reports.push_back({status, g_state->worker_running != 0});
}

struct service_fixture : operation_fixture {
    std::thread service_main;
    std::uint32_t exit_code = 0xFFFFFFFF;

    void SetUp() override {
        operation_fixture::SetUp();
        state->settings.autosync_enabled = 0;
        state->settings.time_server_enabled = 0;
        std::lock_guard<std::mutex> lock(reports_mutex);
        reports.clear();
    }
    void TearDown() override {
        if (service_main.joinable()) {
            handle_service_control(*state, service_control_stop);
            service_main.join();
        }
        operation_fixture::TearDown();
    }
    void start(service_worker_starter starter) {
        service_main = std::thread([this, starter] { exit_code = run_service(*state, record_report, starter); });
    }
    std::vector<report> taken() {
        std::lock_guard<std::mutex> lock(reports_mutex);
        return reports;
    }
    bool reported(std::uint32_t state_value, std::size_t count = 1) {
        return wait_until(
            [&] {
                std::size_t n = 0;
                for (const report& r : taken()) n += r.status.current_state == state_value;
                return n >= count;
            },
            5000);
    }
};

void expect_status(const service_status_record& s, std::uint32_t state, std::uint32_t controls, std::uint32_t check_point,
                   std::uint32_t wait_hint) {
    EXPECT_EQ(s.service_type, 0x10u);
    EXPECT_EQ(s.current_state, state);
    EXPECT_EQ(s.controls_accepted, controls);
    EXPECT_EQ(s.check_point, check_point);
    EXPECT_EQ(s.wait_hint, wait_hint);
}

// The service-mode fields as the worker finds them when it starts.
struct fields_at_start {
    int running_as_service, window_mode;
    std::uint64_t status_hold_until;
    std::int64_t due_period_ms;
    bool stop_event;
} at_start;

int real_start_worker(chronobel_state& s) {
    at_start = {running_as_service, window_mode, s.status_hold_until, s.due_period_ms, s.service_stop_event != nullptr};
    return start_worker(s);
}

}  // namespace

TEST_F(service_fixture, StartsInServiceModeAnswersTheControlsAndStopsOnceTheWorkerHasEnded) {
    state->due_period_ms = 1234;
    event_recorder events;
    start(real_start_worker);
    ASSERT_TRUE(reported(service_running));
    EXPECT_EQ(at_start.running_as_service, 1);
    EXPECT_EQ(at_start.window_mode, window_service);
    EXPECT_EQ(at_start.status_hold_until, status_hold_forever);
    EXPECT_EQ(at_start.due_period_ms, 0);
    EXPECT_TRUE(at_start.stop_event);
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 5000));

    handle_service_control(*state, service_control_interrogate);
    ASSERT_TRUE(reported(service_running, 2));
    // Power events: only a resume asks for a resynchronisation.
    handle_service_control(*state, service_control_powerevent, power_event_resumed - 1);
    EXPECT_EQ(state->resync.pending.load(), 0);
    handle_service_control(*state, service_control_powerevent, power_event_resumed);
    EXPECT_EQ(state->resync.pending.load(), 1);
    ASSERT_TRUE(reported(service_running, 4));
    handle_service_control(*state, service_control_stop);
    service_main.join();

    const std::vector<report> all = taken();
    ASSERT_GE(all.size(), 7u);
    expect_status(all[0].status, service_start_pending, 0, 0, 3000);
    constexpr std::uint32_t accepted = service_accepts_stop | service_accepts_paramchange | service_accepts_powerevent;
    expect_status(all[1].status, service_running, accepted, 0, 0);
    expect_status(all[2].status, service_running, accepted, 0, 0);
    expect_status(all[5].status, service_stop_pending, accepted, 0, 0);
    // "Stopped" comes last, once the worker has ended, with exit code 0 (the
    // check points before it are counted in the test of a worker that hangs).
    expect_status(all.back().status, service_stopped, 0, 0, 0);
    EXPECT_FALSE(all.back().worker_running);
    EXPECT_EQ(all.back().status.win32_exit_code, 0u);
    EXPECT_EQ(all.back().status.service_specific_exit_code, 0u);
    EXPECT_EQ(exit_code, 0u);
    EXPECT_EQ(state->stop_requested.load(), 1);
    // The event log has the start and the stop.
    std::vector<event_message> ids;
    for (const event_record& entry : events.entries()) ids.push_back(entry.id);
    EXPECT_EQ(ids, (std::vector<event_message>{event_message::service_started, event_message::service_stopped}));
}

TEST_F(service_fixture, AWorkerThatCannotStartStopsTheServiceWithAFailure) {
    event_recorder events;
    start([](chronobel_state&) { return int{worker_not_started}; });
    service_main.join();
    const std::vector<report> all = taken();
    ASSERT_EQ(all.size(), 2u);
    expect_status(all[0].status, service_start_pending, 0, 0, 3000);
    expect_status(all[1].status, service_stopped, 0, 0, 0);
    EXPECT_EQ(all[1].status.win32_exit_code, 1066u);  // ERROR_SERVICE_SPECIFIC_ERROR
    EXPECT_EQ(all[1].status.service_specific_exit_code, 20u);
    EXPECT_EQ(exit_code, 1066u);

    // A refused folder: the worker is never started.
    reports.clear();
    state->service_refusal = "The service's folder C:\\Data is refused: it is a link to another place.";
    bool started = false;
    service_main = std::thread([&] {
        exit_code = run_service(*state, record_report, [](chronobel_state&) { return int{worker_started}; });
        started = state->worker_running != 0;
    });
    service_main.join();
    ASSERT_EQ(taken().size(), 2u);
    EXPECT_EQ(taken()[1].status.current_state, service_stopped);
    EXPECT_EQ(taken()[1].status.service_specific_exit_code, 21u);
    EXPECT_TRUE(events.entries().empty()) << "a service that never ran neither started nor stopped";
    EXPECT_EQ(exit_code, 1066u);
    EXPECT_FALSE(started);
}

TEST_F(service_fixture, TheReloadControlReadsTheServicesOwnFolderAgainBetweenOperations) {
    // The program's folder is anybody's; the service reads its own alone.
    state->data_dir_only = true;
    write_list({"127.0.0.5"});
    data.write("ServFile.txt", "#service\r\n127.0.0.1\r\n");
    program.write("Strings.txt", "planted\r\n");
    state->engine.sntp_port = state->engine.time_port = 9;  // nothing answers: the operation fails at once
    EXPECT_EQ(locate_data_file(*state, L"dSync.dat"), data.dir() + L"dSync.dat");
    start(real_start_worker);
    ASSERT_TRUE(reported(service_running));
    ASSERT_TRUE(wait_until([&] { return state->worker_running == 1; }, 5000));

    // The administrator's save: new settings, then the control.
    chronobel_state saved;
    apply_default_settings(saved);
    saved.settings.log_errors = 1;
    saved.settings.sync_timeout_s = 42;
    ASSERT_TRUE(save_settings(saved, data.dir()));
    handle_service_control(*state, service_control_paramchange);
    ASSERT_TRUE(reported(service_running, 2)) << "answered with the running state";
    // AutoSync is the service's own rule without the servers: it corrects at
    // once from the folder's list, never from the program's.
    ASSERT_TRUE(wait_until(
        [&] { return data.read("dLog.txt").find("No response from 127.0.0.1") != std::string::npos; }, 10000))
        << data.read("dLog.txt");
    const std::string log = data.read("dLog.txt");
    EXPECT_NE(log.find("Settings read again by the service"), std::string::npos);
    EXPECT_EQ(log.find("127.0.0.5"), std::string::npos);
    EXPECT_EQ(log.find("planted"), std::string::npos);
    EXPECT_EQ(state->reload_requested.load(), 0);
}

TEST_F(service_fixture, ACorrectionAskedOverThePipeRunsOnTheWorkerWhichKeepsItsText) {
    write_list({"127.0.0.1"});
    state->engine.sntp_port = state->engine.time_port = 9;  // nothing answers: the operation fails at once
    // Asked before the worker runs, so that it cannot have taken the first yet.
    ASSERT_TRUE(ask_operation(*state, asked_operation::correct));
    EXPECT_FALSE(ask_operation(*state, asked_operation::check)) << "one asked operation at a time";
    start(real_start_worker);
    ASSERT_TRUE(reported(service_running));
    ASSERT_TRUE(wait_until([&] { return state->asked.ended == 1; }, 10000));
    EXPECT_EQ(state->asked.succeeded, 0);
    EXPECT_EQ(kept_result_text(*state), "Unable to sync from 127.0.0.1");
}

// A client of the pipe as the reader sees it: each read takes `wait_ms` of
// the test clock's time and brings the next piece.
struct piece {
    std::vector<std::uint8_t> bytes;
    pipe_read_outcome outcome;
    std::uint32_t takes_ms = 0;
};
struct scripted_client final : pipe_source {
    test_clock& clock;
    std::vector<piece> pieces;
    std::size_t next = 0, largest_ask = 0;
    scripted_client(test_clock& c, std::vector<piece> p) : clock(c), pieces(std::move(p)) {}
    pipe_read_outcome read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t wait_ms, std::size_t& got) override {
        largest_ask = std::max(largest_ask, capacity);
        if (next == pieces.size()) {
            clock.frozen_tick += wait_ms;
            return pipe_read_outcome::timed_out;
        }
        const piece& p = pieces[next++];
        clock.frozen_tick += std::min(p.takes_ms, wait_ms);
        got = std::min(capacity, p.bytes.size());
        std::copy_n(p.bytes.begin(), got, buffer);
        return p.takes_ms >= wait_ms ? pipe_read_outcome::timed_out : p.outcome;
    }
};

TEST(ServicePipe, TheReaderTakesOnlyAWholeRequestInTimeAndTheServiceOneEveryFiveSeconds) {
    scoped_test_clock guard;
    guard.clock.tick_frozen = true;
    const auto correct = encode_pipe_request(asked_operation::correct);
    EXPECT_EQ(std::vector<std::uint8_t>(correct.begin(), correct.end()), (std::vector<std::uint8_t>{'C', 'B', 1, 'c'}));
    const auto check = encode_pipe_request(asked_operation::check);
    const std::vector<std::uint8_t> whole(correct.begin(), correct.end());
    auto read = [&](std::vector<piece> pieces) {
        scripted_client client(guard.clock, std::move(pieces));
        const pipe_read_result result = read_pipe_request(client, 2000);
        EXPECT_LE(client.largest_ask, pipe_request_size + 1) << "never more than one byte past a request";
        return result;
    };
    using o = pipe_read_outcome;
    const pipe_read_result taken = read({{whole, o::data}});
    EXPECT_EQ(taken.status, pipe_request_status::taken);
    EXPECT_EQ(taken.operation, asked_operation::correct);
    EXPECT_EQ(read({{{check.begin(), check.end()}, o::data}}).operation, asked_operation::check);
    // Split over reads within the limit: still one request.
    EXPECT_EQ(read({{{'C', 'B'}, o::data, 900}, {{1, 'c'}, o::data, 900}}).status, pipe_request_status::taken);
    // A byte at a time past the limit, or nothing at all: too late.
    EXPECT_EQ(read({{{'C'}, o::data, 700}, {{'B'}, o::data, 700}, {{1}, o::data, 700}, {{'c'}, o::data}}).status,
              pipe_request_status::timed_out);
    EXPECT_EQ(read({}).status, pipe_request_status::timed_out);
    // Longer than a request, in one message or two.
    EXPECT_EQ(read({{{'C', 'B', 1, 'c', 'c'}, o::data}}).status, pipe_request_status::too_long);
    EXPECT_EQ(read({{{'C', 'B', 1}, o::message_longer}}).status, pipe_request_status::too_long);
    // Malformed: short, another mark or version, an unknown command.
    for (const std::vector<std::uint8_t>& bad : std::vector<std::vector<std::uint8_t>>{
             {'C', 'B', 1}, {'C', 'X', 1, 'c'}, {'C', 'B', 2, 'c'}, {'C', 'B', 1, 's'}, {}})
        EXPECT_EQ(read({{bad, o::ended}}).status, pipe_request_status::malformed);

    // The answers, and one request taken every five seconds.
    pipe_answer answer;
    const std::string bytes = encode_pipe_answer({pipe_answer_succeeded, "Clock corrected"});
    ASSERT_TRUE(decode_pipe_answer(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), answer));
    EXPECT_EQ(answer.kind, pipe_answer_succeeded);
    EXPECT_EQ(answer.text, "Clock corrected");
    EXPECT_FALSE(decode_pipe_answer(reinterpret_cast<const std::uint8_t*>("X"), 1, answer));
    pipe_rate_limit limit;
    EXPECT_TRUE(take_pipe_request(limit, 1'000));
    EXPECT_FALSE(take_pipe_request(limit, 1'000 + pipe_request_spacing_ms - 1)) << "busy";
    EXPECT_TRUE(take_pipe_request(limit, 1'000 + pipe_request_spacing_ms));
    EXPECT_FALSE(take_pipe_request(limit, 2'000 + pipe_request_spacing_ms));
}

TEST_F(service_fixture, AWorkerThatDoesNotEndGetsTenCheckPointsHalfASecondApart) {
    scoped_test_clock guard;
    guard.clock.instant_sleep = true;
    guard.clock.tick_frozen = true;
    // A worker that never ends.
    start([](chronobel_state& s) {
        s.worker_running = 1;
        return 0;
    });
    ASSERT_TRUE(reported(service_running));
    const std::uint32_t before = guard.clock.frozen_tick;
    handle_service_control(*state, service_control_stop);
    service_main.join();
    const std::vector<report> all = taken();
    ASSERT_EQ(all.size(), 14u);  // start pending, running, stop pending, 10 check points, stopped
    for (std::uint32_t attempt = 0; attempt < 10; ++attempt)
        expect_status(all[3 + attempt].status, service_stop_pending,
                      service_accepts_stop | service_accepts_paramchange | service_accepts_powerevent,
                      attempt, 1000);
    EXPECT_EQ(all.back().status.current_state, service_stopped);
    EXPECT_EQ(guard.clock.frozen_tick - before, 5000u);
    state->worker_running = 0;
}

TEST(ServiceSwitches, WithoutTheServiceManagerBothSwitchesFailAndAnOpenFolderIsNeverRegistered) {
    // Here, as for a user without administrative rights on Windows, the
    // service manager cannot be opened: neither switch may claim success.
    temp_dir folder;
    folder.write("chronobel", "program");
    chronobel_state state;
    state.exe_name = L"chronobel";
    split_path(state.program_path, folder.dir() + L"chronobel");
    EXPECT_EQ(remove_own_service(), 11);
    EXPECT_EQ(install_own_service(state), 11);
    EXPECT_EQ(service_command_line(state), L"\"" + folder.dir() + L"chronobel\" /x");

    // Anybody may write the folder, or the program itself: refused first,
    // with the path in the message.
    for (const std::string& open : {std::string(), std::string("chronobel")}) {
        const std::string path = (folder.path() / open).string();
        ASSERT_EQ(chmod(path.c_str(), 0777), 0);
        std::string message;
        EXPECT_EQ(install_own_service(state, &message), own_service_unsafe_folder) << path;
        EXPECT_NE(message.find("users without administrative rights can change " + path.substr(0, path.find_last_not_of('/') + 1)), std::string::npos) << message;
        ASSERT_EQ(chmod(path.c_str(), 0700), 0);
    }
    EXPECT_EQ(install_own_service(state), 11);
}

TEST(ServiceTrust, StandardUsersGroupsAreJudgedAsTheSystemWould) {
    const std::uint32_t read_execute = 0x1200a9, modify = 0x1301bf, full = 0x1f01ff;
    auto allow = [](const wchar_t* sid, std::uint32_t mask, bool inherit_only = false) {
        return access_entry{true, inherit_only, sid, mask};
    };
    const access_entry system_full = allow(L"S-1-5-18", full), admins_full = allow(L"S-1-5-32-544", full);
    struct judged {
        const char* what;
        object_access access;
        bool changeable;
    } cases[] = {
        {"the service folder", {L"S-1-5-32-544", true, {system_full, admins_full, allow(sid_users, read_execute)}}, false},
        {"a folder under C:\\", {L"S-1-5-32-544", true, {system_full, admins_full, allow(sid_authenticated_users, modify)}}, true},
        {"no access list at all", {L"S-1-5-32-544", false, {}}, true},
        {"owned by Users", {sid_users, true, {system_full}}, true},
        {"Everyone may create files", {L"S-1-5-18", true, {allow(sid_everyone, file_append_data)}}, true},
        {"Interactive may delete", {L"S-1-5-18", true, {allow(sid_interactive, access_delete)}}, true},
        {"generic write", {L"S-1-5-18", true, {allow(sid_users, generic_write)}}, true},
        {"only for what is made inside", {L"S-1-5-18", true, {allow(L"S-1-3-0", full), allow(sid_users, modify, true)}}, false},
        {"denied before it is granted", {L"S-1-5-18", true, {access_entry{false, false, sid_everyone, full}, allow(sid_users, full)}}, false},
        {"granted before it is denied", {L"S-1-5-18", true, {allow(sid_users, full), access_entry{false, false, sid_everyone, modify}}}, true},
        {"another user's own entry", {L"S-1-5-18", true, {allow(L"S-1-5-21-1-2-3-1001", full)}}, false},
    };
    for (const judged& c : cases) EXPECT_EQ(changeable_by_standard_users(c.access), c.changeable) << c.what;
}
