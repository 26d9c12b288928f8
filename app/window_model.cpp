#include "app/window_model.h"

#include "app/catalog_choice.h"
#include "app/controls.h"
#include "app/texts.h"
#include "app/version_rows.h"
#include "client/download_sign_in.h"

#include <utility>

namespace tw::app {
namespace {

// Later effects win where both name one, as when an offer focuses Install after the product screen
// chose its own control.
Effects& operator+=(Effects& into, const Effects& more)
{
    into.fetch_catalog |= more.fetch_catalog;
    if (more.focus != Focus::unchanged)
        into.focus = more.focus;
    into.cancel_work |= more.cancel_work;
    into.hide_window |= more.hide_window;
    into.destroy_window |= more.destroy_window;
    return into;
}

bool pass_is_current(const WindowModel& model, std::uint64_t now_ms)
{
    return !model.pass.token.empty() && now_ms < model.pass.usable_until_ms;
}

void say(WindowModel& model, Sentence text, StatusKind kind)
{
    model.status = {std::move(text), kind};
}

void fill_versions(WindowModel& model)
{
    model.shown_builds.clear();
    if (const catalog::CatalogProduct* product = selected_product(model)) {
        for (const VersionRow& row : version_rows(*product, model.channel))
            model.shown_builds.push_back(static_cast<std::size_t>(row.build - product->builds.data()));
    }
    model.highlighted_build = model.shown_builds.empty() ? -1 : 0;
}

Effects load_catalog(WindowModel& model)
{
    say(model, text::looking_up, StatusKind::information);
    Effects effects;
    effects.fetch_catalog = true;
    return effects;
}

Effects close_when_idle(const WindowModel& model)
{
    Effects effects;
    effects.destroy_window = model.close_requested && idle(model);
    return effects;
}

Focus version_screen_focus(const WindowModel& model)
{
    if (!model.shown_builds.empty())
        return Focus::version_list;
    return model.channel == Channel::beta ? Focus::beta_button : Focus::official_button;
}

Effects offer_new_installer(WindowModel& model, const Surroundings& around)
{
    model.catalog->products.clear();
    model.self_update_offered = model.catalog->installer.has_value();
    Effects effects = back_to_products(model);
    if (model.self_update_offered) {
        say(model, text::out_of_date_offer, StatusKind::attention);
        effects.focus = Focus::install_button;
    } else {
        say(model, text::out_of_date_download(around.site_host), StatusKind::attention);
    }
    return effects;
}

}  // namespace

const catalog::CatalogProduct* selected_product(const WindowModel& model)
{
    if (!model.catalog || model.selected_product < 0 ||
        static_cast<std::size_t>(model.selected_product) >= model.catalog->products.size())
        return nullptr;
    return &model.catalog->products[static_cast<std::size_t>(model.selected_product)];
}

const catalog::CatalogBuild* highlighted_build(const WindowModel& model)
{
    const catalog::CatalogProduct* product = selected_product(model);
    if (!product || model.highlighted_build < 0 ||
        static_cast<std::size_t>(model.highlighted_build) >= model.shown_builds.size())
        return nullptr;
    const std::size_t index = model.shown_builds[static_cast<std::size_t>(model.highlighted_build)];
    return index < product->builds.size() ? &product->builds[index] : nullptr;
}

std::string current_pass(const WindowModel& model, std::uint64_t now_ms)
{
    return pass_is_current(model, now_ms) ? model.pass.token : std::string();
}

bool idle(const WindowModel& model)
{
    return !busy(model) && !model.signing_in;
}

Sentence beta_prompt_message(const WindowModel& model)
{
    return model.beta_gate == BetaGate::waiting ? model.beta_note : Sentence(text::beta_sign_in_needed);
}

Effects window_opened(WindowModel& model, bool site_known, bool catalog_asked)
{
    if (!site_known) {
        say(model, text::no_site, StatusKind::attention);
        return {};
    }
    if (catalog_asked) {
        say(model, text::looking_up, StatusKind::information);
        return {};
    }
    return load_catalog(model);
}

Effects catalog_requested(WindowModel& model)
{
    return load_catalog(model);
}

void catalog_refused(WindowModel& model)
{
    say(model, text::worker_failed, StatusKind::attention);
}

Effects catalog_arrived(WindowModel& model, const catalog::CatalogReply& reply, const Surroundings& around,
                        std::uint64_t now_ms)
{
    switch (judge_catalog_reply(reply)) {
    case ReplyVerdict::pass_ended: {
        model.pass = {};
        const Effects effects = load_catalog(model);
        say(model, text::pass_ended, StatusKind::attention);
        return effects;
    }
    case ReplyVerdict::unreachable:
        say(model, text::unreachable, StatusKind::attention);
        return {};
    case ReplyVerdict::proxy_refused:
        say(model, text::proxy_refused, StatusKind::attention);
        return {};
    case ReplyVerdict::expired:
        say(model, text::catalog_expired, StatusKind::attention);
        return {};
    case ReplyVerdict::catalog:
        if (auto parsed = catalog::parse_catalog(reply.body))
            return catalog_applied(model, std::move(*parsed), around, now_ms);
        break;
    case ReplyVerdict::unexpected:
        break;
    }
    say(model, text::unexpected_answer, StatusKind::attention);
    return {};
}

Effects catalog_applied(WindowModel& model, catalog::Catalog catalog, const Surroundings& around,
                        std::uint64_t now_ms)
{
    const catalog::CatalogProduct* open = model.screen == Screen::versions ? selected_product(model) : nullptr;
    const std::string remembered_slug = open ? open->slug : std::string();
    const Channel previous_channel = model.channel;

    model.shown_builds.clear();
    model.highlighted_build = -1;
    model.catalog = std::move(catalog);
    model.selected_product = -1;

    if (installer_out_of_date(*model.catalog))
        return offer_new_installer(model, around);

    const int chosen = product_to_open(*model.catalog, remembered_slug, around.product_hint);
    if (chosen < 0)
        return back_to_products(model);
    Effects effects = product_opened(model, chosen, now_ms);
    if (!remembered_slug.empty() && previous_channel == Channel::beta && selected_product(model)->beta_available)
        effects += channel_switched(model, Channel::beta, now_ms);
    return effects;
}

Effects back_to_products(WindowModel& model)
{
    model.screen = Screen::products;
    model.beta_gate = BetaGate::none;
    const bool nothing_to_install = model.catalog && model.catalog->products.empty();
    say(model, nothing_to_install ? text::nothing_to_install : text::choose_product, StatusKind::information);
    Effects effects;
    // With nothing to list the list is hidden; focus on it would outline an empty frame.
    const bool listed = model.catalog && !model.catalog->products.empty();
    effects.focus = listed ? Focus::product_list : Focus::close_button;
    return effects;
}

Effects product_opened(WindowModel& model, int index, std::uint64_t now_ms)
{
    if (!model.catalog || index < 0 || static_cast<std::size_t>(index) >= model.catalog->products.size())
        return {};
    model.selected_product = index;
    model.screen = Screen::versions;
    Effects effects = channel_switched(model, initial_channel(*selected_product(model)), now_ms);
    effects.focus = version_screen_focus(model);
    return effects;
}

Effects channel_switched(WindowModel& model, Channel channel, std::uint64_t now_ms)
{
    model.channel = channel;
    if (channel == Channel::beta) {
        const catalog::CatalogProduct* product = selected_product(model);
        model.beta_gate = beta_gate(model.signing_in, pass_is_current(model, now_ms),
                                    product && product->betas_need_sign_in);
        if (model.beta_gate == BetaGate::sign_in_needed)
            model.beta_note = text::beta_sign_in_needed;
    } else {
        model.beta_gate = BetaGate::none;
    }
    fill_versions(model);
    if (!busy(model)) {
        Sentence message;
        if (!model.shown_builds.empty())
            message = model.beta_gate == BetaGate::signed_in ? text::signed_in : text::choose_version;
        say(model, std::move(message), StatusKind::information);
    }
    return {};
}

void build_highlighted(WindowModel& model, int row)
{
    model.highlighted_build = row >= 0 && static_cast<std::size_t>(row) < model.shown_builds.size() ? row : -1;
}

namespace {

void begin_download(WindowModel& model, JobKind kind)
{
    model.running = kind;
    model.progress = 0.0;
    say(model, text::downloading, StatusKind::information);
}

}  // namespace

bool install_started(WindowModel& model)
{
    if (busy(model) || model.self_update_offered || !highlighted_build(model))
        return false;
    begin_download(model, JobKind::install);
    return true;
}

bool self_update_started(WindowModel& model)
{
    if (busy(model) || !model.self_update_offered || !model.catalog || !model.catalog->installer)
        return false;
    begin_download(model, JobKind::self_update);
    return true;
}

void progress_moved(WindowModel& model, double fraction)
{
    model.progress = fraction;
}

void status_changed(WindowModel& model, Status status)
{
    model.status = std::move(status);
}

void download_refused(WindowModel& model)
{
    model.running.reset();
    say(model, text::worker_failed, StatusKind::attention);
}

Effects work_finished(WindowModel& model, const WorkResult& result, std::uint64_t now_ms)
{
    model.running.reset();
    model.progress = 0.0;
    if (result.pass_ended) {
        model.pass = {};
        if (model.channel == Channel::beta)
            channel_switched(model, Channel::beta, now_ms);
    }
    if (result.status)
        model.status = *result.status;
    return close_when_idle(model);
}

Effects self_update_launched(WindowModel& model)
{
    model.running.reset();
    Effects effects;
    effects.destroy_window = true;
    return effects;
}

bool sign_in_started(WindowModel& model, std::uint64_t now_ms)
{
    if (model.signing_in)
        return false;
    model.signing_in = true;
    model.sign_in_code.clear();
    // An earlier sign-in's page would only show a code that has ended.
    model.approval_url.clear();
    channel_switched(model, Channel::beta, now_ms);
    model.beta_note = text::approve_in_browser;
    return true;
}

void sign_in_refused(WindowModel& model, std::uint64_t now_ms)
{
    model.signing_in = false;
    channel_switched(model, model.channel, now_ms);
    say(model, text::worker_failed, StatusKind::attention);
}

void sign_in_code_arrived(WindowModel& model, std::wstring code, std::string approval_url, bool browser_opened,
                          const Surroundings& around)
{
    model.approval_url = std::move(approval_url);
    model.sign_in_code = std::move(code);
    model.beta_note = browser_opened ? Sentence(text::approve_in_browser) : text::approve_on_site(around.site_host);
}

Effects sign_in_finished(WindowModel& model, const SignInEnd& end, const Surroundings& around, std::uint64_t now_ms)
{
    model.signing_in = false;
    model.sign_in_code.clear();
    Effects effects;
    if (end.outcome == client::SignInOutcome::approved) {
        // Dropped a minute before the service's own expiry, so a pass is never sent as it ends.
        const std::int64_t usable_seconds = static_cast<std::int64_t>(end.lifetime_seconds) - 60;
        model.pass = {end.pass, now_ms + (usable_seconds > 0 ? 1000ULL * static_cast<std::uint64_t>(usable_seconds) : 0)};
        effects = load_catalog(model);
    } else if (model.screen == Screen::versions) {
        channel_switched(model, model.channel, now_ms);
    }
    if (Sentence message = sign_in_message(end.outcome, around.site_host); !message.empty())
        say(model, std::move(message), StatusKind::attention);
    effects += close_when_idle(model);
    return effects;
}

Effects close_requested(WindowModel& model, bool setup_open)
{
    Effects effects;
    if (setup_open) {
        say(model, text::finish_installer_first, StatusKind::attention);
        return effects;
    }
    if (idle(model)) {
        effects.destroy_window = true;
        return effects;
    }
    model.close_requested = true;
    effects.cancel_work = true;
    effects.hide_window = true;
    return effects;
}

}  // namespace tw::app
