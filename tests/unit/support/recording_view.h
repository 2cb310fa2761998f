// A main_view that records what background threads write to the window.
#pragma once
#include <mutex>
#include <string>
#include <vector>
#include "core/main_view.h"

namespace orvane::testing {

class recording_view final : public main_view {
public:
    struct write {
        int control;
        std::string text;
    };

    void set_text(int control, std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.push_back({control, std::string(text)});
    }
    void enable(int control, bool enabled) override {
        std::lock_guard<std::mutex> lock(mutex_);
        enables_.push_back({control, enabled ? "enabled" : "disabled"});
    }
    void set_tooltip(int control, std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        tooltips_.push_back({control, std::string(text)});
    }
    void set_title(std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        title_ = text;
    }
    void post_command(int command) override {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(command);
    }

    // The texts written to one control, in order.
    std::vector<std::string> texts(int control) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        for (const write& w : writes_)
            if (w.control == control) out.push_back(w.text);
        return out;
    }
    std::string last_text(int control) const {
        auto all = texts(control);
        return all.empty() ? std::string() : all.back();
    }
    std::vector<write> enables() const { std::lock_guard<std::mutex> lock(mutex_); return enables_; }
    std::vector<write> tooltips() const { std::lock_guard<std::mutex> lock(mutex_); return tooltips_; }
    std::vector<int> commands() const { std::lock_guard<std::mutex> lock(mutex_); return commands_; }
    std::string title() const { std::lock_guard<std::mutex> lock(mutex_); return title_; }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.clear(); enables_.clear(); tooltips_.clear(); commands_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<write> writes_, enables_, tooltips_;
    std::vector<int> commands_;
    std::string title_;
};

}  // namespace orvane::testing
