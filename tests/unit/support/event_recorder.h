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
        clear();
        previous_ = set_event_sink(record);
    }
    ~event_recorder() { set_event_sink(previous_); }
    event_recorder(const event_recorder&) = delete;
    event_recorder& operator=(const event_recorder&) = delete;

    std::vector<event_record> entries() const {
        std::lock_guard<std::mutex> lock(mutex());
        return store();
    }
    static void clear() {
        std::lock_guard<std::mutex> lock(mutex());
        store().clear();
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<event_record>& store() {
        static std::vector<event_record> s;
        return s;
    }
    static void record(const event_record& entry) {
        std::lock_guard<std::mutex> lock(mutex());
        store().push_back(entry);
    }
    event_sink previous_;
};

}  // namespace orvane::testing
