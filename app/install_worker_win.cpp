#include "app/install_worker_win.h"

#include "app/messages_win.h"
#include "app/outcomes.h"
#include "app/texts.h"
#include "app/workers_win.h"
#include "client/platform/support_log_file.h"
#include "client/platform/text.h"
#include "download/platform/checks.h"
#include "download/platform/downloader.h"
#include "download/platform/runners.h"
#include "download/platform/staging.h"

#include <memory>
#include <optional>
#include <string>

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

DownloadFailure failure_of(const download::DownloadResult& result)
{
    return {result.cancelled,    result.error_code,  result.status,       result.failure,
            result.volume,       result.needed_bytes, result.through_proxy};
}

bool closed(const DownloadJob& job)
{
    return job.state->cancel.load();
}

// The hash first; the signature only for a file that is what the catalog describes; last, the
// folder it will run from, since a file planted beside a setup is loaded by it. A Close stops the
// hash between two reads, and the signature check, which cannot be stopped, is not begun after it.
bool passes_checks(const DownloadJob& job, const download::DownloadResult& download)
{
    hand_report(target_of(job), WorkerNote::checking);
    const std::string actual = download::file_sha256_hex(download.file.get(), &job.state->cancel);
    if (closed(job))
        return false;
    const bool hash_ok = hash_matches(actual, job.sha256);
    log_step(support_log::HashStep{job.sha256, actual, hash_ok});
    if (!hash_ok)
        return false;
    const download::SignatureCheck signature =
        download::check_signature(download.file.get(), download.path, widen(job.publisher));
    log_step(support_log::SignerStep{narrow(signature.signer), job.publisher, signature.ok});
    if (!signature.ok)
        return false;
    return download::staging_folder_holds_only(download.path);
}

Status attention(Sentence text)
{
    return {std::move(text), StatusKind::attention};
}

std::optional<Status> check_and_run(const InstallJob& job, const download::DownloadResult& download)
{
    const std::wstring host = widen(job.site_host);
    if (!passes_checks(job, download))
        return closed(job) ? std::nullopt : std::optional(attention(text::check_failed(host)));
    // Started by the path the held handle resolves to: a junction turned above the folder during
    // the elevation prompt would have had the shell start another file by the staged path.
    const std::optional<std::wstring> path = download::staged_file_to_run(download.file.get(), download.path);
    if (!path)
        return attention(text::staging_unsafe(host));
    // The window may have been closed while the file was checked: then nothing is started.
    if (!claim_setup_start(job.state->gate))
        return std::nullopt;
    hand_report(target_of(job), WorkerNote::installer_open);
    const download::InstallerRun run = download::run_installer_elevated(*path);
    log_step(support_log::SetupStep{run.started, run.declined, run.exit_code, narrow(run.message)});
    mark_setup_ended(job.state->gate);
    return install_run_message({run.started, run.declined, run.exit_code}, job.label, host);
}

void install_worker(std::unique_ptr<InstallJob> job)
{
    WorkResult result;
    download::DownloadResult download = fetch(*job);
    if (download.ok) {
        result.status = check_and_run(*job, download);
        download.file.reset();
        download::discard_download(download.path);
    } else {
        WorkOutcome outcome = install_download_failure(failure_of(download), download.pass_sent, widen(job->site_host));
        if (!outcome.message.empty())
            result.status = attention(std::move(outcome.message));
        result.pass_ended = outcome.pass_ended;
    }
    hand_report(target_of(*job), std::move(result));
}

// Ends in a WorkResult, or nothing once the new Installer runs: then this one closes.
std::optional<WorkResult> replace_installer(const SelfUpdateJob& job)
{
    WorkResult result;
    download::DownloadResult download = fetch(job);
    if (!download.ok) {
        if (Sentence message = self_update_download_failure(failure_of(download), widen(job.site_host));
            !message.empty())
            result.status = attention(std::move(message));
        return result;
    }
    const std::wstring host = widen(job.site_host);
    const bool checked = passes_checks(job, download);
    const std::optional<std::wstring> path =
        checked ? download::staged_file_to_run(download.file.get(), download.path) : std::nullopt;
    if (!checked) {
        if (!closed(job))
            result.status = attention(text::check_failed(host));
    } else if (!path) {
        result.status = attention(text::staging_unsafe(host));
    } else if (claim_setup_start(job.state->gate)) {
        std::wstring reason;
        const bool started = download::run_new_installer(*path, reason);
        log_step(support_log::HandOverStep{started, narrow(reason)});
        mark_setup_ended(job.state->gate);
        if (started)
            return std::nullopt;  // the new Installer runs from the staged file, so it stays
        result.status = attention(text::installer_not_started(host));
    }
    download.file.reset();
    download::discard_download(download.path);
    return result;
}

void self_update_worker(std::unique_ptr<SelfUpdateJob> job)
{
    if (auto result = replace_installer(*job))
        hand_report(target_of(*job), std::move(*result));
    else
        hand_report(target_of(*job), SelfUpdateLaunched{});
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
