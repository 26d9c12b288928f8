#pragma once

#include <cstdint>
#include <optional>

namespace tw::app {

// Download progress in thousandths for WM_APP + 4; nothing to report while the total is unknown.
inline std::optional<std::int64_t> progress_per_mille(std::int64_t done, std::int64_t total)
{
    if (total < 1)
        return std::nullopt;
    return done * 1000 / total;
}

}  // namespace tw::app
