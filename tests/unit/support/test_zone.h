// A replacement for the time-zone seam in tests: a zone held in memory that
// records every write and broadcast instead of reaching the system.
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "sys/timezone.h"

namespace orvane::testing {

class test_zone final : public time_zone_system {
public:
    // The zone "in force", and what a reading reports about it.
    time_zone_information zone{};
    zone_period period = zone_period_standard;
    bool read_fails = false;
    // When non-zero, writes fail with this error and change nothing.
    std::uint32_t refuse_writes_with = 0;
    // Display names by zone name, as the registry holds them.
    std::map<std::u16string, std::u16string> display_names;

    zone_reading read() override {
        std::lock_guard<std::mutex> lock(mutex_);
        zone_reading reading;
        if (read_fails) return reading;
        reading.ok = true;
        reading.period = period;
        reading.zone = zone;
        return reading;
    }
    zone_write write(const time_zone_information& written) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (refuse_writes_with) return {zone_write_failed, refuse_writes_with};
        writes_.push_back(written);
        zone = written;
        return {zone_written, 0};
    }
    void broadcast_change() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++broadcasts_;
    }
    bool display_name(std::u16string_view name, std::u16string& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = display_names.find(std::u16string(name));
        if (found == display_names.end()) return false;
        out = found->second;
        return true;
    }

    std::vector<time_zone_information> writes() const { std::lock_guard<std::mutex> lock(mutex_); return writes_; }
    int broadcasts() const { std::lock_guard<std::mutex> lock(mutex_); return broadcasts_; }

private:
    mutable std::mutex mutex_;
    std::vector<time_zone_information> writes_;
    int broadcasts_ = 0;
};

// Installs a test zone for a test body.
struct scoped_test_zone {
    test_zone zone;
    scoped_test_zone() { install_time_zone(&zone); }
    ~scoped_test_zone() { install_time_zone(nullptr); }
    scoped_test_zone(const scoped_test_zone&) = delete;
    scoped_test_zone& operator=(const scoped_test_zone&) = delete;
};

// A zone with the given bias and standard name, and (when `daylight` names
// one) a daylight period from the last Sunday of March to the last of October.
inline time_zone_information make_zone(std::int32_t bias, std::u16string_view standard,
                                       std::u16string_view daylight = {}) {
    time_zone_information z{};
    z.bias = bias;
    for (std::size_t i = 0; i < standard.size() && i < 31; ++i) z.standard_name[i] = standard[i];
    for (std::size_t i = 0; i < daylight.size() && i < 31; ++i) z.daylight_name[i] = daylight[i];
    if (!daylight.empty()) {
        z.standard_date = {0, 10, 0, 5, 3, 0, 0, 0};
        z.daylight_date = {0, 3, 0, 5, 2, 0, 0, 0};
        z.daylight_bias = -60;
    }
    return z;
}

}  // namespace orvane::testing
