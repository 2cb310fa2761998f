// The service's pipe, through which a desktop program without the right to
// set the clock asks the service to correct or check it: the bytes of a
// request and of an answer, the reader of a request with its size and time
// limits, and the spacing of requests. The pipe itself is Win32
// (service_pipe_win32.cpp); this part is portable so that it is tested
// natively and fuzzed.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include "core/service_request.h"

namespace orvane {

// A request is these four bytes and nothing else: the mark, its version,
// and the command. It names no server, time or setting, so a user can make
// the service do only what an administrator's settings already allow.
struct pipe_request {
    std::uint8_t mark[2];
    std::uint8_t version;
    std::uint8_t command;  // pipe_command
};
static_assert(sizeof(pipe_request) == 4 && offsetof(pipe_request, command) == 3);
constexpr std::size_t pipe_request_size = sizeof(pipe_request);
constexpr std::uint8_t pipe_mark[2] = {'C', 'B'};
constexpr std::uint8_t pipe_version = 1;
enum pipe_command : std::uint8_t { pipe_command_correct = 'c', pipe_command_check = 'k' };

// An answer: one kind byte, then the service's status-line text (no end
// mark; at most pipe_answer_text_max bytes).
enum pipe_answer_kind : std::uint8_t {
    pipe_answer_succeeded = 'S',  // the operation ended well; its text follows
    pipe_answer_failed = 'F',     // it failed; its text follows
    pipe_answer_busy = 'B',       // too soon after the last request, or one is running
    pipe_answer_no_result = 'N',  // the operation did not end within the answer's time limit
};
constexpr std::size_t pipe_answer_text_max = 599;
constexpr std::size_t pipe_answer_size_max = 1 + pipe_answer_text_max;

// The service takes at most one request in this time; others are answered busy.
constexpr std::uint64_t pipe_request_spacing_ms = 5'000;
// A client has this long to send its request once connected.
constexpr std::uint32_t pipe_request_time_limit_ms = 2'000;
// The service answers within this: the longest operation is four time-outs
// of the longest query, and its steps.
constexpr std::uint64_t service_operation_limit_ms = 150'000;

std::array<std::uint8_t, pipe_request_size> encode_pipe_request(asked_operation operation);
// The operation of a request's exact bytes; none for anything else.
asked_operation decode_pipe_request(const std::uint8_t* bytes, std::size_t size);

struct pipe_answer {
    pipe_answer_kind kind = pipe_answer_no_result;
    std::string text;
};
std::string encode_pipe_answer(const pipe_answer& answer);
// False for an empty answer or an unknown kind; a longer text is cut.
bool decode_pipe_answer(const std::uint8_t* bytes, std::size_t size, pipe_answer& answer);

// One read from the client: at most `capacity` bytes within `wait_ms`.
enum class pipe_read_outcome {
    data,          // `got` bytes came (the client's message may go on)
    message_longer,  // `got` bytes came and the client's message is longer still
    ended,         // the client closed its end (`got` may be 0)
    timed_out,     // nothing more within the wait
};
class pipe_source {
public:
    virtual ~pipe_source() = default;
    virtual pipe_read_outcome read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t wait_ms,
                                   std::size_t& got) = 0;
};

enum class pipe_request_status { taken, malformed, too_long, timed_out };
struct pipe_read_result {
    pipe_request_status status = pipe_request_status::malformed;
    asked_operation operation = asked_operation::none;
};
// Reads one request: never more than one byte past its size, and within
// `limit_ms` in all (measured with tick_count64, so a client that sends a
// byte at a time gains nothing).
pipe_read_result read_pipe_request(pipe_source& source, std::uint32_t limit_ms = pipe_request_time_limit_ms);

// The spacing of requests: the first is taken, then none until
// pipe_request_spacing_ms after the last one taken.
struct pipe_rate_limit {
    bool any_taken = false;
    std::uint64_t last_taken_tick = 0;
};
bool take_pipe_request(pipe_rate_limit& limit, std::uint64_t now_tick);

}  // namespace orvane
