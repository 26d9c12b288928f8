#include "client/system_clock_win.h"

#include <windows.h>

namespace tw::client::platform {
namespace {

constexpr std::int64_t file_time_at_unix_epoch = 116'444'736'000'000'000;  // 100 ns units, 1601 to 1970
constexpr std::int64_t file_time_units_per_millisecond = 10'000;
constexpr std::int64_t nanoseconds_per_second = 1'000'000'000;
constexpr std::int64_t nanoseconds_per_millisecond = 1'000'000;

}  // namespace

std::int64_t unix_ms_now() noexcept
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER units{};
    units.LowPart = now.dwLowDateTime;
    units.HighPart = now.dwHighDateTime;
    return (static_cast<std::int64_t>(units.QuadPart) - file_time_at_unix_epoch) / file_time_units_per_millisecond;
}

std::int64_t SystemClock::now_unix_seconds() noexcept
{
    return unix_ms_now() / 1000;
}

std::int64_t SystemClock::now_steady_ms() noexcept
{
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    // Scaling the whole count by 10^9 at once would overflow after a few days of uptime.
    const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
    const std::int64_t remainder = counter.QuadPart % frequency.QuadPart;
    const std::int64_t nanoseconds =
        seconds * nanoseconds_per_second + remainder * nanoseconds_per_second / frequency.QuadPart;
    return nanoseconds / nanoseconds_per_millisecond;
}

}  // namespace tw::client::platform
