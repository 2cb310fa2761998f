// What a joinable thread does the same on every system: moving it, and
// letting it go when it is destroyed unjoined.
#include "sys/threads.h"
#include <utility>

namespace orvane {

joinable_thread::~joinable_thread() { let_go(); }

joinable_thread::joinable_thread(joinable_thread&& other) noexcept : record_(std::exchange(other.record_, nullptr)) {}

joinable_thread& joinable_thread::operator=(joinable_thread&& other) noexcept {
    if (this != &other) {
        let_go();
        record_ = std::exchange(other.record_, nullptr);
    }
    return *this;
}

}  // namespace orvane
