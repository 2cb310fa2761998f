// Takes the event log's entries (platform/event_log.h) for a test's scope
// and keeps them, from any thread.
#pragma once
#include <mutex>
#include <vector>
#include "platform/event_log.h"

namespace orvane::testing {

class event_recorder {
public:
    event_recorder() {
        std::lock_guard<std::mutex> lock(mutex_);
        store_.clear();
        previous_ = set_event_sink(record);
    }
    ~event_recorder() { set_event_sink(previous_); }
    event_recorder(const event_recorder&) = delete;
    event_recorder& operator=(const event_recorder&) = delete;

    std::vector<event_record> entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return store_;
    }

private:
    static void record(const event_record& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        store_.push_back(entry);
    }
    inline static std::mutex mutex_;
    inline static std::vector<event_record> store_;
    event_sink previous_ = nullptr;
};

}  // namespace orvane::testing
