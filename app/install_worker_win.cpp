#include "app/install_worker_win.h"

#include "app/install_flow.h"
#include "app/messages_win.h"
#include "app/workers_win.h"
#include "client/support_log_file_win.h"
#include "client/text_win.h"
#include "download/checks_win.h"
#include "download/downloader_win.h"
#include "download/runners_win.h"
#include "download/staging_win.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tw::app {
namespace {

using client::platform::log_step;
using client::platform::narrow;
using client::platform::widen;
namespace support_log = client::support_log;

ReportTarget target_of(const DownloadJob& job)
{
    return {job.window, job.reports};
}

support_log::DownloadStep download_step(const std::string& file_name, const download::DownloadResult& result,
                                        ULONGLONG spent_ms)
{
    return {file_name, result.status, result.bytes_fetched, result.tries, static_cast<std::int64_t>(spent_ms),
            narrow(result.message)};
}

// While a broken download waits to try again the status line says so, and says "Downloading…"
// again once bytes arrive; the bar stays where the kept bytes put it.
download::DownloadResult fetch(const DownloadJob& job)
{
    const ReportTarget target = target_of(job);
    const download::ConnectionNotice notice = [&target](download::ConnectionState state) {
        hand_report(target, state == download::ConnectionState::lost ? WorkerNote::connection_lost
                                                                     : WorkerNote::downloading);
    };
    const ULONGLONG start = GetTickCount64();
    download::DownloadResult result = download::download_file(
        {job.url, job.site_host, job.user_agent, job.pass, job.file_name, job.expected_bytes, job.size_is_limit},
        ProgressPoster(target),
        &job.state->cancel, notice);
    log_step(download_step(job.log_name, result, GetTickCount64() - start));
    return result;
}

FlowJob flow_job(const DownloadJob& job, JobKind kind, std::wstring label)
{
    return {kind, widen(job.site_host), job.sha256, job.publisher, std::move(label), job.state};
}

// Release the held file before removing the folder it is in.
void discard(download::DownloadResult& held)
{
    held.file.reset();
    download::discard_download(held.path);
}

Seal seal(const download::DownloadResult& held)
{
    if (!download::staging_folder_holds_only(held.path))
        return {SealEnd::crowded, {}};
    std::optional<std::wstring> path = download::staged_file_to_run(held.file.get(), held.path);
    return path ? Seal{SealEnd::sealed, std::move(*path)} : Seal{SealEnd::moved, {}};
}

void hand_end(const ReportTarget& target, FlowReport end)
{
    std::visit([&target](auto& report) { hand_report(target, std::move(report)); }, end);
}

// The Win32 steps of one job. They share `held`, the download held open from its checks to its
// run, which the worker keeps for as long as the job runs.
FlowSteps platform_steps(const DownloadJob& job, download::DownloadResult& held)
{
    const ReportTarget target = target_of(job);
    FlowSteps steps;
    steps.download = [&job, &held] {
        held = fetch(job);
        return static_cast<const download::DownloadReport&>(held);
    };
    steps.hash = [&held](const std::atomic<bool>& cancel) {
        return download::file_sha256_hex(held.file.get(), &cancel);
    };
    steps.signer = [&job, &held] {
        const download::SignatureCheck check =
            download::check_signature(held.file.get(), held.path, widen(job.publisher));
        return SignerAnswer{check.ok, narrow(check.signer)};
    };
    steps.seal = [&held] { return seal(held); };
    steps.report = [target](FlowReport end) { hand_end(target, std::move(end)); };
    steps.note = [target](WorkerNote note) { hand_report(target, note); };
    steps.log = [](const support_log::Step& step) { log_step(step); };
    steps.discard = [&held] { discard(held); };
    return steps;
}

void install_worker(std::unique_ptr<InstallJob> job)
{
    download::DownloadResult held;
    FlowSteps steps = platform_steps(*job, held);
    steps.run = download::run_installer_elevated;
    run_job(flow_job(*job, JobKind::install, job->label), steps);
}

void self_update_worker(std::unique_ptr<SelfUpdateJob> job)
{
    download::DownloadResult held;
    FlowSteps steps = platform_steps(*job, held);
    steps.run = download::run_new_installer;
    run_job(flow_job(*job, JobKind::self_update, {}), steps);
}

}  // namespace

bool start_install_worker(InstallJob job)
{
    return start_worker<InstallJob, install_worker>(std::make_unique<InstallJob>(std::move(job)));
}

bool start_self_update_worker(SelfUpdateJob job)
{
    return start_worker<SelfUpdateJob, self_update_worker>(std::make_unique<SelfUpdateJob>(std::move(job)));
}

}  // namespace tw::app
