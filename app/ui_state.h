#pragma once
// The window's control ids and the small enumerations its screens are described by.

#include "app/sentence.h"

namespace tw::app {

// Win32 carries these as the controls' ids and in WM_COMMAND, so they stay a plain enum of ints.
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
    id_progress_bar = 114,
};

enum class StatusKind { information, attention, success };
// A sentence for the status line with its kind, which decides its colour; the kind travels with
// the sentence and is never read back from its words.
struct Status {
    Sentence text;
    StatusKind kind = StatusKind::information;
    friend bool operator==(const Status&, const Status&) = default;
};

enum class Screen { products, versions };
enum class Channel { official, beta };
enum class BetaGate { none, sign_in_needed, waiting, signed_in };

}  // namespace tw::app
