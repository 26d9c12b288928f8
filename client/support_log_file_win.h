#pragma once
// The support log on disk: %LOCALAPPDATA%\TarnwickInstaller\Logs\installer.log, and
// installer.1.log before it.

#include "client/support_log.h"

namespace tw::client::platform {

// Appends the step as one line from any thread. A log that cannot be written is skipped in
// silence: it never stops, slows or interrupts what it records.
void log_step(const support_log::Step& step) noexcept;

}  // namespace tw::client::platform
