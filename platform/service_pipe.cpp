#include "platform/service_pipe.h"
#include <algorithm>
#include "sys/clock.h"

namespace orvane {

std::array<std::uint8_t, pipe_request_size> encode_pipe_request(asked_operation operation) {
    const std::uint8_t command = operation == asked_operation::check ? pipe_command_check : pipe_command_correct;
    return {pipe_mark[0], pipe_mark[1], pipe_version, command};
}

asked_operation decode_pipe_request(const std::uint8_t* bytes, std::size_t size) {
    if (size != pipe_request_size || bytes[0] != pipe_mark[0] || bytes[1] != pipe_mark[1] ||
        bytes[2] != pipe_version)
        return asked_operation::none;
    switch (bytes[offsetof(pipe_request, command)]) {
        case pipe_command_correct: return asked_operation::correct;
        case pipe_command_check: return asked_operation::check;
        default: return asked_operation::none;
    }
}

std::string encode_pipe_answer(const pipe_answer& answer) {
    std::string bytes(1, static_cast<char>(answer.kind));
    bytes += answer.text.substr(0, pipe_answer_text_max);
    return bytes;
}

bool decode_pipe_answer(const std::uint8_t* bytes, std::size_t size, pipe_answer& answer) {
    if (size == 0) return false;
    switch (bytes[0]) {
        case pipe_answer_succeeded:
        case pipe_answer_failed:
        case pipe_answer_busy:
        case pipe_answer_no_result: break;
        default: return false;
    }
    answer.kind = static_cast<pipe_answer_kind>(bytes[0]);
    const std::size_t text_size = std::min(size - 1, pipe_answer_text_max);
    answer.text.assign(reinterpret_cast<const char*>(bytes + 1), text_size);
    return true;
}

pipe_read_result read_pipe_request(pipe_source& source, std::uint32_t limit_ms) {
    // One byte of room past a request tells a longer one apart.
    std::uint8_t buffer[pipe_request_size + 1] = {};
    std::size_t held = 0;
    const std::uint64_t start = tick_count64();
    while (held < pipe_request_size) {
        const std::uint64_t spent = tick_count64() - start;
        if (spent >= limit_ms) return {pipe_request_status::timed_out};
        std::size_t got = 0;
        const pipe_read_outcome outcome =
            source.read(buffer + held, sizeof buffer - held, static_cast<std::uint32_t>(limit_ms - spent), got);
        held += std::min(got, sizeof buffer - held);
        if (outcome == pipe_read_outcome::message_longer) return {pipe_request_status::too_long};
        if (outcome == pipe_read_outcome::timed_out) return {pipe_request_status::timed_out};
        if (outcome == pipe_read_outcome::ended) break;
    }
    if (held > pipe_request_size) return {pipe_request_status::too_long};
    const asked_operation operation = decode_pipe_request(buffer, held);
    if (operation == asked_operation::none) return {pipe_request_status::malformed};
    return {pipe_request_status::taken, operation};
}

bool take_pipe_request(pipe_rate_limit& limit, std::uint64_t now_tick) {
    if (limit.any_taken && now_tick - limit.last_taken_tick < pipe_request_spacing_ms) return false;
    limit.any_taken = true;
    limit.last_taken_tick = now_tick;
    return true;
}

}  // namespace orvane
