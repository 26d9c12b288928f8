#pragma once
// Whether a checked download may still be started, shared by the worker that would start it and
// the window that may be closed first. One atomic value changed by compare-exchange: a flag read
// by one side and another set by the other let a Close that fell between the worker's two steps
// end the process while an elevated setup it never waited for was starting.

#include <atomic>

namespace tw::app {

enum class SetupGate { waiting, running, ended, cancelled };

// The worker, just before it starts the setup: false once the window was closed.
inline bool claim_setup_start(std::atomic<SetupGate>& gate)
{
    SetupGate expected = SetupGate::waiting;
    return gate.compare_exchange_strong(expected, SetupGate::running);
}

// The worker, once the setup has ended or could not be started.
inline void mark_setup_ended(std::atomic<SetupGate>& gate)
{
    gate.store(SetupGate::ended);
}

// The window, on Close. False while a setup runs, which the window must then wait for; otherwise
// nothing starts any more.
inline bool close_setup_gate(std::atomic<SetupGate>& gate)
{
    SetupGate expected = SetupGate::waiting;
    return gate.compare_exchange_strong(expected, SetupGate::cancelled) || expected != SetupGate::running;
}

}  // namespace tw::app
