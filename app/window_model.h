#pragma once
// Everything the window shows, as one plain value, and the events that change it. Nothing here
// needs Windows: the window renders the model after each transition and carries out the effects
// a transition asks for (a worker to start, a control to focus, the window to go).

#include "app/outcomes.h"
#include "app/texts.h"
#include "app/ui_state.h"
#include "catalog/catalog.h"
#include "catalog/catalog_request.h"
#include "client/download_sign_in.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::app {

// The download pass of an approved sign-in, kept until a minute before the service ends it.
struct HeldPass {
    std::string token;
    std::uint64_t usable_until_ms = 0;  // on the steady clock the window is given
};

enum class Focus {
    unchanged,
    product_list,
    version_list,
    official_button,
    beta_button,
    install_button,
    close_button,
};

// A self-update starts the new Installer and leaves it running from its staged file; it has
// sentences of its own for a failed download and sends no pass.
enum class JobKind { install, self_update };

struct WindowModel {
    std::optional<catalog::Catalog> catalog;
    Screen screen = Screen::products;
    int selected_product = -1;  // index into the catalog's products
    Channel channel = Channel::official;
    BetaGate beta_gate = BetaGate::none;
    std::vector<std::size_t> shown_builds;  // indices into the selected product's builds
    int highlighted_build = -1;             // the version list's row, -1 for none

    std::optional<JobKind> running;         // the install or self-update under way
    bool signing_in = false;
    HeldPass pass;
    std::wstring sign_in_code;              // shown while a sign-in waits
    std::string approval_url;               // what "Open the browser again" opens
    Sentence beta_note = text::beta_sign_in_needed;  // the line above the sign-in's buttons

    double progress = 0.0;                  // 0 to 1
    Status status;
    bool self_update_offered = false;
    bool close_requested = false;
};

// Whether an install or a self-update runs: what the buttons, the bar and the status wait on.
inline bool busy(const WindowModel& model) { return model.running.has_value(); }

// What the window does for a transition, besides rendering the model.
struct Effects {
    bool fetch_catalog = false;
    Focus focus = Focus::unchanged;
    bool cancel_work = false;     // tell every running worker to stop
    bool hide_window = false;
    bool destroy_window = false;
};

// Fixed for the life of the window.
struct Surroundings {
    std::wstring site_host;
    std::string product_hint;
};

const catalog::CatalogProduct* selected_product(const WindowModel& model);
const catalog::CatalogBuild* highlighted_build(const WindowModel& model);
std::string current_pass(const WindowModel& model, std::uint64_t now_ms);
bool idle(const WindowModel& model);
// The message of the sign-in prompt in the empty Beta list: the beta note while a sign-in waits.
Sentence beta_prompt_message(const WindowModel& model);

// The window before its first catalog: with or without a site to ask.
Effects window_opened(WindowModel& model, bool site_known, bool catalog_asked);
Effects catalog_requested(WindowModel& model);
Effects catalog_arrived(WindowModel& model, const catalog::CatalogReply& reply, const Surroundings& around,
                        std::uint64_t now_ms);
Effects catalog_applied(WindowModel& model, catalog::Catalog catalog, const Surroundings& around,
                        std::uint64_t now_ms);
Effects product_opened(WindowModel& model, int index, std::uint64_t now_ms);
Effects back_to_products(WindowModel& model);
Effects channel_switched(WindowModel& model, Channel channel, std::uint64_t now_ms);
void build_highlighted(WindowModel& model, int row);

// False when nothing can be installed now; the window then starts no worker.
bool install_started(WindowModel& model);
bool self_update_started(WindowModel& model);
void progress_moved(WindowModel& model, double fraction);
void status_changed(WindowModel& model, Status status);
// A worker could not be started: the work it was to do is given up.
void download_refused(WindowModel& model);
void sign_in_refused(WindowModel& model, std::uint64_t now_ms);
void catalog_refused(WindowModel& model);

struct WorkResult {
    std::optional<Status> status;  // none: nothing to say (a cancel)
    bool pass_ended = false;
};
Effects work_finished(WindowModel& model, const WorkResult& result, std::uint64_t now_ms);

bool sign_in_started(WindowModel& model, std::uint64_t now_ms);
void sign_in_code_arrived(WindowModel& model, std::wstring code, std::string approval_url, bool browser_opened,
                          const Surroundings& around);
struct SignInEnd {
    client::SignInOutcome outcome = client::SignInOutcome::failed;
    std::string pass;
    std::uint32_t lifetime_seconds = 0;
};
Effects sign_in_finished(WindowModel& model, const SignInEnd& end, const Surroundings& around,
                         std::uint64_t now_ms);

// The new Installer runs: this one ends.
Effects self_update_launched(WindowModel& model);

// `setup_open`: a started setup holds the screen, so the window must stay.
Effects close_requested(WindowModel& model, bool setup_open);

}  // namespace tw::app
