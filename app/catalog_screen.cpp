#include "app/catalog_screen.h"

#include "app/catalog_choice.h"
#include "app/controls.h"
#include "app/messages.h"
#include "app/site.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/ui/window_ui.h"
#include "app/version_rows.h"
#include "app/workers.h"
#include "client/platform/text.h"

#include <string>

namespace tw::app {
namespace {

using client::platform::widen;

struct CatalogLoad {
    HWND window = nullptr;
    std::shared_ptr<WindowToCome> window_to_come;  // where the answer goes while `window` is null
    std::string site_origin;
    std::string user_agent;  // a copy: the worker may outlive everything but its payload
    std::shared_ptr<client::Transport> transport;
    std::string pass;
    bool pass_sent = false;
};

void catalog_worker(std::unique_ptr<CatalogLoad> load)
{
    auto reply = std::make_unique<catalog::CatalogReply>(
        catalog::fetch_catalog(*load->transport, load->site_origin, load->user_agent, load->pass, load->pass_sent));
    const HWND window = load->window ? load->window : load->window_to_come->wait();
    if (window)
        post_record(window, msg_catalog_reply, std::move(reply));
}

bool pass_is_current(const InstallerApp& app)
{
    return !app.download_pass.empty() && GetTickCount64() < app.pass_expires_at;
}

void offer_new_installer(InstallerApp& app)
{
    app.catalog->products.clear();
    app.self_update_offered = app.catalog->installer.has_value();
    SetWindowTextW(app.install_button, app.self_update_offered ? text::get_new_installer : text::install);
    show_products(app);
    if (app.self_update_offered) {
        set_status(app, text::out_of_date_offer, status_attention);
        SetFocus(app.install_button);
    } else {
        set_status(app, text::out_of_date_download(widen(app.site_host)), status_attention);
    }
}

void fill_product_list(const InstallerApp& app)
{
    for (const auto& product : app.catalog->products)
        SendMessageW(app.product_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(product.name).c_str()));
    SendMessageW(app.product_list, LB_SETCURSEL, 0, 0);
}

int beta_gate_for(const InstallerApp& app)
{
    const auto* product = selected_product(app);
    return beta_gate(app.signing_in.load(), pass_is_current(app), product && product->betasNeedSignIn);
}

void focus_version_screen(const InstallerApp& app)
{
    if (!app.shown_builds.empty())
        SetFocus(app.version_list);
    else
        SetFocus(app.channel == channel_beta ? app.beta_button : app.official_button);
}

}  // namespace

std::string current_pass(const InstallerApp& app)
{
    return pass_is_current(app) ? app.download_pass : std::string();
}

bool start_catalog_fetch(InstallerApp& app)
{
    auto load = std::make_unique<CatalogLoad>();
    load->window = app.window;
    load->window_to_come = app.first_catalog_window;
    load->site_origin = app.site_origin;
    load->user_agent = user_agent();
    load->transport = app.transport;
    load->pass = current_pass(app);
    load->pass_sent = !load->pass.empty();
    return start_worker<CatalogLoad, catalog_worker>(std::move(load));
}

void load_catalog(InstallerApp& app)
{
    set_status(app, text::looking_up, status_information);
    if (!start_catalog_fetch(app))
        set_status(app, text::worker_failed, status_attention);
}

void handle_catalog_reply(InstallerApp& app, std::unique_ptr<catalog::CatalogReply> reply)
{
    switch (judge_catalog_reply(*reply)) {
    case ReplyVerdict::pass_ended:
        app.download_pass.clear();
        load_catalog(app);
        set_status(app, text::pass_ended, status_attention);
        return;
    case ReplyVerdict::unreachable:
        set_status(app, text::unreachable, status_attention);
        return;
    case ReplyVerdict::catalog:
        if (auto parsed = catalog::parse_catalog(reply->body)) {
            apply_catalog(app, std::move(*parsed));
            return;
        }
        break;
    case ReplyVerdict::unexpected:
        break;
    }
    set_status(app, text::unexpected_answer, status_attention);
}

void apply_catalog(InstallerApp& app, catalog::Catalog catalog)
{
    const std::string remembered_slug = app.screen == screen_versions ? app.selected_slug : std::string();
    const int previous_channel = app.channel;

    // The version list points into the old catalog: empty it before that catalog goes.
    app.shown_builds.clear();
    SendMessageW(app.version_list, LB_RESETCONTENT, 0, 0);
    app.catalog = std::move(catalog);
    SendMessageW(app.product_list, LB_RESETCONTENT, 0, 0);
    app.selected_product = -1;

    if (installer_out_of_date(*app.catalog)) {
        offer_new_installer(app);
        return;
    }
    fill_product_list(app);

    const int chosen = product_to_open(*app.catalog, remembered_slug, app.product_hint);
    if (chosen < 0) {
        show_products(app);
        return;
    }
    open_product(app, chosen);
    if (!remembered_slug.empty() && previous_channel == channel_beta && selected_product(app)->betaAvailable)
        select_channel(app, channel_beta);
}

void show_products(InstallerApp& app)
{
    app.screen = screen_products;
    app.beta_gate = gate_none;
    const bool nothing_to_install = app.catalog && app.catalog->products.empty();
    set_status(app, nothing_to_install ? text::nothing_to_install : text::choose_product,
               status_information);
    ui::layout(app);
    update_controls(app);
    // With nothing to list the list is hidden; focus on it would outline an empty frame.
    SetFocus(IsWindowVisible(app.product_list) ? app.product_list : app.close_button);
}

void open_product(InstallerApp& app, int index)
{
    if (!app.catalog || index < 0 || static_cast<size_t>(index) >= app.catalog->products.size())
        return;
    app.selected_product = index;
    const auto& product = app.catalog->products[static_cast<size_t>(index)];
    app.selected_slug = product.slug;
    app.screen = screen_versions;
    select_channel(app, initial_channel(product));
    focus_version_screen(app);
}

void select_channel(InstallerApp& app, int channel)
{
    app.channel = channel;
    if (channel == channel_beta) {
        app.beta_gate = beta_gate_for(app);
        if (app.beta_gate == gate_sign_in_needed)
            SetWindowTextW(app.beta_note, text::beta_sign_in_needed);
    } else {
        app.beta_gate = gate_none;
    }
    fill_versions(app);
    if (!app.busy.load()) {
        const wchar_t* message = L"";
        if (!app.shown_builds.empty())
            message = app.beta_gate == gate_signed_in ? text::signed_in : text::choose_version;
        set_status(app, message, status_information);
    }
    ui::layout(app);
    update_controls(app);
}

void fill_versions(InstallerApp& app)
{
    SendMessageW(app.version_list, LB_RESETCONTENT, 0, 0);
    app.shown_builds.clear();
    if (const auto* product = selected_product(app)) {
        for (const auto& row : version_rows(*product, app.channel)) {
            std::wstring text = widen(row.build->version);
            if (row.latest)
                text += L" (latest)";
            SendMessageW(app.version_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            app.shown_builds.push_back(row.build);
        }
    }
    SendMessageW(app.version_list, LB_SETCURSEL, app.shown_builds.empty() ? static_cast<WPARAM>(-1) : 0, 0);
}

}  // namespace tw::app
