// The reader of the service pipe's requests, against the clients that
// outside bytes describe: each read brings a piece of the input, ends the
// message, or takes the time the reader allows. Whatever comes, the reader
// keeps to its buffer, ends within its time limit, and takes a request only
// for the four exact bytes of one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "platform/service_pipe.h"
#include "sys/clock.h"

using namespace orvane;

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// Ticks that only the fuzzed client moves.
struct fuzz_clock final : clock_source {
    std::uint64_t tick = 0;
    filetime utc_now() override { return 0; }
    std::int64_t local_shift_at(filetime) override { return 0; }
    std::uint32_t ticks() override { return static_cast<std::uint32_t>(tick); }
    std::uint64_t ticks64() override { return tick; }
    void sleep(std::uint32_t ms) override { tick += ms; }
    bool set_utc(const system_time&) override { return false; }
};

// Each step: one control byte (its low two bits the outcome, the next three
// the bytes it brings, the top three the time it takes in 300 ms), then those bytes.
struct fuzz_client final : pipe_source {
    fuzz_clock& clock;
    const std::uint8_t* data;
    std::size_t size, at = 0;
    std::vector<std::uint8_t> delivered;
    fuzz_client(fuzz_clock& c, const std::uint8_t* d, std::size_t s) : clock(c), data(d), size(s) {}

    pipe_read_outcome read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t wait_ms, std::size_t& got) override {
        check(capacity >= 1 && capacity <= pipe_request_size + 1 && wait_ms > 0);
        if (at >= size) {
            clock.tick += wait_ms;
            return pipe_read_outcome::timed_out;
        }
        const std::uint8_t control = data[at++];
        const std::uint32_t takes = (control >> 5) * 300u;
        std::size_t count = std::min<std::size_t>({(control >> 2) & 7u, size - at, capacity});
        if (takes >= wait_ms) {
            clock.tick += wait_ms;
            return pipe_read_outcome::timed_out;
        }
        clock.tick += takes;
        std::copy_n(data + at, count, buffer);
        delivered.insert(delivered.end(), data + at, data + at + count);
        at += count;
        got = count;
        static constexpr pipe_read_outcome outcomes[] = {pipe_read_outcome::data, pipe_read_outcome::data,
                                                         pipe_read_outcome::message_longer, pipe_read_outcome::ended};
        return outcomes[control & 3];
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_clock clock;
    install_clock_source(&clock);
    fuzz_client client(clock, data, size);
    const pipe_read_result result = read_pipe_request(client, pipe_request_time_limit_ms);
    install_clock_source(nullptr);
    check(clock.tick <= pipe_request_time_limit_ms);
    if (result.status == pipe_request_status::taken) {
        check(client.delivered.size() == pipe_request_size);
        check(decode_pipe_request(client.delivered.data(), client.delivered.size()) == result.operation);
        check(result.operation != asked_operation::none);
        const auto again = encode_pipe_request(result.operation);
        check(std::equal(again.begin(), again.end(), client.delivered.begin()));
    } else {
        check(result.operation == asked_operation::none);
    }
    // The answer's decoder, on the same bytes.
    pipe_answer answer;
    if (decode_pipe_answer(data, size, answer)) check(answer.text.size() <= pipe_answer_text_max && size >= 1);
    return 0;
}
