#pragma once
// What the window and a worker share while the work runs. Both hold it by shared pointer, so
// neither outlives the other's view of it, and a worker never points into the window.

#include "app/setup_gate.h"

#include <atomic>

namespace tw::app {

// An install's or a self-update's.
struct DownloadJobState {
    std::atomic<bool> cancel{false};
    std::atomic<SetupGate> gate{SetupGate::waiting};
};

struct SignInJobState {
    std::atomic<bool> cancel{false};
};

}  // namespace tw::app
