#include <windows.h>
#include "sys/clock_raw.h"

namespace orvane::raw_clock {
namespace {

using precise_time_fn = VOID(WINAPI*)(LPFILETIME);

// Windows 8 and later read the clock to 100 ns; the older call moves in
// 15.6 ms steps, which would swamp an SNTP offset.
precise_time_fn precise_time() {
    static const precise_time_fn fn = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<precise_time_fn>(
                            reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")))
                      : nullptr;
    }();
    return fn;
}

filetime from(const FILETIME& f) { return make_filetime(f.dwHighDateTime, f.dwLowDateTime); }

}  // namespace

filetime utc_now() {
    FILETIME f{};
    if (precise_time_fn fn = precise_time())
        fn(&f);
    else
        GetSystemTimeAsFileTime(&f);
    return from(f);
}

std::uint32_t ticks() { return GetTickCount(); }
std::uint64_t ticks64() { return GetTickCount64(); }

std::int64_t local_shift_at(filetime utc) {
    FILETIME in{low_word(utc), high_word(utc)}, out{};
    if (!FileTimeToLocalFileTime(&in, &out)) return 0;
    return static_cast<std::int64_t>(from(out) - utc);
}

bool set_utc(const system_time& st) {
    SYSTEMTIME w{st.year, st.month, st.day_of_week, st.day, st.hour, st.minute, st.second, st.milliseconds};
    if (!SetSystemTime(&w)) return false;
    // Tell every top-level window that the time has changed.
    SendMessageW(HWND_BROADCAST, WM_TIMECHANGE, 0, 0);
    return true;
}

void sleep(std::uint32_t ms) { Sleep(ms); }

}  // namespace orvane::raw_clock
