#pragma once
// What the window's controls do in each state, decided without the window.

#include "app/ui_state.h"

namespace tw::app {

struct ControlInputs {
    bool busy = false;
    bool signing_in = false;
    bool self_update_offered = false;
    bool version_row_selected = false;
};

// Close, "Open the browser again" and the sign-in's Cancel are always enabled.
struct ControlStates {
    bool install = false;
    bool choosing = false;  // both lists, Back and the two channel buttons
    bool sign_in = false;
    friend bool operator==(const ControlStates&, const ControlStates&) = default;
};

ControlStates plan_controls(const ControlInputs& inputs);

// What the Beta channel shows instead of, or above, its builds.
BetaGate beta_gate(bool signing_in, bool pass_current, bool betas_need_sign_in);

// The command Enter gives: the focused push button's own, otherwise the screen's default action
// (Install on the version screen and while a new Installer is offered, else opening a product).
int enter_command(int focused_id, Screen screen, bool self_update_offered);

}  // namespace tw::app
