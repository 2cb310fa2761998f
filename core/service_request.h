// A correction or check that a desktop program without the right to set the
// clock asked the service for (over its pipe). The pipe thread asks; the
// worker starts the operation when it is idle, as it starts its own
// automatic ones, and notes how it ended. Only the kind of operation is
// asked: server, protocol and time are the service's own settings.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace orvane {

enum class asked_operation : std::uint8_t { none = 0, correct = 1, check = 2 };

struct service_request {
    // What is asked and not yet started (none: nothing).
    std::atomic<asked_operation> asked{asked_operation::none};
    // The running operation is the asked one; only the worker thread uses it.
    bool running = false;
    // Asked operations that have ended (or could not start), and whether the
    // last one succeeded.
    std::atomic<std::uint32_t> ended{0};
    std::atomic<std::uint8_t> succeeded{0};
    // The last status-line text of an operation in the service, which has no
    // window to show it.
    std::mutex text_mutex;
    std::string result_text;
};

}  // namespace orvane
