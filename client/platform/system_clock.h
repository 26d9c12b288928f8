#pragma once

#include "client/clock.h"

namespace tw::client::platform {

// Stateless: any thread may use any instance.
class SystemClock final : public Clock {
public:
    std::int64_t now_unix_seconds() noexcept override;
    std::int64_t now_steady_ms() noexcept override;
};

}  // namespace tw::client::platform
