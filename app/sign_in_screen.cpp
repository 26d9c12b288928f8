#include "app/sign_in_screen.h"

#include "app/catalog_screen.h"
#include "app/outcomes.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/ui/window_ui.h"
#include "client/platform/text.h"

#include <shellapi.h>

#include <string>

namespace tw::app {
namespace {

using client::platform::widen;

void keep_pass(InstallerApp& app, std::string pass, std::uint32_t lifetime_seconds)
{
    // Dropped a minute before the service's own expiry, so a pass is never sent as it ends.
    const std::int64_t usable_seconds = static_cast<std::int64_t>(lifetime_seconds) - 60;
    app.download_pass = std::move(pass);
    app.pass_expires_at = GetTickCount64() + (usable_seconds > 0 ? 1000ULL * usable_seconds : 0);
}

}  // namespace

// The sign-in protocol arrives with the service client's link calls; until then the sign-in
// button starts nothing, and with no sign-in under way there is nothing to reopen or cancel.
void start_sign_in(InstallerApp&) {}

void reopen_browser(InstallerApp& app)
{
    const std::string& url = app.authorize_url;
    if (url.rfind("https://", 0) != 0 && url.rfind("http://", 0) != 0)
        return;
    ShellExecuteW(nullptr, L"open", widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
    if (result->outcome == sign_in_approved) {
        keep_pass(app, std::move(result->pass), result->lifetime_seconds);
        load_catalog(app);
    } else if (app.screen == screen_versions) {
        select_channel(app, app.channel);
    }
    if (const std::wstring message = sign_in_message(result->outcome, widen(app.site_host)); !message.empty())
        set_status(app, message, status_attention);
    if (app.close_requested)
        DestroyWindow(app.window);
}

}  // namespace tw::app
