#pragma once
// What the window and an install or self-update worker share while the work runs. Both hold it
// by shared pointer, so neither outlives the other's view of it.

#include "app/setup_gate.h"

#include <atomic>

namespace tw::app {

struct DownloadJobState {
    std::atomic<bool> cancel{false};
    std::atomic<SetupGate> gate{SetupGate::waiting};
};

}  // namespace tw::app
