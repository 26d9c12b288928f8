#include "app/controls.h"

namespace tw::app {

ControlStates plan_controls(const ControlInputs& inputs)
{
    ControlStates states;
    states.install = !inputs.busy && (inputs.self_update_offered || inputs.version_row_selected);
    states.choosing = !inputs.busy;
    states.sign_in = !inputs.busy && !inputs.signing_in;
    return states;
}

BetaGate beta_gate(bool signing_in, bool pass_current, bool betas_need_sign_in)
{
    if (signing_in)
        return BetaGate::waiting;
    if (pass_current)
        return BetaGate::signed_in;
    return betas_need_sign_in ? BetaGate::sign_in_needed : BetaGate::none;
}

int enter_command(int focused_id, Screen screen, bool self_update_offered)
{
    switch (focused_id) {
    case id_back_button:
    case id_official_button:
    case id_beta_button:
    case id_sign_in_button:
    case id_reopen_browser_button:
    case id_cancel_sign_in_button:
    case id_install_button:
    case id_close_button:
        return focused_id;
    default:
        return screen == Screen::versions || self_update_offered ? id_install_button : id_open_product;
    }
}

}  // namespace tw::app
