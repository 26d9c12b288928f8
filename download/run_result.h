#pragma once
// How starting a checked download through the shell went.

#include <cstdint>
#include <string>

namespace tw::download {

// started: the shell started the process (a product installer is then waited for);
// declined: the user refused the elevation prompt.
enum class RunOutcome { started, declined, not_started };

struct RunResult {
    RunOutcome outcome = RunOutcome::not_started;
    std::uint32_t exit_code = 0;  // a product installer that was started and waited for
    std::string reason{};         // not_started: the system's account of why, UTF-8
};

}  // namespace tw::download
