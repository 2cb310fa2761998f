// Tells when a usable address appears on one of the machine's interfaces
// (the network came back), so that the clock can be put right at once.
#pragma once

namespace orvane {

using address_appeared = void (*)(void* context);

class address_watch {
public:
    address_watch() = default;
    ~address_watch() { stop(); }
    address_watch(const address_watch&) = delete;
    address_watch& operator=(const address_watch&) = delete;

    // Calls appeared(context), from a thread that is not the caller's, each
    // time an address other than loopback appears. False when the system
    // offers no watch (the program goes on without it).
    bool start(address_appeared appeared, void* context);
    // Ends the watch within a time limit; no call comes once it returns.
    void stop();

    struct impl;

private:
    impl* impl_ = nullptr;
};

}  // namespace orvane
