#pragma once

#include "client/clock.h"

namespace tw::client::platform {

// Milliseconds since 1970-01-01 00:00:00 UTC, from the system's wall clock.
std::int64_t unix_ms_now() noexcept;

// Stateless: any thread may use any instance.
class SystemClock final : public Clock {
public:
    std::int64_t now_unix_seconds() noexcept override;
    std::int64_t now_steady_ms() noexcept override;
};

}  // namespace tw::client::platform
