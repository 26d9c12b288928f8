#include "app/install_flow.h"

#include "app/catalog_screen.h"
#include "app/download_job.h"
#include "app/main_window.h"
#include "app/outcomes.h"
#include "app/site.h"
#include "app/startup.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/workers.h"
#include "client/platform/text.h"
#include "download/platform/checks.h"
#include "download/platform/downloader.h"
#include "download/file_names.h"
#include "download/platform/runners.h"
#include "download/platform/staging.h"

#include <memory>
#include <string>

namespace tw::app {
namespace {

using client::platform::widen;

// What an install or a self-update worker is given: copies, and the state it shares with the window.
struct DownloadJob {
    HWND window = nullptr;
    std::string site_host;
    std::string user_agent;
    std::string publisher;
    std::string pass;
    std::string url;
    std::string sha256;
    std::wstring file_name;
    std::shared_ptr<DownloadJobState> state;
};

struct InstallJob : DownloadJob {
    std::wstring label;  // product name and version
};

struct SelfUpdateJob : DownloadJob {};

void post_status(HWND window, const wchar_t* literal)
{
    PostMessageW(window, msg_status, 0, reinterpret_cast<LPARAM>(literal));
}

download::DownloadResult fetch(const DownloadJob& job)
{
    return download::download_file({job.url, job.site_host, job.user_agent, job.pass, job.file_name},
                                   ProgressPoster(job.window), &job.state->cancel);
}

DownloadFailure failure_of(const download::DownloadResult& result)
{
    return {result.cancelled, result.error_code, result.status};
}

// The hash first; the signature only for a file that is what the catalog describes; last, the
// folder it will run from, since a file planted beside a setup is loaded by it.
bool passes_checks(const DownloadJob& job, const download::DownloadResult& download)
{
    post_status(job.window, text::checking);
    if (!hash_matches(download::file_sha256_hex(download.file.get()), job.sha256))
        return false;
    if (!download::check_signature(download.file.get(), download.path, widen(job.publisher)).ok)
        return false;
    return download::staging_folder_holds_only(download.path);
}

std::wstring check_and_run(const InstallJob& job, const download::DownloadResult& download)
{
    const std::wstring host = widen(job.site_host);
    if (!passes_checks(job, download))
        return text::check_failed(host);
    // The window may have been closed while the file was checked: then nothing is started.
    if (!claim_setup_start(job.state->gate))
        return {};
    post_status(job.window, text::installer_open);
    const download::InstallerRun run = download::run_installer_elevated(download.path);
    mark_setup_ended(job.state->gate);
    return install_run_message({run.started, run.declined, run.exit_code}, job.label, host);
}

void install_worker(std::unique_ptr<InstallJob> job)
{
    auto result = std::make_unique<WorkResult>();
    download::DownloadResult download = fetch(*job);
    if (download.ok) {
        result->message = check_and_run(*job, download);
        download.file.reset();
        download::discard_download(download.path);
    } else {
        WorkOutcome outcome = install_download_failure(failure_of(download), download.pass_sent, widen(job->site_host));
        result->message = std::move(outcome.message);
        result->pass_ended = outcome.pass_ended;
    }
    post_record(job->window, msg_work_result, std::move(result));
}

// Ends in a WorkResult, or nothing once the new Installer runs: then this one closes.
std::unique_ptr<WorkResult> replace_installer(const SelfUpdateJob& job)
{
    auto result = std::make_unique<WorkResult>();
    download::DownloadResult download = fetch(job);
    if (!download.ok) {
        result->message = self_update_download_failure(failure_of(download));
        return result;
    }
    const std::wstring host = widen(job.site_host);
    if (!passes_checks(job, download)) {
        result->message = text::check_failed(host);
    } else if (claim_setup_start(job.state->gate)) {
        std::wstring reason;
        const bool started = download::run_new_installer(download.path, reason);
        mark_setup_ended(job.state->gate);
        if (started)
            return nullptr;  // the new Installer runs from the staged file, so it stays
        result->message = text::installer_not_started(host);
    }
    download.file.reset();
    download::discard_download(download.path);
    return result;
}

void self_update_worker(std::unique_ptr<SelfUpdateJob> job)
{
    if (auto result = replace_installer(*job))
        post_record(job->window, msg_work_result, std::move(result));
    else
        PostMessageW(job->window, msg_self_update_launched, 0, 0);
}

void reset_progress(InstallerApp& app)
{
    app.progress = 0.0;
    if (app.window)
        InvalidateRect(app.window, &app.progress_rect, FALSE);
}

void fill_job(InstallerApp& app, DownloadJob& job)
{
    job.window = app.window;
    job.site_host = app.site_host;
    job.user_agent = user_agent();
    job.publisher = app.catalog->publisher;
    job.state = std::make_shared<DownloadJobState>();
    app.download_job = job.state;
}

// The shared start of both flows, once `busy` is claimed.
template <class Job, void (*Worker)(std::unique_ptr<Job>)>
void begin_download(InstallerApp& app, std::unique_ptr<Job> job)
{
    reset_progress(app);
    update_controls(app);
    set_status(app, text::downloading, status_information);
    if (!start_worker<Job, Worker>(std::move(job))) {
        app.busy.store(false);
        app.download_job.reset();
        update_controls(app);
        set_status(app, text::worker_failed, status_attention);
    }
}

}  // namespace

void start_install(InstallerApp& app)
{
    const auto* product = selected_product(app);
    const LRESULT row = SendMessageW(app.version_list, LB_GETCURSEL, 0, 0);
    if (!product || row < 0 || static_cast<size_t>(row) >= app.shown_builds.size() || app.busy.exchange(true))
        return;
    const catalog::CatalogBuild& build = *app.shown_builds[static_cast<size_t>(row)];
    auto job = std::make_unique<InstallJob>();
    fill_job(app, *job);
    job->pass = current_pass(app);
    job->url = build.downloadUrl;
    job->sha256 = build.sha256;
    job->file_name = widen(build.fileName);
    job->label = widen(product->name) + L" " + widen(build.version);
    begin_download<InstallJob, install_worker>(app, std::move(job));
}

void start_self_update(InstallerApp& app)
{
    if (!app.catalog || !app.catalog->installer || app.busy.exchange(true))
        return;
    auto job = std::make_unique<SelfUpdateJob>();
    fill_job(app, *job);
    job->url = app.catalog->installer->downloadUrl;
    job->sha256 = app.catalog->installer->sha256;
    job->file_name = std::wstring(download::file_name_of(own_path()));
    begin_download<SelfUpdateJob, self_update_worker>(app, std::move(job));
}

void install_action(InstallerApp& app)
{
    if (!IsWindowEnabled(app.install_button))
        return;
    if (app.self_update_offered)
        start_self_update(app);
    else
        start_install(app);
}

void handle_work_result(InstallerApp& app, std::unique_ptr<WorkResult> result)
{
    app.busy.store(false);
    app.download_job.reset();
    reset_progress(app);
    if (result->pass_ended) {
        app.download_pass.clear();
        if (app.channel == channel_beta)
            select_channel(app, channel_beta);
    }
    if (!result->message.empty())
        set_status(app, result->message, outcome_kind(result->message));
    update_controls(app);
    finish_close_when_idle(app);
}

void handle_self_update_launched(InstallerApp& app)
{
    app.busy.store(false);
    app.download_job.reset();
    DestroyWindow(app.window);
}

}  // namespace tw::app
