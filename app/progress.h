#pragma once

#include <cstdint>
#include <optional>

namespace tw::app {

// Download progress in thousandths for a ProgressReport; nothing to report while the total is unknown.
inline std::optional<std::int64_t> progress_per_mille(std::int64_t done, std::int64_t total)
{
    if (total < 1)
        return std::nullopt;
    return done * 1000 / total;
}

// Each posted value costs the window a repaint: post when the bar moves, at most every 30 ms,
// but never hold back the first or the last step.
inline bool progress_worth_posting(std::int64_t last_posted, std::int64_t per_mille, std::int64_t ms_since_post)
{
    if (per_mille == last_posted)
        return false;
    return last_posted < 0 || per_mille >= 1000 || ms_since_post >= 30;
}

}  // namespace tw::app
