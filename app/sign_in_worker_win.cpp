#include "app/sign_in_worker_win.h"

#include "app/messages_win.h"
#include "app/site.h"
#include "app/workers_win.h"
#include "client/download_sign_in.h"
#include "client/system_browser_win.h"
#include "client/system_clock_win.h"
#include "client/text_win.h"

namespace tw::app {
namespace {

void post_code(const ReportTarget& target, const client::DownloadSignInCode& code)
{
    hand_report(target, SignInCodeReady{client::platform::widen(code.code), code.approval_url, code.browser_opened});
}

void sign_in_worker(std::unique_ptr<SignInJob> job)
{
    client::platform::SystemClock clock;
    client::platform::SystemBrowserOpener browser;
    const client::DownloadSignInOptions options = client::make_download_sign_in_options(
        {.site = job->site_origin, .installer_version = installer_version}, *job->transport, clock, browser);
    const ReportTarget target{job->window, job->reports};
    const client::SignInResult result = client::run_download_sign_in(
        options, job->state->cancel, [&target](const client::DownloadSignInCode& code) { post_code(target, code); });

    SignInEnd end;
    end.outcome = result.outcome;
    if (result.outcome == client::SignInOutcome::approved) {
        end.pass = result.pass.token;
        end.lifetime_seconds = static_cast<std::uint32_t>(result.pass.expires_in_sec);
    }
    hand_report(target, std::move(end));
}

}  // namespace

bool start_sign_in_worker(SignInJob job)
{
    return start_worker<SignInJob, sign_in_worker>(std::make_unique<SignInJob>(std::move(job)));
}

}  // namespace tw::app
