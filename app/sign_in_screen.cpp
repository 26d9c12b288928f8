#include "app/sign_in_screen.h"

#include "app/catalog_screen.h"
#include "app/main_window.h"
#include "app/outcomes.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/ui/window_ui.h"
#include "app/site.h"
#include "app/workers.h"
#include "client/download_sign_in.h"
#include "client/platform/system_browser.h"
#include "client/platform/system_clock.h"
#include "client/platform/text.h"

#include <atomic>
#include <memory>
#include <string>

namespace tw::app {
namespace {

using client::platform::widen;

struct SignInJob {
    HWND window = nullptr;
    std::string site_origin;
    std::shared_ptr<client::Transport> transport;
    const std::atomic<bool>* cancel = nullptr;  // the app record's, which outlives every worker
};

void post_code(HWND window, const client::DownloadSignInCode& code)
{
    auto ready = std::make_unique<SignInCodeReady>();
    ready->code = widen(code.code);
    ready->approval_url = code.approval_url;
    ready->browser_opened = code.browser_opened;
    post_record(window, msg_sign_in_code, std::move(ready));
}

void sign_in_worker(std::unique_ptr<SignInJob> job)
{
    client::platform::SystemClock clock;
    client::platform::SystemBrowserOpener browser;
    const client::DownloadSignInOptions options = client::make_download_sign_in_options(
        job->site_origin, installer_version, "", 15000, nullptr, {}, *job->transport, clock, browser);
    const HWND window = job->window;
    const client::SignInResult result = client::run_download_sign_in(
        options, *job->cancel, [window](const client::DownloadSignInCode& code) { post_code(window, code); });

    auto message = std::make_unique<SignInResultMessage>();
    message->outcome = static_cast<std::uint32_t>(result.outcome);
    if (result.outcome == client::SignInOutcome::approved) {
        message->pass = result.pass.token;
        message->lifetime_seconds = static_cast<std::uint32_t>(result.pass.expiresInSec);
    }
    post_record(window, msg_sign_in_result, std::move(message));
}

void keep_pass(InstallerApp& app, std::string pass, std::uint32_t lifetime_seconds)
{
    // Dropped a minute before the service's own expiry, so a pass is never sent as it ends.
    const std::int64_t usable_seconds = static_cast<std::int64_t>(lifetime_seconds) - 60;
    app.download_pass = std::move(pass);
    app.pass_expires_at = GetTickCount64() + (usable_seconds > 0 ? 1000ULL * usable_seconds : 0);
}

}  // namespace

void start_sign_in(InstallerApp& app)
{
    if (app.signing_in.exchange(true))
        return;
    app.cancel_sign_in.store(false);
    app.sign_in_code.clear();
    // An earlier sign-in's page would only show a code that has ended.
    app.authorize_url.clear();
    select_channel(app, channel_beta);
    SetWindowTextW(app.beta_note, text::approve_in_browser);
    auto job = std::make_unique<SignInJob>();
    job->window = app.window;
    job->site_origin = app.site_origin;
    job->transport = app.transport;
    job->cancel = &app.cancel_sign_in;
    if (!start_worker<SignInJob, sign_in_worker>(std::move(job))) {
        app.signing_in.store(false);
        select_channel(app, app.channel);
        set_status(app, text::worker_failed, status_attention);
    }
}

void reopen_browser(InstallerApp& app)
{
    if (!app.authorize_url.empty())
        client::platform::SystemBrowserOpener().open(app.authorize_url);
}

void cancel_sign_in(InstallerApp& app)
{
    app.cancel_sign_in.store(true);
}

void handle_sign_in_code(InstallerApp& app, std::unique_ptr<SignInCodeReady> code)
{
    app.authorize_url = std::move(code->approval_url);
    app.sign_in_code = std::move(code->code);
    const std::wstring note =
        code->browser_opened ? std::wstring(text::approve_in_browser) : text::approve_on_site(widen(app.site_host));
    SetWindowTextW(app.beta_note, note.c_str());
    ui::layout(app);
}

void handle_sign_in_result(InstallerApp& app, std::unique_ptr<SignInResultMessage> result)
{
    app.signing_in.store(false);
    app.sign_in_code.clear();
    if (result->outcome == static_cast<std::uint32_t>(client::SignInOutcome::approved)) {
        keep_pass(app, std::move(result->pass), result->lifetime_seconds);
        load_catalog(app);
    } else if (app.screen == screen_versions) {
        select_channel(app, app.channel);
    }
    if (const std::wstring message = sign_in_message(result->outcome, widen(app.site_host)); !message.empty())
        set_status(app, message, status_attention);
    finish_close_when_idle(app);
}

}  // namespace tw::app
