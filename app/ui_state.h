#pragma once
// The window's control ids and the small enumerations its screens are described by.

namespace tw::app {

enum ControlId : int {
    id_status_label = 101,
    id_product_list = 102,
    id_back_button = 103,
    id_official_button = 104,
    id_beta_button = 105,
    id_version_list = 106,
    id_beta_note = 107,
    id_sign_in_button = 108,
    id_reopen_browser_button = 109,
    id_cancel_sign_in_button = 110,
    id_install_button = 111,
    id_close_button = 112,
    id_open_product = 113,  // the default button id on the product screen: no control carries it
};

enum StatusKind : int { status_information = 0, status_attention = 1, status_success = 2 };
enum Screen : int { screen_products = 0, screen_versions = 1 };
enum Channel : int { channel_official = 0, channel_beta = 1 };
enum BetaGate : int { gate_none = 0, gate_sign_in_needed = 1, gate_waiting = 2, gate_signed_in = 3 };

}  // namespace tw::app
